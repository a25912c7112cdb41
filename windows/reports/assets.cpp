#include "assets.h"

#include "badamounts.h"
#include "dberror.h"
#include "exactsum.h"
#include "waitcursor.h"
#include "app.h"
#include "inputs.h"
#include "valuelabel.h"
#include "session.h"

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

AssetsWindow::AssetsWindow(QWidget* parent) : DataWindow(QStringLiteral("frmcurt"), parent)
{
    setWindowTitle(QStringLiteral("当前资产查询"));
    setFont(songFont(9));
    resize(twips(15000), twips(6800));

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
    auto* Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(titleLabel);
    auto* titleLine = new QHBoxLayout;
    titleLine->addWidget(dateLabel);
    titleLine->addStretch(1);
    titleLine->addWidget(userLabel);
    layout->addLayout(titleLine);
    layout->addWidget(Line1);

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
    chart = newChartView(QStringLiteral("chart"), QStringLiteral("当前资产状况图表"), this);
    auto* body = new QHBoxLayout;
    body->addLayout(frames, 2);
    body->addWidget(chart, 3);
    layout->addLayout(body, 1);

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

    stabar = new QStatusBar(this);
    stabar->setObjectName(QStringLiteral("stabar"));
    stabar->setSizeGripEnabled(false);
    stabar_1 = new ValueLabel(QStringLiteral("stabar_1"), QStringLiteral("统计进度"), stabar);
    stabar_2 = new QLabel(kNote, stabar);
    stabar_2->setObjectName(QStringLiteral("stabar_2"));
    stabar_2->setToolTip(kNote);
    stabar->addWidget(stabar_1, 1);
    stabar->addWidget(stabar_2, 2);
    layout->addWidget(stabar);
    layout->setContentsMargins(twips(120), twips(120), twips(120), 0);

    connect(countButton, &QPushButton::clicked, this, [this] { computeStatistics(); });
    connect(closeButton, &QPushButton::clicked, this, [this] { close(); });
    showPosition({});
}

AssetsWindow::~AssetsWindow() = default;

void AssetsWindow::progress(const QString& text)
{
    stabar_1->setText(text);
    stabar_1->repaint();
}

std::optional<MoneyTotal> AssetsWindow::sumOf(const QString& sql, const QString& table, const QString& field)
{
    // The amounts are added up exactly, as the query total does: the engine's sum of real numbers
    // would round. An amount that is no amount (not a finite number, beyond an amount's range, a
    // text another tool wrote) is named with its record rather than any figure shown.
    try {
        return ExactSum::total(App::conn, sql);
    } catch (const DbError& e) {
        if (e.kind() != DbError::BadValue && e.kind() != DbError::Overflow)
            throw;
        const QString bad = findBadAmount(table, field);
        if (bad.isEmpty())
            throw;
        throw BadAmount{bad};
    }
}

void AssetsWindow::computeStatistics()
{
    // Differences are taken exactly, an empty sum counting 0.
    const auto diff = [](const std::optional<MoneyTotal>& a, const std::optional<MoneyTotal>& b) {
        return (a.value_or(MoneyTotal()) - b.value_or(MoneyTotal())).toGrouped();
    };
    const QString amount = QStringLiteral("金额"), balance = QStringLiteral("余额");
    try {
        const WaitCursor wait;
        progress(QStringLiteral("正在统计收入帐...."));
        const auto income = sumOf(QStringLiteral("select EXACT_SUM(金额) from 收入帐"), QStringLiteral("收入帐"), amount);
        incomeExpenseLabel(1)->setText(sumText(income));
        progress(QStringLiteral("正在统计支出帐...."));
        const auto expense = sumOf(QStringLiteral("select EXACT_SUM(金额) from 支出帐"), QStringLiteral("支出帐"), amount);
        incomeExpenseLabel(2)->setText(sumText(expense));
        incomeExpenseLabel(3)->setText(diff(income, expense));

        progress(QStringLiteral("正在统计银行帐...."));
        const auto in = sumOf(QStringLiteral("select EXACT_SUM(金额) from 银行帐 where 存或取='存入'"), QStringLiteral("银行帐"), amount);
        positionLabel(3)->setText(sumText(in));
        const auto out = sumOf(QStringLiteral("select EXACT_SUM(金额) from 银行帐 where 存或取='支出'"), QStringLiteral("银行帐"), amount);
        positionLabel(4)->setText(sumText(out));
        positionLabel(5)->setText(diff(in, out));

        progress(QStringLiteral("正在统计负债状况...."));
        const auto borrowed = sumOf(QStringLiteral("select EXACT_SUM(余额) from 负债 where 类型='欠人'"), QStringLiteral("负债"), balance);
        positionLabel(8)->setText(sumText(borrowed));
        const auto lent = sumOf(QStringLiteral("select EXACT_SUM(余额) from 负债 where 类型='人欠'"), QStringLiteral("负债"), balance);
        positionLabel(7)->setText(sumText(lent));
        positionLabel(6)->setText(diff(borrowed, lent));

        progress(QStringLiteral("正在统计其它投资状况...."));
        const auto invested = sumOf(QStringLiteral("select EXACT_SUM(金额) from 投资帐"), QStringLiteral("投资帐"), amount);
        positionLabel(12)->setText(invested ? invested->toGrouped() : QStringLiteral(" "));
        const MoneyTotal zero;
        showPosition({{QStringLiteral("收入/支出余额"), income.value_or(zero) - expense.value_or(zero)},
                      {QStringLiteral("银行余额"), in.value_or(zero) - out.value_or(zero)},
                      {QStringLiteral("借入(欠人)"), borrowed.value_or(zero)},
                      {QStringLiteral("借出(人欠)"), lent.value_or(zero)},
                      {QStringLiteral("其它投资"), invested.value_or(zero)}});
        progress(QStringLiteral("统计完毕"));
    } catch (const BadAmount& bad) {
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
