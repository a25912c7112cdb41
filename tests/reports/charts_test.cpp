// The year chooser of the year-end summary, its totals line and the charts of the reports: what
// they show against sums worked out here from the records written.
#include "ledgerquery.h"
#include "queryoutputs.h"
#include "yearsummary.h"
#include "datagrid.h"
#include "support/testsupport.h"
#include "session.h"

#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QFontInfo>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPieSeries>
#include <QPieSlice>
#include <map>

namespace {

// The Song or Kai face, with a glyph for every character of `text`: no empty boxes.
void expectChineseFace(const QFont& f, const QString& text)
{
    EXPECT_TRUE(QFontInfo(f).family().startsWith("AR PL")) << QFontInfo(f).family().toStdString();
    const QFontMetrics m(f);
    for (const QChar c : text)
        EXPECT_TRUE(c.unicode() < 0x2E80 || m.inFont(c)) << QString(c).toStdString() << " in " << text.toStdString();
}

// Three ledgers over several years, the days on either side of each new year included.
struct Record {
    int ledger;  // 0 income, 1 expenses, 2 investments
    QDate date;
    qint64 cents;
};

class ChartsTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        openConn();
    }
    std::vector<Record> writeYears(const QList<int>& years)
    {
        static const char* const tables[3] = {"收入帐", "支出帐", "投资帐"};
        std::vector<Record> written;
        for (int y : years) {
            for (int i = 0; i < 45; ++i)
                written.push_back({i % 3, QDate(y, 1 + (i * 7) % 12, 1 + (i * 13) % 28), (i * 7919 + y) % 900000 + 1});
            written.push_back({0, QDate(y, 1, 1), 101});
            written.push_back({1, QDate(y, 12, 31), 20202});
        }
        QString s;
        for (const Record& r : written)
            s += QStringLiteral("insert into %1 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','1',%2,'%3','',%4);")
                     .arg(tables[r.ledger])
                     .arg(QString::number(r.cents / 100.0, 'f', 2), r.date.toString(Qt::ISODate))
                     .arg(r.date.month());
        sql("begin;" + s + "commit;");
        return written;
    }
};

}  // namespace

TEST_F(ChartsTest, AnyYearIsSummedExactlyAndItsChartHoldsTheTablesFigures)
{
    const int now = QDate::currentDate().year();  // the stored query sums the clock's year
    const auto written = writeYears({now - 3, now - 1, now});
    App::setToday(QDate(now, 6, 10));
    YearSummary w(App::store());
    w.show();
    auto* cbo = child<QComboBox>(&w, "cboYear");
    QStringList offered;
    for (int i = 0; i < cbo->count(); ++i)
        offered << cbo->itemText(i);
    EXPECT_EQ(offered, QStringList({QString::number(now), QString::number(now - 1), QString::number(now - 2),
                                    QString::number(now - 3)}));
    EXPECT_EQ(w.year(), now);
    EXPECT_TRUE(chartOf(&w)->series().isEmpty());  // nothing before 汇总
    EXPECT_FALSE(child<QPushButton>(&w, "cmdPdf")->isEnabled());

    // A past year is over: no question. Once shown, choosing a year sums it at once; the empty
    // year gives twelve zero months.
    for (const int year : {now - 1, now, now - 2, now - 3}) {
        cbo->setCurrentIndex(cbo->findData(year));
        if (year == now - 1)
            click(&w, "Command1");
        std::map<int, Money> sums[3];
        Money all[3];
        for (const Record& r : written)
            if (r.date.year() == year) {
                sums[r.ledger][r.date.month()] += Money::fromUnits(r.cents * 100);
                all[r.ledger] += Money::fromUnits(r.cents * 100);
            }
        QStringList expected;
        for (int m = 1; m <= 12; ++m)
            expected << QStringLiteral("%1|%2|%3|%4").arg(m).arg(sums[0][m].toGrouped(), sums[1][m].toGrouped(),
                                                                 sums[2][m].toGrouped());
        const QStringList rows = gridRows(child<DataGrid>(&w, "dg"));
        EXPECT_EQ(rows, expected) << year;
        EXPECT_TRUE(child<DataGrid>(&w, "dg")->model()->index(2, 1).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
        EXPECT_EQ(child<QLabel>(&w, "lblTotals")->text(),
                  QStringLiteral("合计：收入 %1　支出 %2　投资 %3　结余 %4")
                      .arg(all[0].toGrouped(), all[1].toGrouped(), all[2].toGrouped(), (all[0] - all[1] - all[2]).toGrouped()));

        // The bars and the line hold the table's figures, month by month.
        QChart* chart = chartOf(&w);
        ASSERT_EQ(chart->series().size(), 2);
        auto* bars = qobject_cast<QBarSeries*>(chart->series()[0]);
        auto* left = qobject_cast<QLineSeries*>(chart->series()[1]);
        ASSERT_TRUE(bars && left && bars->barSets().size() == 2 && left->count() == 12);
        EXPECT_TRUE(chart->title().startsWith(QString::number(year) + "年"));
        for (int i = 0; i < 12 && i < rows.size(); ++i) {
            const QStringList cells = rows[i].split(u'|');
            const Money in = shownAmount(cells[1]), out = shownAmount(cells[2]), invested = shownAmount(cells[3]);
            EXPECT_EQ(bars->barSets()[0]->at(i), in.toDouble()) << year << "/" << i + 1;
            EXPECT_EQ(bars->barSets()[1]->at(i), out.toDouble()) << year << "/" << i + 1;
            EXPECT_EQ(left->at(i).y(), (in - out - invested).toDouble()) << year << "/" << i + 1;
        }
    }
    EXPECT_FALSE(child<QPushButton>(&w, "Command1")->isEnabled());
    EXPECT_TRUE(messageTexts().isEmpty());
    expectChineseFace(chartOf(&w)->titleFont(), chartOf(&w)->title());
    expectChineseFace(chartOf(&w)->legend()->font(), "收入支出结余");
    EXPECT_EQ(child<QComboBox>(&w, "cboYear")->accessibleName(), "年份");
}

// Only a year not yet over asks first: Cancel leaves the table empty and 汇总 usable, OK sums it.
TEST_F(ChartsTest, OnlyAYearNotOverAsksAndCancelLeavesItEmpty)
{
    const int now = QDate::currentDate().year();
    sql(QStringLiteral("insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','1',5,'%1-01-01','',1), ('1','1',5,'%2-01-01','',1);").arg(now + 1).arg(now - 1));
    struct Case { int month, year, answer; };  // answer 0: no question
    for (const Case& c : {Case{12, now, 0}, Case{6, now, 2}, Case{6, now, 1}, Case{6, now - 1, 0}, Case{12, now + 1, 2}}) {
        SCOPED_TRACE(QStringLiteral("%1/%2 answered %3").arg(c.month).arg(c.year).arg(c.answer).toStdString());
        script().clearMessages();
        App::setToday(QDate(now, c.month, 10));
        YearSummary w(App::store());
        w.show();
        auto* cbo = child<QComboBox>(&w, "cboYear");
        cbo->setCurrentIndex(cbo->findData(c.year));
        ASSERT_EQ(w.year(), c.year);
        if (c.answer)
            script().queueAnswer(c.answer == 2 ? App::MsgAnswer::Cancel : App::MsgAnswer::Ok);
        click(&w, "Command1");
        EXPECT_EQ(messageTexts(), c.answer ? QStringList{"尚未到年底，确实要进行年终处理吗"} : QStringList());
        EXPECT_EQ(script().messages().value(0).style, c.answer ? App::MsgStyle::Question : App::MsgStyle::Plain);
        EXPECT_EQ(gridRows(child<DataGrid>(&w, "dg")).size(), c.answer == 2 ? 0 : 12);
        EXPECT_EQ(child<QPushButton>(&w, "Command1")->isEnabled(), c.answer == 2);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

TEST_F(ChartsTest, RingOfTheListedRecordsByTypeOrMemberFollowsEachQuery)
{
    App::setToday(QDate(2026, 7, 25));
    sql("insert into 成员 (ID, 姓名, 关系, 密码) values('1','张三','',''), ('2','李四','','');"
        "insert into 收入类型 (ID, 类型, 备注) values('5','工资',null), ('6','奖金',null);"
        "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','5',100,'2026-01-01','',1), ('1','6',50.25,'2026-02-01','',2),"
        " ('2','5',200.5,'2026-03-01','',3), ('2','7',3,'2026-03-03','',3), ('2','6',0.1,'2026-04-01','',4),"
        " ('1','5',0.2,'2026-05-01','',5), ('1','5',9,'2025-05-01','',5);");
    struct Row { QString member, type; Money amount; QDate date; };
    const QList<Row> rows = {{"张三", "工资", *Money::parse("100"), {2026, 1, 1}},  {"张三", "奖金", *Money::parse("50.25"), {2026, 2, 1}},
                             {"李四", "工资", *Money::parse("200.5"), {2026, 3, 1}}, {"李四", "", *Money::parse("3"), {2026, 3, 3}},
                             {"李四", "奖金", *Money::parse("0.1"), {2026, 4, 1}},  {"张三", "工资", *Money::parse("0.2"), {2026, 5, 1}},
                             {"张三", "工资", *Money::parse("9"), {2025, 5, 1}}};
    LedgerQuery w(App::store(), kQueryKinds[0]);
    w.show();
    click(&w, "cmdChart");
    auto* ring = w.findChild<QueryChart*>("frmChart");
    ASSERT_TRUE(ring && ring->isVisible());

    // Each slice against the sums of the listed rows, largest first, with its share.
    const auto check = [&](int grouping, const QString& member) {
        std::map<QString, Money> sums;
        Money all;
        for (const Row& r : rows)
            if (member.isEmpty() || (r.member == member && r.date.year() == 2026)) {
                const QString key = grouping ? r.member : r.type;
                sums[key.isEmpty() ? "（无名称）" : key] += r.amount;
                all += r.amount;
            }
        auto* pie = qobject_cast<QPieSeries*>(chartOf(ring)->series().value(0));
        ASSERT_TRUE(pie);
        ASSERT_EQ(pie->count(), static_cast<int>(sums.size())) << grouping << member.toStdString();
        const QList<QLegendMarker*> legend = chartOf(ring)->legend()->markers(pie);
        ASSERT_EQ(legend.size(), pie->count());
        double last = 1e300;
        for (int i = 0; i < pie->count(); ++i) {
            const QPieSlice* s = pie->slices()[i];
            const QString name = s->label().section(u' ', 0, 0);
            ASSERT_TRUE(sums.count(name)) << name.toStdString();
            const Money sum = sums[name];
            EXPECT_EQ(s->value(), sum.toDouble()) << name.toStdString();
            const QString share = QString::number(sum.toDouble() * 100 / all.toDouble(), 'f', 1) + "%";
            EXPECT_EQ(s->label(), name + " " + share);
            EXPECT_EQ(legend[i]->label(), name + " " + sum.toGrouped() + "（" + share + "）");
            EXPECT_TRUE(child<QChartView>(ring, "chart")->accessibleDescription().contains(name + " " + sum.toGrouped()));
            EXPECT_LE(s->value(), last);
            last = s->value();
        }
        EXPECT_TRUE(chartOf(ring)->title().endsWith("金额总计 " + all.toGrouped() + "元"));
        EXPECT_EQ(child<QLabel>(&w, "lblJE")->text(), "金额总计：" + all.toGrouped() + "元");
        expectChineseFace(pie->slices().value(0)->labelFont(), pie->slices().value(0)->label());
    };
    check(0, "");
    child<QComboBox>(ring, "cboGroup")->setCurrentIndex(1);
    check(1, "");

    // 执行 with a member chosen: the ring follows the new list (this year's records of 张三).
    pickId(&w, "cmdfindt", "1");
    click(&w, "CmdqueryNow");
    check(1, "张三");
    child<QComboBox>(ring, "cboGroup")->setCurrentIndex(0);
    check(0, "张三");
    EXPECT_TRUE(messageTexts().isEmpty());
}
