// The grids: sorting by their headers, names in Chinese order wherever the program orders them, and
// taking rows out for spreadsheets (导出… writes CSV files, Ctrl+C copies the selected rows).
#include "money.h"
#include "recordset.h"
#include "datagrid.h"
#include "gridexport.h"
#include "sqltext.h"
#include "statement.h"
#include "support/faultydisk.h"
#include "support/testsupport.h"
#include "session.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <memory>
#include <optional>
#include <sqlite3.h>

namespace {

// A window as the menu creates it, and its grid used with the mouse.
std::unique_ptr<QDialog> openWindow(const char* name)
{
    std::unique_ptr<QDialog> w(App::createWindow(QLatin1String(name), App::store(), nullptr));
    w->show();
    return w;
}

DataGrid* gridOf(QDialog* w)
{
    return w->findChild<DataGrid*>();
}

void clickHeader(DataGrid* g, int column)
{
    QHeaderView* h = g->horizontalHeader();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                      QPoint(h->sectionViewportPosition(column) + h->sectionSize(column) / 2, h->height() / 2));
}

// One column of the grid as shown, top to bottom.
QStringList columnOf(DataGrid* g, int c)
{
    QStringList out;
    for (const QString& r : gridRows(g))
        out << r.section(u'|', c, c);
    return out;
}

// As a Chinese reader orders them: numbers by value, then names by their pinyin (an, bai, chen,
// deng, li, liu, wang, wu, zhang, zhao, zhou), latin names after the Chinese ones, case aside.
const QStringList kPinyin = {"2号", "10号", "安娜", "白雪", "陈晨", "邓超", "李四", "刘洋",
                             "王五", "吴六", "张三", "赵六", "周七", "Amy", "bob"};

using GridOrderTest = DbTest;

// A CSV reader written from RFC 4180: fields separated by commas, records ended by CRLF; a field in
// double quotes may hold commas, line breaks and doubled quotes. Anything else fails the test.
QList<QStringList> readCsv(const QByteArray& bytes)
{
    QList<QStringList> records{{}};
    QByteArray field;
    bool quoted = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (quoted && c == '"' && bytes.mid(i, 2) == "\"\"")
            field += bytes[++i];
        else if (quoted && c == '"')
            quoted = false;
        else if (quoted || (c != '"' && c != ',' && c != '\r' && c != '\n'))
            field += c;
        else if (c == '"' && field.isEmpty())
            quoted = true;
        else if (c == ',' || (c == '\r' && bytes.mid(i, 2) == "\r\n")) {
            records.last() << QString::fromUtf8(field);
            field.clear();
            if (c == '\r') {
                records << QStringList();
                ++i;
            }
        } else
            ADD_FAILURE() << "stray character at byte " << i;
    }
    EXPECT_TRUE(field.isEmpty() && !quoted && records.last().isEmpty()) << "the last record has no CRLF";
    records.removeLast();
    return records;
}

// Amounts that arrive two rows at a time, as a model gives rows that are asked for.
class ArrivingAmounts : public QAbstractTableModel {
public:
    explicit ArrivingAmounts(QList<int> yuan) : yuan_(std::move(yuan)) {}
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : arrived_; }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 1; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        return role == Qt::DisplayRole ? QVariant(yuan_.value(index.row())) : QVariant();
    }
    QVariant headerData(int, Qt::Orientation, int role) const override { return role == Qt::DisplayRole ? QVariant("金额") : QVariant(); }
    bool canFetchMore(const QModelIndex& parent) const override { return !parent.isValid() && arrived_ < yuan_.size(); }
    void fetchMore(const QModelIndex& parent) override
    {
        const int more = std::min<int>(2, int(yuan_.size()) - arrived_);
        if (parent.isValid() || more <= 0)
            return;
        beginInsertRows({}, arrived_, arrived_ + more - 1);
        arrived_ += more;
        endInsertRows();
    }

private:
    QList<int> yuan_;
    int arrived_ = 0;
};

class ExportTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        App::setToday(QDate(2026, 12, 5));
        // Notes that a CSV must quote (a bare carriage return too), and notes a spreadsheet would run
        // as formulas.
        sql("insert into 成员 (ID, 姓名, 关系, 密码) values('1','张三','父亲','pw1'), ('2','李四','母亲','pw2');"
            "insert into 收入类型 (ID, 类型, 备注) values('5','工资','');"
            "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','5',100,'2026-01-01','逗号,在这里',1), ('2','5',1234.5,'2026-02-01','引号\"在这里',2),"
            " ('1','5',0.1,'2026-03-01','换行' || char(13, 10) || '在这里',3), ('2','5',3,'2026-04-01','=1+1',4),"
            " ('1','5',7.125,'2026-05-01','-5 退款',5), ('2','5',20,'2026-06-01','@SUM(A1)' || char(13) || '回车',6), ('1','5',null,'2026-07-01','+86',7);");
        openConn();
    }
    // Exports through 导出… to `file`; the bytes written.
    QByteArray exportTo(QDialog* w, const QString& file)
    {
        script().queueFileChoice(file);
        click(w, "cmdexport");
        return fileBytes(file);
    }
};

}  // namespace

// The statements, the whole-ledger listing and the header of a list put names in the same Chinese
// order, and the file needs nothing of the program to be read and ordered by another SQLite tool.
TEST_F(GridOrderTest, NamesComeInPinyinOrderEverywhereAndTheFileNeedsNoCollation)
{
    QString members, records;
    for (int i = 0; i < kPinyin.size(); ++i) {
        const int at = (i * 7) % kPinyin.size();  // entered out of order
        members += QStringLiteral("%1('m%2','%3','','')").arg(i ? "," : "").arg(at).arg(kPinyin[at]);
        records += QStringLiteral("%1('m%2','5',%3,'2026-01-01','',1)").arg(i ? "," : "").arg(at).arg(at + 1);
    }
    sql("insert into 成员 (ID, 姓名, 关系, 密码) values" + members + "; insert into 收入类型 (ID, 类型, 备注) values('5','工资','');"
        "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values" + records + ";");
    openConn();

    EXPECT_EQ(columnTexts(App::conn, "select 姓名 from 成员 order by " + inChineseOrder("姓名")), kPinyin);

    EXPECT_EQ(columnOf(gridOf(openWindow("frmquery_sr").get()), 0), kPinyin);

    auto users = openWindow("frmuser");
    DataGrid* g = gridOf(users.get());
    clickHeader(g, 1);
    EXPECT_EQ(columnOf(g, 1), kPinyin);
    clickHeader(g, 1);
    EXPECT_EQ(columnOf(g, 1), QStringList(kPinyin.rbegin(), kPinyin.rend()));
    EXPECT_EQ(g->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);

    sqlite3* plain = nullptr;
    ASSERT_EQ(sqlite3_open_v2(dbPath().toUtf8().constData(), &plain, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(plain, "select 姓名 from 成员 order by 姓名; select * from 查询", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(plain);
    EXPECT_EQ(scalar("select count(*) from sqlite_master where sql like '%PINYIN%'"), "0");
}

// Amounts sort as numbers, dates as dates, empty cells first; the record the user chose stays chosen
// and current; a new query shows its own order again.
TEST_F(GridOrderTest, AQueryGridSortsNumbersAndDatesAndKeepsTheChosenRecord)
{
    sql("insert into 成员 (ID, 姓名, 关系, 密码) values('1','张三','','');"
        "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','5',100,'2026-03-01','a',3), ('1','5',9,'2025-12-31','b',12),"
        " ('1','5',25.5,'2026-01-10','c',1), ('1','5',null,'2026-02-02','d',2), ('1','5',1000.25,'2024-05-05','e',5);");
    openConn();
    auto w = openWindow("frmquery_sr");
    DataGrid* g = gridOf(w.get());
    clickHeader(g, 2);
    EXPECT_EQ(columnOf(g, 2), (QStringList{"", "9", "25.5", "100", "1000.25"}));
    clickHeader(g, 2);
    EXPECT_EQ(columnOf(g, 2), (QStringList{"1000.25", "100", "25.5", "9", ""}));

    clickRow(g, 2);  // 25.5
    clickHeader(g, 3);
    EXPECT_EQ(columnOf(g, 3), (QStringList{"2024-05-05", "2025-12-31", "2026-01-10", "2026-02-02", "2026-03-01"}));
    EXPECT_EQ(g->selectionModel()->selectedRows(), QModelIndexList{g->model()->index(2, 0)});
    EXPECT_EQ(g->recordset()->text("备注"), "c");
    EXPECT_EQ(g->horizontalHeader()->sortIndicatorSection(), 3);

    click(w.get(), "CmdqueryNow");
    EXPECT_EQ(columnOf(g, 4), (QStringList{"a", "b", "c", "d", "e"}));
    EXPECT_EQ(g->horizontalHeader()->sortIndicatorSection(), -1);
}

// A click on a header while the rows still arrive reads them all first: the sort covers every row,
// and the total is shown.
TEST_F(GridOrderTest, SortingWhileRowsStillArriveSortsThemAll)
{
    sql("insert into 成员 (ID, 姓名, 关系, 密码) values('1','张三','','');"
        "with recursive n(i) as (select 1 union all select i+1 from n where i < 3000) "
        "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) select '1', '5', (i * 37) % 1000 + 0.5, '2026-01-01', '', 1 from n;");
    openConn();
    auto w = openWindow("frmquery_sr");
    Recordset* rs = gridOf(w.get())->recordset();
    ASSERT_TRUE(rs->isLoading());
    clickHeader(gridOf(w.get()), 2);
    EXPECT_FALSE(rs->isLoading());
    const QStringList amounts = columnOf(gridOf(w.get()), 2);
    ASSERT_EQ(amounts.size(), 3000);
    EXPECT_TRUE(std::is_sorted(amounts.begin(), amounts.end(),
                               [](const QString& a, const QString& b) { return a.toDouble() < b.toDouble(); }));
    EXPECT_EQ(child<QLabel>(w.get(), "lblJE")->text(), "金额总计：1,500,000.00元");
}

// In a sorted list the user deletes the record selected and sees a new one at the end until the next
// sort; the table holds exactly what the grid shows.
TEST_F(GridOrderTest, EditingASortedListActsOnTheRecordsTheUserSees)
{
    sql("insert into 收入类型 (ID, 类型, 备注) values('1','工资',''), ('2','奖金',''), ('3','利息','');");
    openConn();
    auto w = openWindow("frmsrlx");
    DataGrid* g = gridOf(w.get());
    clickHeader(g, 1);
    clickHeader(g, 1);
    EXPECT_EQ(columnOf(g, 1), (QStringList{"利息", "奖金", "工资"}));

    clickRow(g, 1);  // 奖金
    script().queueAnswer(App::MsgAnswer::Ok);
    click(w.get(), "cmddel");
    EXPECT_EQ(rows("select ID from 收入类型 order by ID"), (QStringList{"1", "3"}));
    EXPECT_EQ(gridRows(g), (QStringList{"3|利息|", "1|工资|"}));

    click(w.get(), "cmdaddnew");
    typeInto(child<QLineEdit>(w.get(), "txtFields_0"), "4");
    typeInto(child<QLineEdit>(w.get(), "txtFields_1"), "补贴");
    click(w.get(), "cmdupdate");
    EXPECT_EQ(gridRows(g), (QStringList{"3|利息|", "1|工资|", "4|补贴|"}));
    EXPECT_EQ(g->selectionModel()->selectedRows(), QModelIndexList{g->model()->index(2, 0)});
    clickHeader(g, 1);
    EXPECT_EQ(columnOf(g, 1), (QStringList{"补贴", "工资", "利息"}));
    EXPECT_EQ(rows("select ID, 类型 from 收入类型 order by ID"), (QStringList{"1|工资", "3|利息", "4|补贴"}));
}

// The file holds every row as the grid shows it, in its sorted order, with the BOM, quoting and
// formula guard, and its amounts add up to the window's total.
TEST_F(ExportTest, AnExportedQueryReadsBackAsTheGridShowsItAndAddsUpToItsTotal)
{
    auto w = openWindow("frmquery_sr");
    clickHeader(gridOf(w.get()), 2);
    clickHeader(gridOf(w.get()), 2);  // by amount, largest first
    const QString file = folder() + "/收入.csv";
    const QByteArray bytes = exportTo(w.get(), file);
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QList<QStringList> csv = readCsv(bytes.mid(3));
    const QStringList shown = gridRows(gridOf(w.get()));
    ASSERT_EQ(csv.size(), shown.size() + 1);
    EXPECT_EQ(csv[0], (QStringList{"姓名", "类型", "金额", "日期", "备注"}));
    MoneyTotal sum;
    for (qsizetype r = 0; r < shown.size(); ++r) {
        // The grid's cells, amounts with two decimals, a text that starts like a formula after an apostrophe.
        QStringList cells = shown[r].split(u'|');
        if (const auto amount = Money::parse(cells[2]))
            cells[2] = amount->toGrouped().remove(u',');
        if (QRegularExpression("^[=+\\-@]").match(cells[4]).hasMatch())
            cells[4].prepend(u'\'');
        EXPECT_EQ(csv[r + 1], cells) << r;
        if (const auto written = Money::parse(csv[r + 1].value(2)))
            sum += *written;
    }
    EXPECT_EQ(csv[1][2], "1234.50");
    EXPECT_EQ(child<QLabel>(w.get(), "lblJE")->text(), "金额总计：" + sum.toGrouped() + "元");
    EXPECT_EQ(messageTexts(), QStringList{"已把 7 条记录导出到 " + QDir::toNativeSeparators(file) + "。"});

    // The dialog offers CSV files; it opens first in the documents folder, then where the last
    // export went.
    const ScriptedAnswers::FileDialogShown first = script().fileDialogs().last();
    EXPECT_EQ(first.filter, "CSV 文件 (*.csv);;所有文件 (*)");
    EXPECT_EQ(QFileInfo(first.proposed).absolutePath(),
              QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).absolutePath());
    exportTo(w.get(), file);
    EXPECT_EQ(script().fileDialogs().last().proposed, QFileInfo(file).absolutePath() + "/" + QFileInfo(first.proposed).fileName());
}

// Each window writes the columns its grid shows: never the concealed passwords or the hidden month.
TEST_F(ExportTest, EachWindowWritesTheColumnsItsGridShows)
{
    sql("insert into 收入临时 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','5',12.5,'2026-12-01','早餐',12);");
    struct Case { const char* window; QStringList headers; QString firstRow; };
    const Case cases[] = {
        {"frmuser", {"ID", "姓名", "关系"}, "1,张三,父亲"},
        {"frmsrlx", {"ID", "类型", "备注"}, "5,工资,"},
        {"frmsrzhang", {"成员ID", "类型ID", "金额", "日期", "备注"}, "1,5,12.50,2026-12-01,早餐"},
        {"frmYear", {"月份", "收入总额", "支出总额", "投资总额"}, "1,100.00,0.00,0.00"},
    };
    for (const Case& c : cases) {
        auto w = openWindow(c.window);
        if (QLatin1String(c.window) == QLatin1String("frmYear"))
            click(w.get(), "Command1");
        const QList<QStringList> csv = readCsv(exportTo(w.get(), folder() + "/" + c.window + ".csv").mid(3));
        ASSERT_GE(csv.size(), 2) << c.window;
        EXPECT_EQ(csv[0], c.headers) << c.window;
        EXPECT_EQ(csv[1].join(u','), c.firstRow) << c.window;
        EXPECT_EQ(csv.size() - 1, gridOf(w.get())->model()->rowCount()) << c.window;
    }
}

// A folder that does not exist, a disk that fills up, or the database file itself: a message says
// why, and no file is left half written (an earlier file keeps its bytes).
TEST_F(ExportTest, AFailedExportSaysWhyAndLeavesNoHalfFile)
{
    sql("with recursive n(i) as (select 1 union all select i+1 from n where i < 500) "
        "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) select '1', '5', i, '2026-01-01', '很长的备注文字很长的备注文字', 1 from n;");
    auto w = openWindow("frmquery_sr");
    const QString missing = folder() + "/没有的文件夹/收入.csv";
    exportTo(w.get(), missing);
    EXPECT_FALSE(QFile::exists(missing));

    const QString earlier = folder() + "/earlier.csv";
    writeFile(earlier, "earlier");
    const QStringList before = QDir(folder()).entryList(QDir::Files);
    {
        FileSizeLimit full(4096);  // the disk is full after 4 KiB
        exportTo(w.get(), earlier);
    }
    EXPECT_EQ(fileBytes(earlier), "earlier");
    EXPECT_EQ(QDir(folder()).entryList(QDir::Files), before);

    const QByteArray database = fileBytes(dbPath());
    exportTo(w.get(), dbPath());
    EXPECT_EQ(fileBytes(dbPath()), database);
    script().queueFileChoice(QString());  // the user gives up: nothing happens
    click(w.get(), "cmdexport");

    const QString because = "导出没有完成：%1。没有留下写了一半的文件。\n请换一个位置，或腾出磁盘空间后再试。";
    EXPECT_EQ(messageTexts(), (QStringList{because.arg("文件夹 " + QDir::toNativeSeparators(folder() + "/没有的文件夹") + " 无法写入"),
                                           because.arg("写入时出错（错误代码 " + QString::number(QFileDevice::WriteError) + "）"),
                                           "不能导出到数据库文件 main.mdb 本身，请另选一个文件名。"}));
}

// Ctrl+C puts the selected rows, in the grid's order, tab-separated, on the clipboard, their cells
// written as in the files.
TEST_F(ExportTest, CtrlCCopiesTheSelectedRowsTabSeparated)
{
    auto w = openWindow("frmquery_sr");
    DataGrid* g = gridOf(w.get());
    clickHeader(g, 2);  // by amount: +86 (none), 0.1, 3, 7.125, ...
    clickRow(g, 1);
    clickRow(g, 3, Qt::ShiftModifier);
    QTest::keyClick(g, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              "张三\t工资\t0.10\t2026-03-01\t\"换行\r\n在这里\"\r\n"
              "李四\t工资\t3.00\t2026-04-01\t'=1+1\r\n"
              "张三\t工资\t7.13\t2026-05-01\t'-5 退款\r\n");
}

// A grid over figures worked out in memory (no result behind it) sorts, fits, copies and exports as
// a grid over a result does: amounts by their value, not by the grouped text shown, empty cells
// first, names in Chinese order; the selection stays on its row; a new set of figures shows in its
// own order; 导出… and Ctrl+C write the rows as sorted, amounts with two decimals, texts quoted and
// kept from running as formulas.
TEST_F(GridOrderTest, AGridOverFiguresInMemorySortsFitsCopiesAndExportsAsOverAResult)
{
    QStandardItemModel figures;
    const auto fill = [&figures] {
        figures.clear();
        figures.setHorizontalHeaderLabels({"名称", "金额", "备注"});
        const auto row = [&figures](const QString& name, std::optional<Money> amount, const QString& note) {
            auto* cell = new QStandardItem(amount ? amount->toGrouped() : QString());
            if (amount)
                cell->setData(QVariant::fromValue(*amount), DataGrid::ValueRole);
            figures.appendRow({new QStandardItem(name), cell, new QStandardItem(note)});
        };
        row("张三", Money::fromUnits(20'000'000), "=1+1");  // 2,000.00: before 900.00 as a text
        row("安娜", Money::fromUnits(9'000'000), "逗号,在这里");
        row("李四", std::nullopt, "");
        row("10号", Money::fromUnits(-5'000), "-5 退款");
    };
    fill();
    QDialog w;
    auto* g = new DataGrid(&w);
    g->setItemModel(&figures);
    g->setColumnFormat(1, RecordsetModel::Format::Grouped);
    auto* layout = new QVBoxLayout(&w);
    layout->addWidget(g);
    layout->addWidget(GridExport::exportButton(g, "名单", &w));
    w.show();
    const QStringList entered = gridRows(g);

    g->selectRow(1);  // 安娜
    struct Sort {
        int column;
        QStringList names;
        Qt::SortOrder order;
    };
    for (const Sort& s : {Sort{1, {"李四", "10号", "安娜", "张三"}, Qt::AscendingOrder},
                          Sort{1, {"张三", "安娜", "10号", "李四"}, Qt::DescendingOrder},
                          Sort{0, {"10号", "安娜", "李四", "张三"}, Qt::AscendingOrder}}) {
        clickHeader(g, s.column);
        EXPECT_EQ(columnOf(g, 0), s.names) << s.column;
        EXPECT_EQ(g->horizontalHeader()->sortIndicatorSection(), s.column);
        EXPECT_EQ(g->horizontalHeader()->sortIndicatorOrder(), s.order);
        EXPECT_EQ(g->currentIndex().siblingAtColumn(0).data().toString(), "安娜");
    }
    EXPECT_EQ(gridRows(g).value(0), "10号|-0.50|-5 退款");

    // 导出…: every row in the order shown, amounts as numbers.
    const QString file = folder() + "/名单.csv";
    script().queueFileChoice(file);
    click(&w, "cmdexport");
    EXPECT_EQ(lastMessage(), QStringLiteral("已把 4 条记录导出到 %1。").arg(QDir::toNativeSeparators(file)));
    const QByteArray bytes = fileBytes(file);
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(readCsv(bytes.mid(3)), QList<QStringList>({{"名称", "金额", "备注"}, {"10号", "-0.50", "'-5 退款"},
                                                         {"安娜", "900.00", "逗号,在这里"}, {"李四", "", ""},
                                                         {"张三", "2000.00", "'=1+1"}}));

    // Ctrl+C: the selected rows as shown, tab-separated.
    g->selectRow(0);
    g->selectionModel()->select(g->model()->index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keySequence(g, QKeySequence::Copy);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "10号\t-0.50\t'-5 退款\r\n张三\t2000.00\t'=1+1\r\n");

    // A name that arrives later widens its column; new figures show in their own order.
    const QString longName = QString(40, QChar(u'长'));
    figures.appendRow({new QStandardItem(longName), new QStandardItem(), new QStandardItem()});
    EXPECT_GE(g->columnWidth(0), g->fontMetrics().horizontalAdvance(longName));
    fill();
    EXPECT_EQ(gridRows(g), entered);
    EXPECT_EQ(g->horizontalHeader()->sortIndicatorSection(), -1);
}

// A model that gives its rows as they are asked for is read to its end before a sort (the sort
// covers every row) and before 导出… (the file holds every row), as a result still loading is.
TEST_F(GridOrderTest, AGridOverRowsStillArrivingSortsAndExportsThemAll)
{
    struct Case {
        const char* what;
        bool sortFirst;
        QList<QStringList> file;
    };
    for (const Case& c : {Case{"exported", false, {{"金额"}, {"5"}, {"3"}, {"9"}, {"1"}, {"7"}}},
                          Case{"sorted, exported", true, {{"金额"}, {"1"}, {"3"}, {"5"}, {"7"}, {"9"}}}}) {
        ArrivingAmounts amounts({5, 3, 9, 1, 7});
        amounts.fetchMore({});
        QDialog w;
        auto* g = new DataGrid(&w);
        g->setItemModel(&amounts);
        auto* layout = new QVBoxLayout(&w);
        layout->addWidget(g);
        layout->addWidget(GridExport::exportButton(g, "金额", &w));
        w.show();
        if (c.sortFirst) {
            clickHeader(g, 0);
            EXPECT_EQ(columnOf(g, 0), QStringList({"1", "3", "5", "7", "9"})) << c.what;
        }
        const QString file = folder() + "/金额.csv";
        script().queueFileChoice(file);
        click(&w, "cmdexport");
        EXPECT_EQ(readCsv(fileBytes(file).mid(3)), c.file) << c.what;
    }
}
