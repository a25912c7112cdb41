#include "budgetreport.h"

#include "budgetbar.h"
#include "budgets.h"
#include "dberror.h"
#include "store.h"
#include "waitcursor.h"
#include "app.h"
#include "datagrid.h"
#include "gridexport.h"
#include "inputs.h"
#include "valuelabel.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

// The figures of a Budgets::Execution as the grid shows them: one row per type, its budget, what was
// spent, what is left and the share used. The amounts show grouped; under DataGrid::ValueRole each is
// the amount itself (Money, or a number for a total beyond an amount's range), for sorting and export.
class ExecutionModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void show(const Budgets::Execution& e)
    {
        beginResetModel();
        lines_ = e.lines;
        endResetModel();
    }
    void clear() { show({}); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : int(lines_.size()); }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : 6; }
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override
    {
        static const QStringList headers = {QStringLiteral("类型ID"), QStringLiteral("类型"), QStringLiteral("预算"),
                                            QStringLiteral("已支出"), QStringLiteral("剩余"), QStringLiteral("执行")};
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QVariant();
        return headers.value(section);
    }
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override
    {
        if (!index.isValid() || index.row() >= lines_.size() || (role != Qt::DisplayRole && role != DataGrid::ValueRole))
            return QVariant();
        const Budgets::Line& l = lines_[index.row()];
        const std::optional<MoneyTotal> amount = amountOf(l, index.column());
        switch (index.column()) {
        case 0:
            return l.typeId;
        case 1:
            return l.typeName;
        case 5:
            return budgetPercentText(l.budget.has_value(), l.percent());
        default:
            if (!amount)
                return QVariant();
            return role == DataGrid::ValueRole ? valueOf(*amount) : QVariant(amount->toGrouped());
        }
    }

private:
    // Columns 2 to 4: the budget, the spending and what is left; none without a budget.
    static std::optional<MoneyTotal> amountOf(const Budgets::Line& l, int column)
    {
        if (column == 3)
            return l.spent;
        if (!l.budget || (column != 2 && column != 4))
            return std::nullopt;
        return column == 2 ? MoneyTotal(*l.budget) : MoneyTotal(*l.budget) - l.spent;
    }
    static QVariant valueOf(const MoneyTotal& t)
    {
        const auto m = t.toMoney();
        return m ? QVariant::fromValue(*m) : QVariant(t.toDouble());
    }

    QList<Budgets::Line> lines_;
};

void fillScopes(Store& store, QComboBox* box)
{
    box->clear();
    box->addItem(QStringLiteral("全家"), QString());
    try {
        for (const Store::Named& member : store.names(ReferenceList::Members, Store::ListOrder::AsEntered))
            box->addItem(member.name, member.id);
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("无法读取成员。"));
    }
}

BudgetReport::BudgetReport(Store& store, QWidget* parent)
    : DataWindow(QStringLiteral("frmBudgetReport"), parent), store_(store), figures_(new ExecutionModel(this))
{
    setWindowTitle(QStringLiteral("预算执行"));
    setFont(songFont(9));
    resize(twips(10500), twips(6600));

    scopeBox = new QComboBox(this);
    scopeBox->setObjectName(QStringLiteral("cboScope"));
    fillScopes(store_, scopeBox);
    periodBox = new QComboBox(this);
    periodBox->setObjectName(QStringLiteral("cboPeriod"));
    periodBox->addItems({QStringLiteral("按月"), QStringLiteral("按年")});
    yearPartBox = new QComboBox(this);
    yearPartBox->setObjectName(QStringLiteral("cboYearPart"));
    yearPartBox->addItems({QStringLiteral("全年"), QStringLiteral("年初至今")});
    yearPartBox->setEnabled(false);  // for a year
    monthBox = datePicker(QStringLiteral("dtMonth"), App::today(), this);
    monthBox->setDisplayFormat(QStringLiteral("yyyy-MM"));
    auto* compute = new QPushButton(QStringLiteral("统计"), this);
    compute->setObjectName(QStringLiteral("cmdCompute"));
    compute->setDefault(true);
    auto* criteria = new QGridLayout;
    addFieldRow(criteria, 0, {{QStringLiteral("范围"), scopeBox}, {QStringLiteral("期间"), periodBox},
                              {QStringLiteral("年内"), yearPartBox}, {QStringLiteral("年月"), monthBox}});
    criteria->addWidget(compute, 0, 8);

    grid = new DataGrid(this);
    grid->setObjectName(QStringLiteral("DG"));
    grid->setAccessibleName(QStringLiteral("各类支出的预算执行"));
    grid->setItemModel(figures_);
    grid->setItemDelegateForColumn(5, new BudgetBarDelegate(grid));
    totals = new ValueLabel(QStringLiteral("lblTotals"), QString(), this);
    monthsLabel = new ValueLabel(QStringLiteral("lblMonths"), QString(), this);
    monthsLabel->setWordWrap(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    printing_ = PrintedReport::addButtons(this, buttons, [this] { return report(); });
    exportButton = GridExport::exportButton(grid, windowTitle(), this);
    buttons->addWidget(exportButton);
    auto* close = new QPushButton(QStringLiteral("返回"), this);
    close->setObjectName(QStringLiteral("cmdexit"));
    close->setAutoDefault(false);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(criteria);
    layout->addWidget(grid, 1);
    layout->addWidget(totals);
    layout->addWidget(monthsLabel);
    layout->addLayout(buttons);

    connect(compute, &QPushButton::clicked, this, [this] { this->compute(); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(periodBox, &QComboBox::currentIndexChanged, this, [this](int i) {
        monthBox->setDisplayFormat(i == 0 ? QStringLiteral("yyyy-MM") : QStringLiteral("yyyy"));
        yearPartBox->setEnabled(i == 1);
    });
    this->compute();
}

BudgetReport::~BudgetReport() = default;

QString BudgetReport::periodText() const
{
    const QDate m = monthBox->date();
    return periodBox->currentIndex() == 0 ? QStringLiteral("%1年%2月").arg(m.year()).arg(m.month())
                                          : QStringLiteral("%1年%2").arg(m.year()).arg(yearPartBox->currentIndex() == 0 ? QString()
                                                                                                        : yearPartBox->currentText());
}

void BudgetReport::compute()
{
    const QDate m = monthBox->date();
    try {
        const WaitCursor wait;
        // A month is counted as chosen; a year from the book's first record, whole or to this month.
        Budgets::CountedMonths months;
        if (periodBox->currentIndex() == 0) {
            months.year = m.year();
            months.from = months.to = m.month();
        } else {
            months = store_.budgetMonths(m.year(),
                                         yearPartBox->currentIndex() == 0 ? Budgets::YearPart::Whole : Budgets::YearPart::ToDate,
                                         App::today());
        }
        const Budgets::Execution e = store_.budgetExecution(scopeBox->currentData().toString(), m.year(), months.from, months.to);
        monthsLabel->setText(Budgets::countedMonthsText(months));
        figures_->show(e);
        shown_ = true;
        for (int c : {2, 3, 4}) {
            grid->setColumnAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
            grid->setColumnFormat(c, RecordsetModel::Format::Grouped);
        }
        grid->setColumnTwips(5, 1800);
        totals->setText(QStringLiteral("%1 %2：预算合计 %3 元，支出合计 %4 元，剩余 %5 元")
                            .arg(scopeBox->currentText(), periodText(), e.budget.toGrouped(), e.spent.toGrouped(),
                                 (e.budget - e.spent).toGrouped()));
    } catch (const std::exception& e) {
        // No figures of another scope or period stay on show under an empty totals line.
        figures_->clear();
        shown_ = false;
        totals->setText(QString());
        monthsLabel->setText(QString());
        showDbError(e, QStringLiteral("预算执行没有统计出来。"));
    }
    printing_.setEnabled(shown_);
    exportButton->setEnabled(shown_);
}

ReportContent BudgetReport::report() const
{
    ReportContent c;
    c.title = windowTitle();
    c.about << QStringLiteral("范围：%1　期间：%2").arg(scopeBox->currentText(), periodText());
    c.table = grid->model();
    c.totals << totals->text() << monthsLabel->text();
    return c;
}
