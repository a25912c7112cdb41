#include "ledgerquery.h"

#include "badamounts.h"
#include "dberror.h"
#include "queryoutputs.h"
#include "picker.h"
#include "app.h"
#include "store.h"
#include "gridexport.h"
#include "inputs.h"
#include "valuelabel.h"
#include "store.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

const QueryKind kQueryKinds[3] = {
    {"frmquery_sr", "收入状况匹配查询", "查找收入类型", "类型ID:", "类型:", Ledger::Income, true, false},
    {"frmquery_zc", "查询支出状况（匹配）", "查找支出类型", "类型ID:", "类型:", Ledger::Expense, true, false},
    {"frmquery_yh", "银行存取记录查询", "查找银行信息", "银行ID:", "开户行:", Ledger::Bank, false, true},
};

namespace {

const QString kDeposit = QStringLiteral("存入");
const QString kWithdrawal = QStringLiteral("支出");

QPushButton* findButton(const QString& name, const QString& tip, QWidget* parent)
{
    auto* b = new QPushButton(parent);
    b->setObjectName(name);
    b->setIcon(QIcon::fromTheme(QStringLiteral("edit-find"),
                                parent->style()->standardIcon(QStyle::SP_FileDialogContentsView)));
    b->setToolTip(tip);
    b->setAccessibleName(b->toolTip());
    b->setAutoDefault(false);
    return b;
}

// A date as the ledgers store it.
QString storedDate(const QDate& d)
{
    return d.toString(QStringLiteral("yyyy-MM-dd"));
}

}  // namespace

// The frame of the criteria: member, type or bank, the direction of a bank movement, the search
// boxes, the dates and 执行！.
QFrame* LedgerQuery::buildCriteria()
{
    const QueryKind& kind = kind_;
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Shape1"));
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);

    criteriaCaption = new QLabel(QStringLiteral("选择查询条件："), frame);
    criteriaCaption->setObjectName(QStringLiteral("Label5"));

    pickMemberButton = findButton(QStringLiteral("cmdfindt"), QStringLiteral("查找成员"), frame);
    memberIdLabel = valueBox(QStringLiteral("lblcyID"), QStringLiteral("成员ID"), 1100, frame);
    memberLabel = valueBox(QStringLiteral("lblcy"), QStringLiteral("成员"), 1100, frame);
    pickOtherButton = findButton(QStringLiteral("cmdfindo"), QString::fromUtf8(kind.otherTip), frame);
    const QString otherId = QString::fromUtf8(kind.otherIdCaption);
    const QString otherName = QString::fromUtf8(kind.otherNameCaption);
    otherIdLabel = valueBox(QStringLiteral("lbllxID"), QString(otherId).remove(u':'), 1100, frame);
    otherLabel = valueBox(QStringLiteral("lbllx"), QString(otherName).remove(u':'), 1100, frame);

    const QDate today = App::today();
    fromDate = datePicker(QStringLiteral("dpfrom"), QDate(today.year(), 1, 1), frame);
    toDate = datePicker(QStringLiteral("dpto"), today, frame);

    runButton = new QPushButton(QStringLiteral("执行！"), frame);
    runButton->setObjectName(QStringLiteral("CmdqueryNow"));
    runButton->setToolTip(QStringLiteral("执行查询"));
    runButton->setDefault(true);

    auto* grid = new QGridLayout(frame);
    grid->addWidget(criteriaCaption, 0, 0, 1, 6);
    grid->addWidget(pickMemberButton, 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("成员ID:"), frame), 1, 1);
    grid->addWidget(memberIdLabel, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("成员:"), frame), 1, 3);
    grid->addWidget(memberLabel, 1, 4, 1, 2);
    grid->addWidget(pickOtherButton, 2, 0);
    grid->addWidget(new QLabel(otherId, frame), 2, 1);
    grid->addWidget(otherIdLabel, 2, 2);
    grid->addWidget(new QLabel(otherName, frame), 2, 3);
    grid->addWidget(otherLabel, 2, 4, 1, 2);
    int row = 3;
    if (kind.direction) {
        directionBox = new QComboBox(frame);
        directionBox->setObjectName(QStringLiteral("coblx"));
        directionBox->setEditable(true);
        directionBox->setInsertPolicy(QComboBox::NoInsert);
        directionBox->setCompleter(nullptr);  // the typed text stays as typed
        directionBox->addItems({kDeposit, kWithdrawal});
        grid->addWidget(buddyLabel(QStringLiteral("存或取："), directionBox, frame), row, 1);
        grid->addWidget(directionBox, row, 2);
        ++row;
    }
    row = addSearchBoxes(grid, row, frame);
    auto* dates = new QHBoxLayout;
    dates->addWidget(new QLabel(QStringLiteral("日期："), frame));
    dates->addWidget(buddyLabel(QStringLiteral("起"), fromDate, frame));
    dates->addWidget(fromDate);
    dates->addWidget(buddyLabel(QStringLiteral("止"), toDate, frame));
    dates->addWidget(toDate);
    dates->addStretch(1);
    dates->addWidget(runButton);
    grid->addLayout(dates, row, 0, 1, 6);
    grid->setColumnStretch(4, 1);
    return frame;
}

void LedgerQuery::setKeyboardOrder()
{
    // The keyboard walks the criteria in reading order, then the grid.
    QList<QWidget*> order = {pickMemberButton, memberIdLabel, memberLabel, pickOtherButton, otherIdLabel, otherLabel};
    if (directionBox)
        order << directionBox;
    for (QWidget* box : {static_cast<QWidget*>(noteSearchEdit), static_cast<QWidget*>(amountFromEdit), static_cast<QWidget*>(amountToEdit)})
        if (box)
            order << box;
    order << fromDate << toDate << runButton << resultGrid;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void LedgerQuery::setUpDirection()
{
    // Choosing a list item (mouse, arrow keys) sets the direction; editing the text only warns.
    connect(directionBox, &QComboBox::activated, this, [this](int i) { chooseDirection(i); });
    connect(directionBox->lineEdit(), &QLineEdit::textEdited, this, [this] { warnOfTypedDirection(); });
    // Enter in the edit field would pick the item matching the typed text: that is not a choice
    // from the list, so it is kept from the combo. The keys reach the combo first (its edit field
    // hands the focus to it), and the combo passes them on to the edit field directly.
    directionBox->installEventFilter(this);
    directionBox->lineEdit()->installEventFilter(this);
    // Leaving the edit field (Tab, a click elsewhere, opening the list) likewise makes the combo
    // pick the item matching the typed text: it is let go of that, so typing never chooses.
    QObject::disconnect(directionBox->lineEdit(), &QLineEdit::editingFinished, directionBox, nullptr);
    directionBox->setCurrentIndex(0);
    chooseDirection(0);
}

LedgerQuery::LedgerQuery(Store& store, const QueryKind& kind, QWidget* parent)
    : DataWindow(QString::fromUtf8(kind.name), parent), store_(store), kind_(kind), listing_(kind.ledger)
{
    setWindowTitle(QString::fromUtf8(kind.caption));
    setFont(songFont(9));
    resize(twips(8400), twips(6600));

    QFrame* criteria = buildCriteria();

    totalLabel = new ValueLabel(QStringLiteral("lblJE"), QString(), this);
    totalLabel->setText(QStringLiteral("查询结果："));
    // Which dates the list and its total cover: with no member, type or bank chosen, all of them.
    rangeLabel = new ValueLabel(QStringLiteral("lblRange"), QStringLiteral("日期范围"), this);
    auto* rangeCaption = new QLabel(QStringLiteral("日期范围："), this);
    rangeCaption->setBuddy(rangeLabel);
    resultGrid = new DataGrid(this);
    resultGrid->setObjectName(QStringLiteral("DG"));
    resultGrid->setAccessibleName(QStringLiteral("查询结果"));
    totalLabel->setBuddy(resultGrid);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(criteria);
    layout->addWidget(totalLabel);
    auto* rangeLine = new QHBoxLayout;
    rangeLine->addWidget(rangeCaption);
    rangeLine->addWidget(rangeLabel, 1);
    rangeLine->addWidget(GridExport::exportButton(resultGrid, windowTitle(), this));
    layout->addLayout(rangeLine);
    layout->addWidget(resultGrid, 1);

    setKeyboardOrder();

    connect(pickMemberButton, &QPushButton::clicked, this, [this] { pickMember(); });
    connect(pickOtherButton, &QPushButton::clicked, this, [this] { pickOther(); });
    connect(runButton, &QPushButton::clicked, this, [this] { runQuery(); });

    // A result arrives in slices: its total is shown once the last slice is in, and a slice that
    // fails leaves no half result behind.
    connect(&rs_, &Recordset::loaded, this, [this] {
        if (kind_.total)
            totalLabel->setText(totalText());
    });
    connect(&rs_, &Recordset::loadFailed, this, [this](const DbError& e) {
        rs_.close();
        showDbError(e, QStringLiteral("查询没有完成，请检查数据库。"));
        showResult(false);
    });

    setUpCorrections(layout);

    // Load: every record of the ledger, no date condition.
    showResult(openResult(listing_.whole()));
    showRange(false);

    if (directionBox)
        setUpDirection();

    // The ring chart of the listed amounts, printing and PDF.
    addQueryOutputs(this, layout);
}

LedgerQuery::~LedgerQuery()
{
    // The grid lets go of the result before the result goes.
    resultGrid->setRecordset(nullptr);
    rs_.close();
}

bool LedgerQuery::eventFilter(QObject* o, QEvent* e)
{
    if (directionBox && (o == directionBox || o == directionBox->lineEdit()) && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return true;
    }
    return DataWindow::eventFilter(o, e);
}

void LedgerQuery::pickMember()
{
    Picker::pickInto(store_, ReferenceList::Members, this, memberIdLabel, memberLabel);
}

void LedgerQuery::pickOther()
{
    Picker::pickInto(store_, listing_.otherList(), this, otherIdLabel, otherLabel);
}

void LedgerQuery::runQuery()
{
    LedgerListing::Filter filter;
    if (!readSearch(filter))
        return;
    // With neither a member nor a type or bank chosen: the whole ledger, whatever the dates say,
    // narrowed by the search boxes. The chosen codes and the direction travel as bound values:
    // whatever a code holds, it is compared as a whole and never read as part of the statement.
    filter.member = memberIdLabel->text();
    filter.other = otherIdLabel->text();
    filter.direction = direction_;
    filter.from = fromDate->date();
    filter.to = toDate->date();
    const LedgerListing::Query query = listing_.query(filter);
    showResult(openResult(query));
    showRange(query.datesApply);
}

void LedgerQuery::showRange(bool datesApply)
{
    rangeLabel->setText((datesApply ? storedDate(fromDate->date()) + QStringLiteral(" 至 ") + storedDate(toDate->date())
                                  : QStringLiteral("全部日期"))
                      + searchShown_);
}

void LedgerQuery::chooseDirection(int index)
{
    const QString t = directionBox->itemText(index);
    if (t == kDeposit || t == kWithdrawal)
        direction_ = t;
}

void LedgerQuery::warnOfTypedDirection()
{
    App::msgBox(QStringLiteral("如果您在前期银行帐内改变了条目，请引用您自定的内容"), App::MsgStyle::Information, QStringLiteral("重要提示"));
}

bool LedgerQuery::openResult(const LedgerListing::Query& query)
{
    rs_.close();
    query_ = query;
    try {
        store_.openListing(rs_, listing_, query);
        return true;
    } catch (const std::exception& e) {
        rs_.close();
        showDbError(e, QStringLiteral("查询没有完成，请检查数据库。"));
        return false;
    }
}

void LedgerQuery::showResult(bool ok)
{
    showRows();
    // No total until every row is in: a part of it would be a wrong figure.
    if (kind_.total)
        totalLabel->setText(ok && !rs_.isLoading() ? totalText() : QStringLiteral("查询结果："));
}

void LedgerQuery::showRows()
{
    resultGrid->setRecordset(&rs_);
    resultGrid->setColumnTwips(2, 700);
    resultGrid->setColumnAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    resultGrid->setColumnTwips(3, 800);
}

QString LedgerQuery::totalText()
{
    // Every record from the first to the end (the user may have moved while the rows arrived); an
    // empty amount counts 0. The current record stays where it is, so the grid keeps its selection.
    // The total is held wide: no records make it wrap; a record whose amount is no valid amount is
    // named instead of a figure.
    MoneyTotal total;
    const int field = rs_.fieldIndex(QStringLiteral("金额"));
    int row = -1;  // the last record whose amount was read on its own: the one that holds none, if any
    const auto amountAt = [&](int r) {
        row = r;
        return rs_.moneyAt(r, field);
    };
    try {
        if (field >= 0 && rs_.editMode() == Recordset::EditNone) {
            total = rs_.snapshot().sumAmounts(field, 0, amountAt);  // the amounts a block at a time
        } else if (field >= 0) {
            for (int r = 0; r < rs_.rowCount(); ++r)
                if (const auto m = amountAt(r))
                    total += *m;
        }
    } catch (const DbError&) {
        App::msgBox(QStringLiteral("金额总计无法计算：")
                        + badAmountText(rs_, row, field, QStringLiteral("第 %1 行的记录").arg(row + 1)),
                    App::MsgStyle::Information);
        return QStringLiteral("金额总计：无法计算");
    }
    return QStringLiteral("金额总计：") + total.toGrouped() + QStringLiteral("元");
}

// ---- search by note and amount ---------------------------------------------------------------

int LedgerQuery::addSearchBoxes(QGridLayout* grid, int row, QWidget* parent)
{
    auto* line = new QHBoxLayout;
    if (!kind_.direction) {
        noteSearchEdit = new QLineEdit(parent);
        noteSearchEdit->setObjectName(QStringLiteral("txtNote"));
        noteSearchEdit->setToolTip(QStringLiteral("备注中含有这段文字的记录（不分大小写）"));
        line->addWidget(buddyLabel(QStringLiteral("备注包含："), noteSearchEdit, parent));
        line->addWidget(noteSearchEdit, 1);
    }
    amountFromEdit = new QLineEdit(parent);
    amountFromEdit->setObjectName(QStringLiteral("txtFrom"));
    amountToEdit = new QLineEdit(parent);
    amountToEdit->setObjectName(QStringLiteral("txtTo"));
    line->addWidget(new QLabel(QStringLiteral("金额："), parent));
    for (auto [box, caption] : {std::pair{amountFromEdit, "从"}, std::pair{amountToEdit, "到"}}) {
        installAmountBox(box, false, false);
        box->setAccessibleName(QStringLiteral("金额") + QString::fromUtf8(caption));  // "从" alone says too little
        box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        box->setMaximumWidth(twips(1400));
        line->addWidget(buddyLabel(QString::fromUtf8(caption), box, parent));
        line->addWidget(box);
    }
    if (kind_.direction)
        line->addStretch(1);
    grid->addLayout(line, row, 0, 1, 6);
    return row + 1;
}

bool LedgerQuery::readSearch(LedgerListing::Filter& filter)
{
    QString shown;
    if (noteSearchEdit && !noteSearchEdit->text().isEmpty()) {
        filter.note = noteSearchEdit->text();
        shown += QStringLiteral("，备注包含“%1”").arg(noteSearchEdit->text());
    }
    std::optional<Money> bounds[2];
    QLineEdit* boxes[2] = {amountFromEdit, amountToEdit};
    for (int i = 0; i < 2; ++i) {
        const QString t = boxes[i]->text().trimmed();
        if (t.isEmpty())
            continue;
        bounds[i] = Money::parse(t);
        if (!bounds[i]) {
            App::msgBox(QStringLiteral("金额的“%1”必须是一个数字，例如 100 或 99.50，请改正后再查询。").arg(i ? QStringLiteral("到") : QStringLiteral("从")), App::MsgStyle::Information);
            boxes[i]->setFocus();
            return false;
        }
    }
    if (bounds[0] && bounds[1] && *bounds[0] > *bounds[1]) {
        App::msgBox(QStringLiteral("金额的“从”%1 大于“到”%2，请改正后再查询。").arg(bounds[0]->toPlain(), bounds[1]->toPlain()), App::MsgStyle::Information);
        amountFromEdit->setFocus();
        return false;
    }
    filter.amountFrom = bounds[0];
    filter.amountTo = bounds[1];
    if (bounds[0] && bounds[1])
        shown += QStringLiteral("，金额 %1 至 %2").arg(bounds[0]->toPlain(), bounds[1]->toPlain());
    else if (bounds[0])
        shown += QStringLiteral("，金额不少于 %1").arg(bounds[0]->toPlain());
    else if (bounds[1])
        shown += QStringLiteral("，金额不超过 %1").arg(bounds[1]->toPlain());
    searchShown_ = shown;
    return true;
}
