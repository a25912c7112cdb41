#include "overview.h"

#include "budgetbar.h"
#include "budgets.h"
#include "store.h"
#include "waitcursor.h"
#include "app.h"
#include "filechanges.h"
#include "inputs.h"
#include "valuelabel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {

QStandardItem* cell(const QString& text, bool amount = false)
{
    auto* item = new QStandardItem(text);
    item->setEditable(false);
    item->setToolTip(text);  // a cell cut short is read whole
    if (amount)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

// A part of the overview: a titled box with a button that opens the part's own window.
QGroupBox* part(Store& store, QWidget* parent, const QString& name, const QString& title, QLayout* body, const QString& button,
                const QString& form)
{
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(name);
    auto* layout = new QVBoxLayout(box);
    layout->addLayout(body);
    auto* open = new QPushButton(button, box);
    open->setObjectName(QStringLiteral("cmdOpen_") + form);
    open->setAutoDefault(false);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(open);
    layout->addLayout(row);
    QObject::connect(open, &QPushButton::clicked, parent, [&store, parent, form] { App::openDataWindow(form, store, parent); });
    return box;
}

}  // namespace

QTableView* OverviewWindow::table(const QString& name, const QString& spokenName, QStandardItemModel** model)
{
    *model = new QStandardItemModel(this);
    auto* view = new QTableView(this);
    view->setObjectName(name);
    view->setAccessibleName(spokenName);
    lists_ << std::pair{view, *model};  // shown when filled (load)
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->horizontalHeader()->setStretchLastSection(true);
    // Columns fitted to their contents measure the first hundred rows: a file not opened for long
    // may have hundreds of occurrences due, and measuring texts would be most of the window's time.
    view->horizontalHeader()->setResizeContentsPrecision(100);
    view->verticalHeader()->hide();
    view->setWordWrap(false);
    return view;
}

OverviewWindow::OverviewWindow(Store& store, QWidget* parent) : DataWindow(QStringLiteral("frmOverview"), parent), store_(store)
{
    setWindowTitle(QStringLiteral("本月概览"));
    setFont(songFont(9));
    resize(twips(13000), twips(9000));

    auto* month = new QGridLayout;
    const QStringList rows = {QStringLiteral("本月"), QStringLiteral("上月")};
    const QStringList columns = {QStringLiteral("收入"), QStringLiteral("支出"), QStringLiteral("余额")};
    for (int c = 0; c < 3; ++c)
        month->addWidget(new QLabel(columns[c], this), 0, c + 1);
    for (int r = 0; r < 2; ++r) {
        month->addWidget(new QLabel(rows[r], this), r + 1, 0);
        for (int c = 0; c < 3; ++c) {
            const QString name = QStringLiteral("lbl%1_%2").arg(r == 0 ? QStringLiteral("This") : QStringLiteral("Last")).arg(c);
            auto* value = valueBox(name, rows[r] + columns[c], 1500, this);
            value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            figures_.insert(name, value);
            month->addWidget(value, r + 1, c + 1);
        }
    }
    auto* largest = new QVBoxLayout;
    QTableView* largestView = table(QStringLiteral("DGLargest"), QStringLiteral("本月支出最多的五类"), &largest_);
    largestView->setItemDelegateForColumn(3, new BudgetBarDelegate(largestView));
    largest->addWidget(largestView);
    auto* due = new QVBoxLayout;
    due->addWidget(table(QStringLiteral("DGDue"), QStringLiteral("7 天内到期的定期收支"), &due_));
    auto* latest = new QVBoxLayout;
    latest->addWidget(table(QStringLiteral("DGLatest"), QStringLiteral("最近 10 笔记录"), &latest_));
    auto* assets = new QHBoxLayout;
    position = new ValueLabel(QStringLiteral("lblPosition"), QStringLiteral("资产"), this);
    position->setWordWrap(true);
    assets->addWidget(position, 1);

    auto* grid = new QGridLayout;
    grid->addWidget(part(store_, this, QStringLiteral("frameMonth"), QStringLiteral("本月收支"), month, QStringLiteral("收入状况…"),
                         QStringLiteral("frmquery_sr")), 0, 0);
    grid->addWidget(part(store_, this, QStringLiteral("frameLargest"), QStringLiteral("支出最多的五类"), largest,
                         QStringLiteral("预算执行…"), QStringLiteral("frmBudgetReport")), 0, 1);
    grid->addWidget(part(store_, this, QStringLiteral("frameDue"), QStringLiteral("7 天内到期的定期收支"), due,
                         QStringLiteral("定期收支…"), QStringLiteral("frmRecurring")), 1, 0);
    grid->addWidget(part(store_, this, QStringLiteral("frameLatest"), QStringLiteral("最近 10 笔记录"), latest,
                         QStringLiteral("支出状况…"), QStringLiteral("frmquery_zc")), 1, 1);
    grid->addWidget(part(store_, this, QStringLiteral("frameAssets"), QStringLiteral("资产状况"), assets, QStringLiteral("资产统计…"),
                         QStringLiteral("frmcurt")), 2, 0, 1, 2);

    showAtLogin = new QCheckBox(QStringLiteral("登录后显示本月概览"), this);
    showAtLogin->setObjectName(QStringLiteral("chkShowAtLogin"));
    auto* close = new QPushButton(QStringLiteral("返回"), this);
    close->setObjectName(QStringLiteral("cmdexit"));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(showAtLogin);
    bottom->addStretch(1);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(bottom);

    try {
        showAtLogin->setChecked(store_.overviewAfterLogin());
    } catch (const std::exception&) {
        showAtLogin->setChecked(true);
    }
    connect(showAtLogin, &QCheckBox::toggled, this, [this](bool on) {
        try {
            store_.setOverviewAfterLogin(on);
        } catch (const std::exception& e) {
            showDbError(e, QStringLiteral("设置没有保存。"));
        }
    });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    load();
    // What the window shows follows the file: after a posting (the due records after the login among
    // them), a correction or an import, in this window or another, it is read again.
    FileChanges::follow(this, [this] { load(); }, FileChanges::noFigures());
}

OverviewWindow* OverviewWindow::showAfterLogin(Store& store, QWidget* parent)
{
    bool show = true;
    try {
        show = store.overviewAfterLogin();
    } catch (const std::exception&) {
        // A switch that cannot be read hides nothing: the overview is shown as when it was never
        // switched off (its reading of the file tells any failure of its own).
    }
    if (!show)
        return nullptr;
    auto* w = new OverviewWindow(store, parent);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    return w;
}

void OverviewWindow::load()
{
    const QDate today = App::today();
    for (auto [view, model] : lists_)
        model->clear();
    try {
        const WaitCursor wait;
        const Overview::Glance g = store_.monthGlance(today);
        int r = 0;
        for (const Overview::MonthTotals* t : {&g.month.now, &g.month.last}) {
            const QString prefix = r++ == 0 ? QStringLiteral("lblThis_") : QStringLiteral("lblLast_");
            figures_.value(prefix + QLatin1Char('0'))->setText(t->income.toGrouped());
            figures_.value(prefix + QLatin1Char('1'))->setText(t->expense.toGrouped());
            figures_.value(prefix + QLatin1Char('2'))->setText(t->balance().toGrouped());
        }
        largest_->setHorizontalHeaderLabels({QStringLiteral("类型"), QStringLiteral("已支出"), QStringLiteral("预算"), QStringLiteral("执行")});
        for (const Budgets::Line& l : g.month.largest)
            largest_->appendRow({cell(l.typeName), cell(l.spent.toGrouped(), true),
                                 cell(l.budget ? l.budget->toGrouped() : QString(), true),
                                 cell(budgetPercentText(l.budget.has_value(), l.percent()))});
        due_->setHorizontalHeaderLabels({QStringLiteral("到期日"), QStringLiteral("帐"), QStringLiteral("成员"), QStringLiteral("类型"),
                                         QStringLiteral("金额"), QStringLiteral("说明")});
        for (const Recurring::Due& d : g.due)
            due_->appendRow({cell(d.due.toString(Qt::ISODate)), cell(d.what.ledger), cell(d.names.member), cell(d.names.type),
                             cell(d.what.amount.toGrouped(), true), cell(Recurring::noteOf(d))});
        latest_->setHorizontalHeaderLabels({QStringLiteral("帐"), QStringLiteral("日期"), QStringLiteral("成员"), QStringLiteral("类型"),
                                            QStringLiteral("金额"), QStringLiteral("备注")});
        for (const Overview::Record& x : g.latest)
            latest_->appendRow({cell(x.ledger), cell(x.date), cell(x.member), cell(x.type), cell(x.amount.toGrouped(), true), cell(x.note)});
        position->setText(Overview::positionLine(g.position));
    } catch (const std::exception& e) {
        showDbError(e, QStringLiteral("本月概览没有读出来。"));
    }
    // The lists are shown once they are filled: a view that watched a list grow row by row would
    // follow each row, and the due list may have hundreds.
    for (auto [view, model] : lists_) {
        view->setModel(model);
        view->resizeColumnsToContents();
    }
}
