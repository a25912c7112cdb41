#include "debts.h"

#include "toolbars.h"
#include "app.h"
#include "inputs.h"

#include <QComboBox>
#include <QDateEdit>
#include <QTimer>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace {

QPushButton* commandButton(const QString& name, const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);  // Enter in a box never presses a button
    return b;
}

QLineEdit* amountBox(const QString& name, QWidget* parent)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // "-", digits, "." and Backspace; Enter does nothing.
    installAmountBox(e, true, false);
    return e;
}

}  // namespace

// The fields of a debt, each with its label.
QFrame* DebtsWindow::buildFields()
{
    auto* frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    dateEdit = datePicker(QStringLiteral("dpdate"), App::today(), frame);
    // The day of a repayment, shown while one is edited: the loan keeps its own date.
    repaidDateEdit = datePicker(QStringLiteral("dphuan"), App::today(), frame);
    creditorEdit = new QLineEdit(frame);
    creditorEdit->setObjectName(QStringLiteral("txtname"));
    debtKindBox = new QComboBox(frame);
    debtKindBox->setObjectName(QStringLiteral("Combo1"));
    debtKindBox->setEditable(true);
    debtKindBox->addItems({QStringLiteral("欠人"), QStringLiteral("人欠")});
    debtKindBox->setInsertPolicy(QComboBox::NoInsert);
    debtKindBox->setCompleter(nullptr);
    amountEdit = amountBox(QStringLiteral("txtJe"), frame);
    repaymentEdit = amountBox(QStringLiteral("txtjehuan"), frame);
    repaymentEdit->setEnabled(false);
    repaymentLogEdit = new QPlainTextEdit(frame);
    repaymentLogEdit->setObjectName(QStringLiteral("txtjilu"));
    repaymentLogEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    repaymentLogEdit->setTabChangesFocus(true);
    repaymentLogEdit->setFixedHeight(repaymentLogEdit->fontMetrics().lineSpacing() * 2 + 2 * repaymentLogEdit->frameWidth() + 8);

    auto* grid = new QGridLayout(frame);
    grid->addWidget(buddyLabel(QStringLiteral("借款时间："), dateEdit, frame), 0, 0);
    grid->addWidget(dateEdit, 0, 1);
    repaidDateLabel = buddyLabel(QStringLiteral("还款日期："), repaidDateEdit, frame);
    grid->addWidget(repaidDateLabel, 0, 2);
    grid->addWidget(repaidDateEdit, 0, 3);
    repaidDateLabel->hide();
    repaidDateEdit->hide();
    grid->addWidget(buddyLabel(QStringLiteral("债权人："), creditorEdit, frame), 1, 0);
    grid->addWidget(creditorEdit, 1, 1);
    grid->addWidget(buddyLabel(QStringLiteral("类  型："), debtKindBox, frame), 1, 2);
    grid->addWidget(debtKindBox, 1, 3);
    grid->addWidget(buddyLabel(QStringLiteral("借款金额："), amountEdit, frame), 2, 0);
    grid->addWidget(amountEdit, 2, 1);
    grid->addWidget(buddyLabel(QStringLiteral("还  款："), repaymentEdit, frame), 2, 2);
    grid->addWidget(repaymentEdit, 2, 3);
    grid->addWidget(buddyLabel(QStringLiteral("还款记录："), repaymentLogEdit, frame), 3, 0);
    grid->addWidget(repaymentLogEdit, 3, 1, 1, 3);
    return frame;
}

// 添加, 编辑(还款) and 保存 in one place, 取消, 删除.
QGridLayout* DebtsWindow::buildButtons()
{
    addButton = commandButton(QStringLiteral("cmdaddnew"), QStringLiteral("添加"), this);
    editButton = commandButton(QStringLiteral("cmdedit"), QStringLiteral("编辑(还款)"), this);
    saveButton = commandButton(QStringLiteral("cmdupdate"), QStringLiteral("保存"), this);
    cancelButton = commandButton(QStringLiteral("cmdcancel"), QStringLiteral("取消"), this);
    deleteButton = commandButton(QStringLiteral("cmddel"), QStringLiteral("删除"), this);
    auto* buttons = new QGridLayout;
    buttons->addWidget(addButton, 0, 0);
    buttons->addWidget(editButton, 1, 0);  // 编辑(还款) and 保存 share one place
    buttons->addWidget(saveButton, 1, 0);
    buttons->addWidget(cancelButton, 2, 0);
    buttons->addWidget(deleteButton, 3, 0);
    buttons->setRowStretch(4, 1);
    return buttons;
}

// The debts read and bound to the fields and the grid.
void DebtsWindow::loadDebts()
{
    try {
        rs_.open(store_, EditedTable::of(Ledger::Debts));
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("无法读取“负债”。"));
    }
    debtsGrid->setRecordset(&rs_);
    binder_ = new Binder(&rs_, this);
    binder_->bind(creditorEdit, QStringLiteral("债权人"));
    binder_->bind(amountEdit, QStringLiteral("金额"));
    binder_->bind(repaymentLogEdit, QStringLiteral("还款记录"));
    binder_->bind(debtKindBox, QStringLiteral("类型"));
    // The first list entry, unless a current row shows its own type.
    if (!rs_.hasCurrent())
        debtKindBox->setCurrentIndex(0);
    if (rs_.isOpen()) {
        const int widths[] = {800, 700, 600, 800, -1, 800};
        for (int c = 0; c < 6; ++c)
            if (widths[c] > 0)
                debtsGrid->setColumnTwips(c, widths[c]);
        // The repayment log grows with every repayment: it takes the room the other columns leave,
        // cut short, its whole text as a tooltip, and never pushes 余额 out of view.
        debtsGrid->setColumnTwips(4, 900);
        debtsGrid->setColumnElastic(4);
        for (int c : {3, 5}) {
            debtsGrid->setColumnAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
            debtsGrid->setColumnFormat(c, RecordsetModel::Format::Grouped);
        }
    }
}

DebtsWindow::DebtsWindow(Store& store, QWidget* parent) : DataWindow(QStringLiteral("frmFz"), parent), store_(store)
{
    setWindowTitle(QStringLiteral("债权债务管理"));
    setEscapeCloses(false);
    resize(twips(7600), twips(6000));

    QFrame* frame = buildFields();

    QGridLayout* buttons = buildButtons();


    debtsGrid = new DataGrid(this);
    debtsGrid->setObjectName(QStringLiteral("DG"));
    debtsGrid->setAccessibleName(QStringLiteral("借款记录"));

    auto* top = new QHBoxLayout;
    top->addWidget(frame, 1);
    top->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(debtsGrid, 1);

    setTabOrder(creditorEdit, debtKindBox);
    setTabOrder(debtKindBox, amountEdit);
    setTabOrder(dateEdit, repaidDateEdit);
    setTabOrder(repaidDateEdit, creditorEdit);
    setTabOrder(amountEdit, repaymentEdit);
    setTabOrder(repaymentEdit, repaymentLogEdit);
    setTabOrder(repaymentLogEdit, addButton);
    setTabOrder(addButton, editButton);
    setTabOrder(editButton, saveButton);
    setTabOrder(saveButton, cancelButton);
    setTabOrder(cancelButton, deleteButton);

    connect(addButton, &QPushButton::clicked, this, [this] { addDebt(); });
    connect(editButton, &QPushButton::clicked, this, [this] { editDebt(); });
    connect(saveButton, &QPushButton::clicked, this, [this] { saveDebt(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { cancelEdit(); });
    connect(deleteButton, &QPushButton::clicked, this, [this] { deleteDebt(); });
    connect(repaymentEdit, &QLineEdit::textChanged, this, [this] { repayMark_ = true; });
    // Another day chosen for a repayment already logged: its entry follows.
    connect(repaidDateEdit, &QDateEdit::dateChanged, this, [this] {
        if (!repaying_)
            return;
        repayMark_ = true;
        if (!loggedEntry_.isEmpty())
            appendRepayment();
    });
    repaymentEdit->installEventFilter(this);

    loadDebts();
    // A repayment typed for one row is not logged for another: moving to another row while repaying
    // leaves the repayment to be logged again for the row now current.
    connect(&rs_, &Recordset::currentChanged, this, [this] {
        if (repaying_) {
            repayMark_ = true;
            loggedEntry_.clear();
        }
    });
    setButtons(true);
    repayMark_ = false;
}

DebtsWindow::~DebtsWindow() = default;

Money DebtsWindow::numericValue(const QString& text)
{
    QString s = text;
    s.remove(QRegularExpression(QStringLiteral("\\s")));
    static const QRegularExpression leading(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)"));
    const auto m = leading.match(s);
    if (!m.hasMatch())
        return Money();
    return Money::parse(m.captured(0)).value_or(Money());
}

void DebtsWindow::setButtons(bool browsing)
{
    addButton->setEnabled(browsing);
    editButton->setVisible(browsing);
    saveButton->setVisible(!browsing);
    cancelButton->setEnabled(!browsing);
    deleteButton->setEnabled(browsing);
    // Bound boxes take input only while editing: what is typed while browsing would never be saved.
    creditorEdit->setReadOnly(browsing);
    amountEdit->setReadOnly(browsing);
    repaymentLogEdit->setReadOnly(browsing);
    debtKindBox->setEnabled(!browsing);
}

void DebtsWindow::addDebt()
{
    if (!binder_->addNew())
        return;
    // A new loan starts as "欠人", the first entry: a loan without a type would count in no figure
    // of the asset statistics. Another type can still be chosen or typed.
    debtKindBox->setEditText(debtKindBox->itemText(0));
    repaying_ = false;
    setButtons(false);
}

void DebtsWindow::editDebt()
{
    repaying_ = true;
    setButtons(false);
    repaymentEdit->setText(QStringLiteral("0"));
    repayMark_ = true;  // also when the box already held "0"
    loggedEntry_.clear();
    repaymentEdit->setEnabled(true);
    amountEdit->setEnabled(false);
    // The repayment's own day, today unless the person chooses another; the loan's date box is not
    // the repayment's, and nothing a repayment saves changes the loan's date.
    {
        const QSignalBlocker quiet(repaidDateEdit);
        repaidDateEdit->setDate(App::today());
    }
    showRepaymentDate(true);
}

void DebtsWindow::showRepaymentDate(bool shown)
{
    repaidDateLabel->setVisible(shown);
    repaidDateEdit->setVisible(shown);
    dateEdit->setEnabled(!shown);
}

bool DebtsWindow::appendRepayment()
{
    if (!repayMark_)
        return true;
    const QString amount = repaymentEdit->text();
    const bool none = amount.trimmed().isEmpty();
    if (!none && !repaymentProblem().isEmpty())
        return false;  // logged once it reads as an amount; the save refuses it until then
    // One repayment, one entry: an amount changed after it was logged replaces its own entry. Only
    // money actually repaid is logged: an empty box or a zero (the "0" that 编辑(还款) puts in) writes
    // no entry, and takes back the one logged before.
    QString log = repaymentLogEdit->toPlainText();
    if (!loggedEntry_.isEmpty() && log.endsWith(loggedEntry_))
        log.chop(loggedEntry_.size());
    loggedEntry_.clear();
    if (!none && numericValue(amount) != Money())
        loggedEntry_ = repaidDateEdit->date().toString(QStringLiteral("yyyy-M-d")) + QStringLiteral("还 ") + amount
            + QStringLiteral(" 元|");
    if (log + loggedEntry_ != repaymentLogEdit->toPlainText())
        repaymentLogEdit->setPlainText(log + loggedEntry_);
    repayMark_ = false;
    return true;
}

QString DebtsWindow::repaymentProblem() const
{
    const QString problem = amountProblem(repaymentEdit->text(), QStringLiteral("还款金额"), QStringLiteral("200"));
    if (problem.isEmpty() && numericValue(repaymentEdit->text()) < Money())
        return QStringLiteral("还款金额不能是负数，请改正后再保存");
    return problem;
}

void DebtsWindow::repaymentBoxLeft()
{
    if (repaying_)
        appendRepayment();
}

bool DebtsWindow::eventFilter(QObject* o, QEvent* e)
{
    if (o == repaymentEdit && e->type() == QEvent::FocusIn) {
        // The "0" that 编辑(还款) puts in is selected, so that what is typed replaces it; after the
        // click that brought the focus has placed the cursor.
        QTimer::singleShot(0, repaymentEdit, [box = repaymentEdit] {
            if (box->hasFocus())
                box->selectAll();
        });
    }
    if (o == repaymentEdit && e->type() == QEvent::FocusOut) {
        // Only a move to another control of this window leaves the box; switching windows does not.
        const auto reason = static_cast<QFocusEvent*>(e)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            repaymentBoxLeft();
    }
    return DataWindow::eventFilter(o, e);
}

void DebtsWindow::saveDebt()
{
    if (repaying_ && !rs_.hasCurrent()) {
        App::msgBox(QStringLiteral("没有选中的借款记录，不能还款：请先添加借款，或在列表中选一条记录"), App::MsgStyle::Information);
        return;
    }
    if (creditorEdit->text().trimmed().isEmpty()) {
        App::msgBox(QStringLiteral("债权人不能为空,呵呵"), App::MsgStyle::Information);
        creditorEdit->setFocus();
        return;
    }
    if (amountEdit->text().trimmed().isEmpty()) {
        App::msgBox(QStringLiteral("金额为零算什么??^_^"), App::MsgStyle::Information);
        amountEdit->setFocus();
        return;
    }
    if (const QString problem = amountProblem(amountEdit->text(), QStringLiteral("借款金额"), QStringLiteral("500 或 -30.5"));
        !problem.isEmpty()) {
        App::msgBox(problem, App::MsgStyle::Information);
        amountEdit->setFocus();
        return;
    }
    std::optional<Money> balance;
    if (repaying_) {
        // An empty repayment box repays nothing: the balance stays and nothing is logged.
        const QString problem = repaymentEdit->text().trimmed().isEmpty() ? QString() : repaymentProblem();
        if (!problem.isEmpty()) {
            App::msgBox(problem, App::MsgStyle::Information);
            repaymentEdit->setFocus();
            return;
        }
        if (rs_.editMode() == Recordset::EditNone)
            storedBalance_ = rs_.value(QStringLiteral("余额"));
        if (storedBalance_.metaType() == QMetaType::fromType<Money>()
            && numericValue(repaymentEdit->text()) > storedBalance_.value<Money>()
            && App::msgBox(QStringLiteral("还款大于余额，确定吗？"), App::MsgStyle::Question) != App::MsgAnswer::Ok) {
            repaymentEdit->setFocus();
            return;
        }
        appendRepayment();  // a repayment whose box was never left is logged now, once
        if (storedBalance_.isValid() && !storedBalance_.isNull()) {
            // A stored balance is whatever the file holds: the new one is checked, never wrapped.
            balance = storedBalance_.metaType() == QMetaType::fromType<Money>()
                ? (MoneyTotal(storedBalance_.value<Money>()) - numericValue(repaymentEdit->text())).toMoney()
                : std::nullopt;
            if (!balance) {
                App::msgBox(QStringLiteral("不能计算还款后的余额：这条借款记录的余额“") + rs_.text(QStringLiteral("余额"))
                                + QStringLiteral("”不是有效的金额，或还款后超出了金额的范围，请先改正这条记录"),
                            App::MsgStyle::Information);
                return;
            }
        }
    }
    const bool saved = binder_->save([&](EditableRows& rs) {
        if (!repaying_) {
            // Only a new loan takes its date from the picker: a repayment keeps the date the money was lent.
            rs.setValue(QStringLiteral("借款日期"), dateEdit->date());
            rs.setValue(QStringLiteral("余额"), QVariant::fromValue(numericValue(amountEdit->text())));
        } else if (balance) {
            rs.setValue(QStringLiteral("余额"), QVariant::fromValue(*balance));
        }
    });
    if (saved)
        endEditing();
}

void DebtsWindow::cancelEdit()
{
    binder_->cancel();
    endEditing();
}

void DebtsWindow::endEditing()
{
    repaying_ = false;
    repayMark_ = false;
    loggedEntry_.clear();
    storedBalance_ = QVariant();
    setButtons(true);
    repaymentEdit->setEnabled(false);
    amountEdit->setEnabled(true);
    showRepaymentDate(false);
}

void DebtsWindow::deleteDebt()
{
    confirmDeleteCurrent(rs_);
    setButtons(true);
}

void DebtsWindow::done(int r)
{
    // A pending change is not saved: closing drops it with the recordset.
    repaying_ = false;
    rs_.close();
    DataWindow::done(r);
}
