#include "debts.h"

#include "toolbars.h"
#include "shell/app.h"
#include "shell/inputs.h"

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
    dpdate = datePicker(QStringLiteral("dpdate"), App::today(), frame);
    txtname = new QLineEdit(frame);
    txtname->setObjectName(QStringLiteral("txtname"));
    Combo1 = new QComboBox(frame);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    Combo1->addItems({QStringLiteral("欠人"), QStringLiteral("人欠")});
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setCompleter(nullptr);
    txtJe = amountBox(QStringLiteral("txtJe"), frame);
    txtjehuan = amountBox(QStringLiteral("txtjehuan"), frame);
    txtjehuan->setEnabled(false);
    txtjilu = new QPlainTextEdit(frame);
    txtjilu->setObjectName(QStringLiteral("txtjilu"));
    txtjilu->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtjilu->setTabChangesFocus(true);
    txtjilu->setFixedHeight(txtjilu->fontMetrics().lineSpacing() * 2 + 2 * txtjilu->frameWidth() + 8);

    auto* grid = new QGridLayout(frame);
    grid->addWidget(buddyLabel(QStringLiteral("借款时间："), dpdate, frame), 0, 0);
    grid->addWidget(dpdate, 0, 1);
    grid->addWidget(buddyLabel(QStringLiteral("债权人："), txtname, frame), 1, 0);
    grid->addWidget(txtname, 1, 1);
    grid->addWidget(buddyLabel(QStringLiteral("类  型："), Combo1, frame), 1, 2);
    grid->addWidget(Combo1, 1, 3);
    grid->addWidget(buddyLabel(QStringLiteral("借款金额："), txtJe, frame), 2, 0);
    grid->addWidget(txtJe, 2, 1);
    grid->addWidget(buddyLabel(QStringLiteral("还  款："), txtjehuan, frame), 2, 2);
    grid->addWidget(txtjehuan, 2, 3);
    grid->addWidget(buddyLabel(QStringLiteral("还款记录："), txtjilu, frame), 3, 0);
    grid->addWidget(txtjilu, 3, 1, 1, 3);
    return frame;
}

// 添加, 编辑(还款) and 保存 in one place, 取消, 删除.
QGridLayout* DebtsWindow::buildButtons()
{
    cmdaddnew = commandButton(QStringLiteral("cmdaddnew"), QStringLiteral("添加"), this);
    cmdedit = commandButton(QStringLiteral("cmdedit"), QStringLiteral("编辑(还款)"), this);
    cmdupdate = commandButton(QStringLiteral("cmdupdate"), QStringLiteral("保存"), this);
    cmdcancel = commandButton(QStringLiteral("cmdcancel"), QStringLiteral("取消"), this);
    cmddel = commandButton(QStringLiteral("cmddel"), QStringLiteral("删除"), this);
    auto* buttons = new QGridLayout;
    buttons->addWidget(cmdaddnew, 0, 0);
    buttons->addWidget(cmdedit, 1, 0);  // 编辑(还款) and 保存 share one place
    buttons->addWidget(cmdupdate, 1, 0);
    buttons->addWidget(cmdcancel, 2, 0);
    buttons->addWidget(cmddel, 3, 0);
    buttons->setRowStretch(4, 1);
    return buttons;
}

// The debts read and bound to the fields and the grid.
void DebtsWindow::loadDebts()
{
    try {
        rs_.open(App::conn, QStringLiteral("select 借款日期,债权人,类型,金额,还款记录,余额 from 负债"),
                 Recordset::Pessimistic);
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("无法读取“负债”。"));
    }
    DG->setRecordset(&rs_);
    binder_ = new Binder(&rs_, this);
    binder_->bind(txtname, QStringLiteral("债权人"));
    binder_->bind(txtJe, QStringLiteral("金额"));
    binder_->bind(txtjilu, QStringLiteral("还款记录"));
    binder_->bind(Combo1, QStringLiteral("类型"));
    // The first list entry, unless a current row shows its own type.
    if (!rs_.hasCurrent())
        Combo1->setCurrentIndex(0);
    if (rs_.isOpen()) {
        const int widths[] = {800, 700, 600, 800, -1, 800};
        for (int c = 0; c < 6; ++c)
            if (widths[c] > 0)
                DG->setColumnTwips(c, widths[c]);
        for (int c : {3, 5}) {
            DG->setColumnAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
            DG->setColumnFormat(c, RecordsetModel::Format::Grouped);
        }
    }
}

DebtsWindow::DebtsWindow(QWidget* parent) : DataWindow(QStringLiteral("frmFz"), parent)
{
    setWindowTitle(QStringLiteral("债权债务管理"));
    setEscapeCloses(false);
    resize(twips(7600), twips(6000));

    QFrame* frame = buildFields();

    QGridLayout* buttons = buildButtons();


    DG = new DataGrid(this);
    DG->setObjectName(QStringLiteral("DG"));
    DG->setAccessibleName(QStringLiteral("借款记录"));

    auto* top = new QHBoxLayout;
    top->addWidget(frame, 1);
    top->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(DG, 1);

    setTabOrder(dpdate, txtname);
    setTabOrder(txtname, Combo1);
    setTabOrder(Combo1, txtJe);
    setTabOrder(txtJe, txtjehuan);
    setTabOrder(txtjehuan, txtjilu);
    setTabOrder(txtjilu, cmdaddnew);
    setTabOrder(cmdaddnew, cmdedit);
    setTabOrder(cmdedit, cmdupdate);
    setTabOrder(cmdupdate, cmdcancel);
    setTabOrder(cmdcancel, cmddel);

    connect(cmdaddnew, &QPushButton::clicked, this, [this] { addDebt(); });
    connect(cmdedit, &QPushButton::clicked, this, [this] { editDebt(); });
    connect(cmdupdate, &QPushButton::clicked, this, [this] { saveDebt(); });
    connect(cmdcancel, &QPushButton::clicked, this, [this] { cancelEdit(); });
    connect(cmddel, &QPushButton::clicked, this, [this] { deleteDebt(); });
    connect(txtjehuan, &QLineEdit::textChanged, this, [this] { repayMark_ = true; });
    txtjehuan->installEventFilter(this);

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

void DebtsWindow::setButtons(bool sta)
{
    cmdaddnew->setEnabled(sta);
    cmdedit->setVisible(sta);
    cmdupdate->setVisible(!sta);
    cmdcancel->setEnabled(!sta);
    cmddel->setEnabled(sta);
    // Bound boxes take input only while editing: what is typed while browsing would never be saved.
    txtname->setReadOnly(sta);
    txtJe->setReadOnly(sta);
    txtjilu->setReadOnly(sta);
    Combo1->setEnabled(!sta);
}

void DebtsWindow::addDebt()
{
    if (!binder_->addNew())
        return;
    // A new loan starts as "欠人", the first entry: a loan without a type would count in no figure
    // of the asset statistics. Another type can still be chosen or typed.
    Combo1->setEditText(Combo1->itemText(0));
    repaying_ = false;
    setButtons(false);
}

void DebtsWindow::editDebt()
{
    repaying_ = true;
    setButtons(false);
    txtjehuan->setText(QStringLiteral("0"));
    repayMark_ = true;  // also when the box already held "0"
    loggedEntry_.clear();
    txtjehuan->setEnabled(true);
    txtJe->setEnabled(false);
}

bool DebtsWindow::appendRepayment()
{
    if (!repayMark_)
        return true;
    const QString amount = txtjehuan->text();
    const bool none = amount.trimmed().isEmpty();
    if (!none && !repaymentProblem().isEmpty())
        return false;  // logged once it reads as an amount; the save refuses it until then
    // One repayment, one entry: an amount changed after it was logged replaces its own entry. Only
    // money actually repaid is logged: an empty box or a zero (the "0" that 编辑(还款) puts in) writes
    // no entry, and takes back the one logged before.
    QString log = txtjilu->toPlainText();
    if (!loggedEntry_.isEmpty() && log.endsWith(loggedEntry_))
        log.chop(loggedEntry_.size());
    loggedEntry_.clear();
    if (!none && numericValue(amount) != Money())
        loggedEntry_ = dpdate->date().toString(QStringLiteral("yyyy-M-d")) + QStringLiteral("还 ") + amount
            + QStringLiteral(" 元|");
    if (log + loggedEntry_ != txtjilu->toPlainText())
        txtjilu->setPlainText(log + loggedEntry_);
    repayMark_ = false;
    return true;
}

QString DebtsWindow::repaymentProblem() const
{
    const QString problem = amountProblem(txtjehuan->text(), QStringLiteral("还款金额"), QStringLiteral("200"));
    if (problem.isEmpty() && numericValue(txtjehuan->text()) < Money())
        return QStringLiteral("还款金额不能是负数，请改正后再保存");
    return problem;
}

void DebtsWindow::txtjehuan_LostFocus()
{
    if (repaying_)
        appendRepayment();
}

bool DebtsWindow::eventFilter(QObject* o, QEvent* e)
{
    if (o == txtjehuan && e->type() == QEvent::FocusIn) {
        // The "0" that 编辑(还款) puts in is selected, so that what is typed replaces it; after the
        // click that brought the focus has placed the cursor.
        QTimer::singleShot(0, txtjehuan, [box = txtjehuan] {
            if (box->hasFocus())
                box->selectAll();
        });
    }
    if (o == txtjehuan && e->type() == QEvent::FocusOut) {
        // Only a move to another control of this window leaves the box; switching windows does not.
        const auto reason = static_cast<QFocusEvent*>(e)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            txtjehuan_LostFocus();
    }
    return DataWindow::eventFilter(o, e);
}

void DebtsWindow::saveDebt()
{
    if (repaying_ && !rs_.hasCurrent()) {
        App::msgBox(QStringLiteral("没有选中的借款记录，不能还款：请先添加借款，或在列表中选一条记录"), App::MsgStyle::Information);
        return;
    }
    if (txtname->text().trimmed().isEmpty()) {
        App::msgBox(QStringLiteral("债权人不能为空,呵呵"), App::MsgStyle::Information);
        txtname->setFocus();
        return;
    }
    if (txtJe->text().trimmed().isEmpty()) {
        App::msgBox(QStringLiteral("金额为零算什么??^_^"), App::MsgStyle::Information);
        txtJe->setFocus();
        return;
    }
    if (const QString problem = amountProblem(txtJe->text(), QStringLiteral("借款金额"), QStringLiteral("500 或 -30.5"));
        !problem.isEmpty()) {
        App::msgBox(problem, App::MsgStyle::Information);
        txtJe->setFocus();
        return;
    }
    std::optional<Money> balance;
    if (repaying_) {
        // An empty repayment box repays nothing: the balance stays and nothing is logged.
        const QString problem = txtjehuan->text().trimmed().isEmpty() ? QString() : repaymentProblem();
        if (!problem.isEmpty()) {
            App::msgBox(problem, App::MsgStyle::Information);
            txtjehuan->setFocus();
            return;
        }
        if (rs_.editMode() == Recordset::EditNone)
            storedBalance_ = rs_.value(QStringLiteral("余额"));
        if (storedBalance_.metaType() == QMetaType::fromType<Money>()
            && numericValue(txtjehuan->text()) > storedBalance_.value<Money>()
            && App::msgBox(QStringLiteral("还款大于余额，确定吗？"), App::MsgStyle::Question) != App::MsgAnswer::Ok) {
            txtjehuan->setFocus();
            return;
        }
        appendRepayment();  // a repayment whose box was never left is logged now, once
        if (storedBalance_.isValid() && !storedBalance_.isNull()) {
            // A stored balance is whatever the file holds: the new one is checked, never wrapped.
            balance = storedBalance_.metaType() == QMetaType::fromType<Money>()
                ? (MoneyTotal(storedBalance_.value<Money>()) - numericValue(txtjehuan->text())).toMoney()
                : std::nullopt;
            if (!balance) {
                App::msgBox(QStringLiteral("不能计算还款后的余额：这条借款记录的余额“") + rs_.text(QStringLiteral("余额"))
                                + QStringLiteral("”不是有效的金额，或还款后超出了金额的范围，请先改正这条记录"),
                            App::MsgStyle::Information);
                return;
            }
        }
    }
    const bool saved = binder_->save([&](Recordset& rs) {
        if (!repaying_) {
            // Only a new loan takes its date from the picker: a repayment keeps the date the money was lent.
            rs.setValue(QStringLiteral("借款日期"), dpdate->date());
            rs.setValue(QStringLiteral("余额"), QVariant::fromValue(numericValue(txtJe->text())));
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
    txtjehuan->setEnabled(false);
    txtJe->setEnabled(true);
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
