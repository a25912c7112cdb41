// Reports on paper and in PDF: written headless and read back with poppler's pdfinfo and pdftotext.
#include "assets.h"
#include "ledgerquery.h"
#include "yearsummary.h"
#include "support/faultydisk.h"
#include "support/testsupport.h"
#include "session.h"

#include <QFileInfo>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <set>

namespace {

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(120000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The text of each page, as pdftotext lays it out.
QStringList pdfPages(const QString& pdf)
{
    QStringList pages = run("pdftotext", {"-layout", pdf, "-"}).split(u'\f');
    if (!pages.isEmpty() && pages.back().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

int pdfPageCount(const QString& pdf)
{
    const auto m = QRegularExpression("Pages:\\s+(\\d+)").match(run("pdfinfo", {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Blanks of any width (the PDF's layout sets its own) are no part of what a text says.
QString squeezed(QString s)
{
    return s.remove(QRegularExpression("[\\s\\x{3000}]"));
}

class PrintingTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        if (QStandardPaths::findExecutable("pdftotext").isEmpty() || QStandardPaths::findExecutable("pdfinfo").isEmpty())
            GTEST_SKIP() << "pdftotext and pdfinfo (Debian poppler-utils, installed by tools/setup.sh) are missing";
        App::curUser = "当前用户：张三";
        App::setToday(QDate(2026, 7, 25));
    }
    QStringList filesInFolder() const { return QDir(folder()).entryList(QDir::Files); }
};

}  // namespace

TEST_F(PrintingTest, LongQueryIsPagedWithItsHeaderOnEveryPageAndEveryRowOnce)
{
    const int n = 500;
    sql("insert into 成员 (ID, 姓名, 关系, 密码) values('1','张三','',''), ('2','李四','','');"
        "insert into 收入类型 (ID, 类型, 备注) values('5','工资',null), ('6','奖金',null);"
        "with recursive n(i) as (select 0 union all select i + 1 from n where i < 499) insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) select"
        " 1 + i % 2, 5 + i % 3 / 2, (i * 7919 % 100000 + 1) / 100.0, '2026-03-01', printf('n%04d', i), 3 from n;");
    const Money total =
        Money::fromUnits(scalar("select sum(cast(round(金额 * 100) as integer)) from 收入帐").toLongLong() * 100);
    openConn();
    LedgerQuery w(App::store(), kQueryKinds[0]);
    w.show();
    const QString pdf = folder() + "/收入.pdf";
    script().queueFileChoice(pdf);
    click(&w, "cmdPdf");  // the rows still arriving are read first
    EXPECT_TRUE(messageTexts().isEmpty());
    EXPECT_EQ(script().fileDialogs().back().proposed.section(u'/', -1), "收入状况匹配查询-20260725.pdf");

    const QStringList pages = pdfPages(pdf);
    const int count = pdfPageCount(pdf);
    ASSERT_GT(count, 2);
    ASSERT_EQ(pages.size(), count);
    std::multiset<QString> notes;
    QList<int> rowsOn;
    for (int p = 0; p < count; ++p) {
        EXPECT_TRUE(pages[p].contains(QStringLiteral("第 %1 页，共 %2 页").arg(p + 1).arg(count))) << p + 1;
        int rows = 0;
        for (auto it = QRegularExpression("\\bn\\d{4}\\b").globalMatch(pages[p]); it.hasNext(); ++rows)
            notes.insert(it.next().captured());
        if (rows) {
            rowsOn << rows;
            EXPECT_TRUE(QRegularExpression("姓名\\s+类型\\s+金额\\s+日期\\s+备注").match(pages[p]).hasMatch()) << p + 1;
        }
    }
    EXPECT_EQ(notes.size(), static_cast<size_t>(n));
    EXPECT_EQ(std::set<QString>(notes.begin(), notes.end()).size(), static_cast<size_t>(n));
    // Amounts on paper in #,##0.00, whatever form the grid shows (79.2 there).
    EXPECT_TRUE(QRegularExpression("79\\.20\\s+2026-03-01\\s+n0001").match(pages.join(QString())).hasMatch());
    // Pages of rows come first and are full but for the first (under the title) and the last;
    // the totals and the chart take at most one page more.
    ASSERT_GE(rowsOn.size(), 3);
    for (qsizetype p = 1; p + 1 < rowsOn.size(); ++p)
        EXPECT_EQ(rowsOn[p], rowsOn[1]) << p + 1;
    EXPECT_LT(rowsOn.front(), rowsOn[1]);
    EXPECT_LE(rowsOn.back(), rowsOn[1]);
    EXPECT_LE(count - rowsOn.size(), 1);

    const QString first = squeezed(pages.front()), last = squeezed(pages.mid(count - 2).join(QString()));
    for (const char* line : {"收入状况匹配查询", "条件：全部记录", "日期范围：全部日期", "打印人：张三打印时间：2026-"})
        EXPECT_TRUE(first.contains(QString::fromUtf8(line))) << line;
    EXPECT_TRUE(last.contains("金额总计：" + total.toGrouped() + "元"));
    EXPECT_TRUE(last.contains(QStringLiteral("共%1条记录").arg(n)));
    EXPECT_TRUE(last.contains("按类型：金额总计" + total.toGrouped() + "元"));  // the ring, as text
    EXPECT_EQ(filesInFolder(), QStringList({"main.mdb", "收入.pdf"}));
}

TEST_F(PrintingTest, YearSummaryOnOnePageWithTotalsAndChartAndTheSameInThePreview)
{
    const int year = QDate::currentDate().year() - 1;
    sql(QStringLiteral("insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','1',1234.5,'%1-03-02','',3), ('1','1',0.1,'%1-12-31','',12);"
                       "insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','1',20,'%1-03-05','',3);")
            .arg(year));
    openConn();
    YearSummary w(App::store());
    w.show();
    auto* cbo = child<QComboBox>(&w, "cboYear");
    cbo->setCurrentIndex(cbo->findData(year));
    click(&w, "Command1");
    const QString pdf = folder() + "/year.pdf";
    script().queueFileChoice(folder() + "/year");  // the suffix is added
    click(&w, "cmdPdf");
    ASSERT_EQ(pdfPageCount(pdf), 1);
    const QString text = squeezed(pdfPages(pdf).value(0));
    for (const QString& part : {QStringLiteral("年终处理"), QStringLiteral("年份：%1年").arg(year),
                                squeezed(child<QLabel>(&w, "lblTotals")->text()), QStringLiteral("1,234.60"),
                                QStringLiteral("%1年各月收入、支出与结余").arg(year), QStringLiteral("12月")})
        EXPECT_TRUE(text.contains(part)) << part.toStdString();
    EXPECT_EQ(squeezed(child<QLabel>(&w, "lblTotals")->text()), "合计：收入1,234.60支出20.00投资0.00结余1,214.60");

    int previewPages = -1;
    whenModal([&](QDialog* d) {
        if (auto* preview = d->findChild<QPrintPreviewWidget*>()) {
            preview->updatePreview();
            previewPages = preview->pageCount();
        }
        d->close();
    });
    click(&w, "cmdPrint");
    EXPECT_EQ(previewPages, 1);
    EXPECT_TRUE(messageTexts().isEmpty());
}

TEST_F(PrintingTest, AFileThatCannotBeWrittenIsToldAndLeavesNothingUnderItsName)
{
    openConn();
    AssetsWindow w(App::store());
    w.show();
    click(&w, "Command1");
    QDir(folder()).mkdir("同名文件夹.pdf");
    writeFile(folder() + "/old.pdf", "what was there");
    struct Case { QString path; bool diskFills; };
    for (const Case& c : {Case{folder() + "/没有的文件夹/x.pdf", false}, Case{folder() + "/同名文件夹.pdf", false},
                          Case{folder() + "/old.pdf", true}}) {
        script().clearMessages();
        script().queueFileChoice(c.path);
        {
            std::unique_ptr<FileSizeLimit> full(c.diskFills ? new FileSizeLimit(4096) : nullptr);
            click(&w, "cmdPdf");
        }
        ASSERT_EQ(messageTexts().size(), 1) << c.path.toStdString() << " " << fileBytes(c.path).size();
        EXPECT_TRUE(messageTexts()[0].startsWith("无法导出PDF文件 " + c.path)) << messageTexts()[0].toStdString();
        EXPECT_EQ(filesInFolder(), QStringList({"main.mdb", "old.pdf"}));
        EXPECT_TRUE(QFileInfo(folder() + "/同名文件夹.pdf").isDir());
        EXPECT_EQ(fileBytes(folder() + "/old.pdf"), "what was there");
    }
    // Giving up in the file dialog writes nothing and says nothing.
    script().clearMessages();
    click(&w, "cmdPdf");
    EXPECT_TRUE(messageTexts().isEmpty());
    EXPECT_EQ(filesInFolder().size(), 2);
}
