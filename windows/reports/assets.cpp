#include "assets.h"

#include "dberror.h"
#include "store.h"
#include "waitcursor.h"
#include "app.h"
#include "inputs.h"
#include "valuelabel.h"

#include <QChart>
#include <QChartView>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

const QString kNote = QStringLiteral(" 注：银行帐与收入/支出帐可相对独立");
const QString kChartTitle = QStringLiteral("当前资产状况");

// One group: three captions in a row (or fewer, at the given columns), each value under its caption.
struct Group {
    const char* frame;
    const char* caption;
    const char* array;  // "lblxf" or "lblyh"
    struct Cell {
        int column;
        int captionIndex;
        const char* captionText;
        int valueIndex;
    } cells[3];
    int cellCount;
};

const Group kGroups[] = {
    {"Frame1", "收入/支出", "lblxf", {{0, 4, "收入", 1}, {1, 5, "支出", 2}, {2, 6, "余额", 3}}, 3},
    {"Frame2_0", "银行帐", "lblyh", {{0, 0, "存入", 3}, {1, 1, "支取", 4}, {2, 2, "余额", 5}}, 3},
    {"Frame2_1", "负债", "lblyh", {{0, 11, "借入", 8}, {1, 10, "借出", 7}, {2, 9, "差额(借入-借出)", 6}}, 3},
    {"Frame2_2", "其它投资", "lblyh", {{2, 15, "金额", 12}, {}, {}}, 1},
};

QString name(const char* array, int index)
{
    return QString::fromUtf8(array) + QLatin1Char('_') + QString::number(index);
}

// The status line while a ledger is summed.
QString progressText(Ledger ledger)
{
    switch (ledger.kind()) {
    case Ledger::Income:
        return QStringLiteral("正在统计收入帐....");
    case Ledger::Expense:
        return QStringLiteral("正在统计支出帐....");
    case Ledger::Bank:
        return QStringLiteral("正在统计银行帐....");
    case Ledger::Debts:
        return QStringLiteral("正在统计负债状况....");
    case Ledger::Investment:
        break;
    }
    return QStringLiteral("正在统计其它投资状况....");
}

}  // namespace

QString sumText(const std::optional<MoneyTotal>& sum)
{
    if (!sum)
        return QStringLiteral(" ");
    // Beyond what one record can hold, a total's plain digits can no longer be read at a glance
    // ("922337203730702.5808"): it is grouped, as the differences are.
    const MoneyTotal bound(kMaxRecordAmount);
    const bool large = (*sum - bound).toDouble() > 0 || (*sum + bound).toDouble() < 0;
    return (large ? sum->toGrouped() : sum->toPlain()) + QLatin1Char(' ');
}

AssetsWindow::AssetsWindow(Store& store, QWidget* parent) : DataWindow(QStringLiteral("frmcurt"), parent), store_(store)
{
    setWindowTitle(QStringLiteral("当前资产查询"));
    setFont(songFont(9));
    resize(twips(15000), twips(6800));

    auto* layout = new QVBoxLayout(this);
    addTitle(layout);
    chart = newChartView(QStringLiteral("chart"), QStringLiteral("当前资产状况图表"), this);
    auto* body = new QHBoxLayout;
    body->addLayout(figureGroups(), 2);
    body->addWidget(chart, 3);
    layout->addLayout(body, 1);
    addButtonsAndStatus(layout);
    layout->setContentsMargins(twips(120), twips(120), twips(120), 0);

    connect(countButton, &QPushButton::clicked, this, [this] { computeStatistics(); });
    connect(closeButton, &QPushButton::clicked, this, [this] { close(); });
    showPosition({});
}

AssetsWindow::~AssetsWindow() = default;

void AssetsWindow::addTitle(QVBoxLayout* layout)
{
    auto* titleLabel = new QLabel(QStringLiteral("当前资产查询"), this);
    titleLabel->setObjectName(QStringLiteral("Label1"));
    titleLabel->setFont(kaiFont(18));
    titleLabel->setAlignment(Qt::AlignCenter);

    // At opening: the current month and the logged-in user.
    const QDate today = App::today();
    dateLabel = new ValueLabel(QStringLiteral("lbldate"), QString(), this);
    dateLabel->setText(QString::number(today.year()) + QStringLiteral("年") + QString::number(today.month())
                     + QStringLiteral("月份"));
    userLabel = new ValueLabel(QStringLiteral("lbluser"), QString(), this);
    userLabel->setText(App::curUser);
    userLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* rule = new QFrame(this);
    rule->setObjectName(QStringLiteral("Line1"));
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);

    layout->addWidget(titleLabel);
    auto* titleLine = new QHBoxLayout;
    titleLine->addWidget(dateLabel);
    titleLine->addStretch(1);
    titleLine->addWidget(userLabel);
    layout->addLayout(titleLine);
    layout->addWidget(rule);
}

QVBoxLayout* AssetsWindow::figureGroups()
{
    auto* frames = new QVBoxLayout;
    for (const Group& g : kGroups) {
        auto* frame = new QGroupBox(QString::fromUtf8(g.caption), this);
        frame->setObjectName(QString::fromUtf8(g.frame));
        auto* grid = new QGridLayout(frame);
        auto& array = QByteArray(g.array) == "lblxf" ? incomeExpenseLabels_ : positionLabels_;
        for (int c = 0; c < g.cellCount; ++c) {
            const auto& cell = g.cells[c];
            const QString text = QString::fromUtf8(cell.captionText);
            auto* caption = new QLabel(text, frame);
            caption->setObjectName(name(g.array, cell.captionIndex));
            // Heard as its group, its caption and its figure: "银行帐 余额 -1,234.50".
            auto* value = valueBox(name(g.array, cell.valueIndex), frame->title() + QLatin1Char(' ') + text, 1500, frame);
            value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            caption->setBuddy(value);
            array.insert(cell.captionIndex, caption);
            array.insert(cell.valueIndex, value);
            grid->addWidget(caption, 0, cell.column);
            grid->addWidget(value, 1, cell.column);
        }
        for (int c = 0; c < 3; ++c)
            grid->setColumnStretch(c, 1);
        frames->addWidget(frame);
    }
    return frames;
}

void AssetsWindow::addButtonsAndStatus(QVBoxLayout* layout)
{
    countButton = new QPushButton(QStringLiteral("统计"), this);
    countButton->setObjectName(QStringLiteral("Command1"));
    countButton->setDefault(true);
    closeButton = new QPushButton(QStringLiteral("返回"), this);
    closeButton->setObjectName(QStringLiteral("Command2"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(countButton);
    printing_ = PrintedReport::addButtons(this, buttons, [this] { return report(); });
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);

    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("stabar"));
    status->setSizeGripEnabled(false);
    progressLabel = new ValueLabel(QStringLiteral("stabar_1"), QStringLiteral("统计进度"), status);
    auto* noteLabel = new QLabel(kNote, status);
    noteLabel->setObjectName(QStringLiteral("stabar_2"));
    noteLabel->setToolTip(kNote);
    status->addWidget(progressLabel, 1);
    status->addWidget(noteLabel, 2);
    layout->addWidget(status);
}

void AssetsWindow::progress(const QString& text)
{
    progressLabel->setText(text);
    progressLabel->repaint();
}

void AssetsWindow::computeStatistics()
{
    // Differences are taken exactly, an empty sum counting 0.
    const auto diff = [](const std::optional<MoneyTotal>& a, const std::optional<MoneyTotal>& b) {
        return (a.value_or(MoneyTotal()) - b.value_or(MoneyTotal())).toGrouped();
    };
    try {
        const WaitCursor wait;
        const Store::AssetTotals t = store_.assetTotals([this](Ledger ledger) { progress(progressText(ledger)); });
        incomeExpenseLabel(1)->setText(sumText(t.income));
        incomeExpenseLabel(2)->setText(sumText(t.expense));
        incomeExpenseLabel(3)->setText(diff(t.income, t.expense));
        positionLabel(3)->setText(sumText(t.deposited));
        positionLabel(4)->setText(sumText(t.withdrawn));
        positionLabel(5)->setText(diff(t.deposited, t.withdrawn));
        positionLabel(8)->setText(sumText(t.borrowed));
        positionLabel(7)->setText(sumText(t.lent));
        positionLabel(6)->setText(diff(t.borrowed, t.lent));
        positionLabel(12)->setText(t.invested ? t.invested->toGrouped() : QStringLiteral(" "));
        const MoneyTotal zero;
        showPosition({{QStringLiteral("收入/支出余额"), t.income.value_or(zero) - t.expense.value_or(zero)},
                      {QStringLiteral("银行余额"), t.deposited.value_or(zero) - t.withdrawn.value_or(zero)},
                      {QStringLiteral("借入(欠人)"), t.borrowed.value_or(zero)},
                      {QStringLiteral("借出(人欠)"), t.lent.value_or(zero)},
                      {QStringLiteral("其它投资"), t.invested.value_or(zero)}});
        progress(QStringLiteral("统计完毕"));
    } catch (const Store::BadAmount& bad) {
        clearFigures();
        App::msgBox(QStringLiteral("统计没有完成：") + bad.text, App::MsgStyle::Information);
    } catch (const std::exception& e) {
        clearFigures();
        showDbError(e, QStringLiteral("统计没有完成，请检查数据库。"));
    }
}

void AssetsWindow::clearFigures()
{
    // No half-computed position stays on show.
    for (int i : {1, 2, 3})
        incomeExpenseLabel(i)->setText(QString());  // clear() would not tell a screen reader
    for (int i : {3, 4, 5, 6, 7, 8, 12})
        positionLabel(i)->setText(QString());
    progress(QString());
    showPosition({});
}

void AssetsWindow::showPosition(QList<ChartFigure> figures)
{
    position_ = std::move(figures);
    drawPositionChart(chart->chart(), kChartTitle, position_);
    chart->setAccessibleDescription(chartDescription(kChartTitle, position_));
    printing_.setEnabled(!position_.isEmpty());
}

ReportContent AssetsWindow::report()
{
    // The figures as the window shows them, one line each under their group.
    if (!printed_)
        printed_ = new QStandardItemModel(this);
    printed_->clear();
    printed_->setHorizontalHeaderLabels({QStringLiteral("类别"), QStringLiteral("项目"), QStringLiteral("金额")});
    for (const Group& g : kGroups) {
        const auto& array = QByteArray(g.array) == "lblxf" ? incomeExpenseLabels_ : positionLabels_;
        for (int c = 0; c < g.cellCount; ++c) {
            auto* amount = new QStandardItem(array.value(g.cells[c].valueIndex)->text().trimmed());
            amount->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            printed_->appendRow({new QStandardItem(QString::fromUtf8(g.caption)),
                                 new QStandardItem(QString::fromUtf8(g.cells[c].captionText)), amount});
        }
    }
    ReportContent c;
    c.title = windowTitle();
    c.about << dateLabel->text() << kNote.trimmed();
    c.table = printed_;
    c.amountColumns << 2;
    c.chart = [figures = position_](QChart* chart) { drawPositionChart(chart, kChartTitle, figures); };
    return c;
}
