// Correcting and deleting posted records from the query grids, taking that back, and the recycle bin,
// driven as a person does; the file is checked after each step.
#include "assets.h"
#include "ledgerquery.h"
#include "yearsummary.h"
#include "datagrid.h"
#include "mainwindow.h"
#include "undo.h"
#include "ledgerrows.h"
#include "support/testsupport.h"
#include "session.h"

#include <QAction>
#include <QAbstractItemModelTester>
#include <QRegularExpression>
#include <QUndoStack>
#include <memory>
#include <sqlite3.h>

namespace {

const char* const kLedgers[] = {"收入帐", "支出帐", "银行帐"};

class CorrectionsTest : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        App::setToday(QDate(2026, 7, 25));
        // Income of a member since deleted (9), two identical expenses, a note that is null.
        sql("insert into 成员 (ID, 姓名, 关系, 密码) values('1','张三','',''), ('2','李四','','');"
            "insert into 收入类型 (ID, 类型, 备注) values('5','工资',null), ('6','奖金',null); insert into 支出类型 (ID, 类型, 备注) values('8','伙食',null);"
            "insert into 银行 (ID, 开户行, 帐号) values('b1','工行',''), ('b2','建行','');"
            "insert into 收入帐(rowid,成员ID,类型ID,金额,日期,备注,月份) values(1,'1','5',100,'2026-01-05','元旦',1),"
            " (2,'2','6',50.25,'2026-03-01','',3), (3,'9','5',7,'2026-04-02',null,4);"
            "insert into 支出帐(rowid,成员ID,类型ID,金额,日期,备注,月份) values(1,'1','8',12.5,'2026-02-02','菜',2),"
            " (2,'1','8',12.5,'2026-02-02','菜',2), (3,'2','8',99,'2026-05-05','药',5);"
            "insert into 银行帐(rowid,银行ID,成员ID,存或取,类型,金额,日期) values(1,'b1','1','存入','活期',300,'2026-02-01'),"
            " (2,'b2','2','支出','定期',40,'2026-03-01');");
        openConn();
    }

    static std::unique_ptr<LedgerQuery> open(int kind)
    {
        auto w = std::make_unique<LedgerQuery>(App::store(), kQueryKinds[kind]);
        w->show();
        w->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w.get()));
        return w;
    }
    static DataGrid* grid(QWidget* w) { return child<DataGrid>(w, "DG"); }
    static QString total(QWidget* w) { return child<QLabel>(w, "lblJE")->text(); }
    // Selects the grid row that shows `text` and returns it.
    static int select(QWidget* w, const QString& text)
    {
        const int row = gridRows(grid(w)).indexOf(QRegularExpression(".*" + QRegularExpression::escape(text) + ".*"));
        EXPECT_GE(row, 0) << text.toStdString();
        grid(w)->selectRow(row);
        return row;
    }
    QStringList ledger(const QString& table)
    {
        return rows("select rowid, " + LedgerRows::fields(table).join(", ") + " from " + table + " order by rowid");
    }

    // Opens the correction form with a gesture ("enter", "double" or the button), lets `fill` change
    // it and presses 保存. Returns where the focus went when the form stayed open (it is then closed),
    // empty when the save closed it.
    static QString correct(QWidget* w, const QString& gesture, std::function<void(QDialog*)> fill)
    {
        bool shown = false;
        QString stayedOn;
        whenModal([&](QDialog* d) {
            shown = true;
            EXPECT_EQ(d->objectName(), "frmCorrect");
            fill(d);
            click(d, "cmdsave");
            if (d->isVisible()) {
                stayedOn = d->focusWidget() ? d->focusWidget()->objectName() : QString("?");
                d->reject();
            }
        });
        DataGrid* g = grid(w);
        if (gesture == "enter") {
            g->setFocus();
            QTest::keyClick(g, Qt::Key_Return);
        } else if (gesture == "double") {
            const QPoint cell = g->visualRect(g->currentIndex()).center();
            QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cell);  // the press a double-click starts with
            QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, cell);
        } else {
            click(w, "cmdedit");
        }
        EXPECT_TRUE(shown);
        return stayedOn;
    }
    static void retype(QDialog* d, const char* box, const QString& text)
    {
        auto* e = child<QLineEdit>(d, box);
        e->clear();
        typeInto(e, text);
    }
    static void undoWithKeys(QWidget* w)
    {
        w->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w));
        QTest::keyClick(w, Qt::Key_Z, Qt::ControlModifier);
    }
    // Deletes the current row with the Delete key, answering the question with `answer`.
    static void deleteRow(QWidget* w, App::MsgAnswer answer = App::MsgAnswer::Ok)
    {
        script().queueAnswer(answer);
        grid(w)->setFocus();
        QTest::keyClick(grid(w), Qt::Key_Delete);
    }
};

}  // namespace

TEST_F(CorrectionsTest, CorrectThenUndoOnEachLedgerRowTotalAndFileFollow)
{
    struct Case {
        int kind;
        const char* row;      // what the chosen grid row shows
        const char* gesture;
        std::function<void(QDialog*)> fill;
        int rowid;
        QString fileRow, gridRow, totalBefore, totalAfter;
    };
    const Case cases[] = {
        // What the form is not asked to change stays as stored: the code of a member since deleted, a
        // note that is null.
        {0, "|7|", "enter",
         [](QDialog* d) {
             EXPECT_EQ(child<QLabel>(d, "lblcyID")->text() + child<QLabel>(d, "lblcy")->text(), "9");
             retype(d, "txtJe", "7.5");
         },
         3, "3|9|5|7.5|2026-04-02|NULL|4", "|工资|7.5|2026-04-02|", "157.25", "157.75"},
        {1, "药", "double",
         [](QDialog* d) {
             pickId(d, "cmdfindt", "1");
             retype(d, "txtJe", "123456789.5");  // wider than the column was
             child<QDateEdit>(d, "dpDate")->setDate(QDate(2026, 6, 30));
             retype(d, "txtMemo", "药品");
         },
         3, "3|1|8|123456789.5|2026-06-30|药品|6", "张三|伙食|123456789.5|2026-06-30|药品", "124.00", "123,456,814.50"},
        {2, "建行", "button",
         [](QDialog* d) {
             pickId(d, "cmdfindo", "b1");
             child<QComboBox>(d, "cbocq")->setCurrentIndex(0);
             retype(d, "txtJE", "45.5");
             child<QDateEdit>(d, "dpdate")->setDate(QDate(2026, 3, 2));
         },
         2, "2|b1|2|存入|定期|45.5|2026-03-02", "李四|工行|45.5|2026-03-02|存入|定期", "查询结果：", "查询结果："},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(kLedgers[c.kind]);
        auto w = open(c.kind);
        const QStringList fileBefore = ledger(kLedgers[c.kind]);
        const QStringList gridBefore = gridRows(grid(w.get()));
        const QString totalBefore = total(w.get());
        EXPECT_TRUE(totalBefore.contains(c.totalBefore));
        const int row = select(w.get(), c.row);

        correct(w.get(), c.gesture, c.fill);
        QStringList expected = fileBefore;
        expected[c.rowid - 1] = c.fileRow;
        EXPECT_EQ(ledger(kLedgers[c.kind]), expected);
        QStringList gridAfter = gridBefore;
        gridAfter[row] = c.gridRow;
        EXPECT_EQ(gridRows(grid(w.get())), gridAfter);
        EXPECT_EQ(grid(w.get())->currentIndex().row(), row);
        EXPECT_TRUE(total(w.get()).contains(c.totalAfter)) << total(w.get()).toStdString();
        EXPECT_EQ(narrowColumns(grid(w.get())), QStringList());  // the corrected cells are not cut off

        undoWithKeys(w.get());
        EXPECT_EQ(ledger(kLedgers[c.kind]), fileBefore);
        EXPECT_EQ(gridRows(grid(w.get())), gridBefore);
        EXPECT_EQ(total(w.get()), totalBefore);
        EXPECT_FALSE(Undo::stack()->canUndo());
    }
    EXPECT_TRUE(messageTexts().isEmpty()) << messageTexts().join('\n').toStdString();
}

// The record is found by its own row: of two identical records the chosen one changes.
TEST_F(CorrectionsTest, OfTwoIdenticalRecordsOnlyTheChosenOneChanges)
{
    sql("insert into 预算 values ('', '8', '2026-02', 25)");  // the correction takes February over by 0.50
    auto w = open(1);
    const QStringList before = ledger("支出帐");
    select(w.get(), "|12.5|");  // the first listed of the two
    correct(w.get(), "button", [](QDialog* d) { retype(d, "txtJe", "13"); });
    EXPECT_EQ(messageTexts(), QStringList({"以下支出超出了预算：\n2026-02 全家 伙食：超出 0.50 元"}));
    const QStringList after = ledger("支出帐");
    EXPECT_EQ(after.mid(2), before.mid(2));
    EXPECT_EQ(QStringList({after[0], after[1]}).filter("|13|").size(), 1);
    EXPECT_EQ(QStringList({after[0], after[1]}).filter("|12.5|").size(), 1);
    EXPECT_EQ(gridRows(grid(w.get())).filter("|13|").size(), 1);
    EXPECT_EQ(total(w.get()), "金额总计：124.50元");
}

TEST_F(CorrectionsTest, DeleteUndoDeleteRestoreFromTheBinAndEmptyIt)
{
    MainWindow main;  // a new session: its 编辑 menu takes back what the query windows did
    auto w = open(0);
    const QStringList fileBefore = ledger("收入帐");
    const QStringList gridBefore = gridRows(grid(w.get()));
    const int row = select(w.get(), "元旦");

    deleteRow(w.get(), App::MsgAnswer::Cancel);  // cancelled
    EXPECT_EQ(ledger("收入帐"), fileBefore);
    deleteRow(w.get());
    const auto asked = script().messages().back();
    EXPECT_EQ(asked.text + asked.title, "真的要删除此记录吗kinbook");
    EXPECT_EQ(asked.style, App::MsgStyle::Question);
    EXPECT_EQ(ledger("收入帐"), fileBefore.mid(1));
    EXPECT_EQ(rows("select 帐本, 行号, 成员ID, 类型ID, 金额, 日期, 备注, 月份, 银行ID from 回收站"),
              QStringList({"收入帐|1|1|5|100|2026-01-05|元旦|1|NULL"}));
    QStringList gridAfter = gridBefore;
    gridAfter.removeAt(row);
    EXPECT_EQ(gridRows(grid(w.get())), gridAfter);
    EXPECT_EQ(total(w.get()), "金额总计：57.25元");

    click(w.get(), "cmdundo");
    EXPECT_EQ(ledger("收入帐"), fileBefore);  // the same rowid and values
    EXPECT_EQ(scalar("select count(*) from 回收站"), "0");
    EXPECT_EQ(gridRows(grid(w.get())), gridBefore);
    EXPECT_EQ(grid(w.get())->currentIndex().row(), row);
    EXPECT_EQ(total(w.get()), "金额总计：157.25元");

    // Deleted again, then put back from the recycle bin window.
    deleteRow(w.get());
    w.reset();
    std::unique_ptr<QDialog> bin(App::createWindow("frmRecycle", App::store(), nullptr));
    bin->show();
    const QStringList listed = gridRows(grid(bin.get()));
    ASSERT_EQ(listed.size(), 1);
    EXPECT_TRUE(listed[0].endsWith("|收入帐|张三|工资|100.00|2026-01-05|元旦||")) << listed[0].toStdString();
    click(bin.get(), "cmdrestore");
    EXPECT_EQ(ledger("收入帐"), fileBefore);
    EXPECT_TRUE(gridRows(grid(bin.get())).isEmpty());
    bin.reset();

    // The deletion taken back from the main window finds nothing in the bin: it says so and is passed.
    main.findChild<QAction*>("mnuundo")->trigger();
    EXPECT_TRUE(messageTexts().last().contains("不在回收站"));
    EXPECT_EQ(ledger("收入帐"), fileBefore);

    // Deleted once more, and the bin emptied after its question: gone for good.
    w = open(0);
    select(w.get(), "元旦");
    deleteRow(w.get());
    w.reset();
    bin.reset(App::createWindow("frmRecycle", App::store(), nullptr));
    bin->show();
    script().queueAnswer(App::MsgAnswer::Ok);
    click(bin.get(), "cmdempty");
    EXPECT_EQ(script().messages().back().style, App::MsgStyle::Question);
    EXPECT_EQ(scalar("select count(*) from 回收站"), "0");
    EXPECT_EQ(ledger("收入帐"), fileBefore.mid(1));
    EXPECT_FALSE(child<QWidget>(bin.get(), "cmdempty")->isEnabled());
}

// In a grid sorted by a header, a deleted record taken back comes back into the list (after the sorted
// rows, as a new record does), and every other row still stands for its own record.
TEST_F(CorrectionsTest, ARecordTakenBackIntoASortedListIsShownOnce)
{
    sql("insert into 收入帐(rowid,成员ID,类型ID,金额,日期,备注,月份) values(4,'1','6',30,'2026-06-01','四',6);");
    auto w = open(0);
    QAbstractItemModelTester tester(grid(w.get())->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    grid(w.get())->sortByHeader(2);  // by amount: 7, 30, 50.25, 100
    const QStringList sorted = gridRows(grid(w.get()));
    ASSERT_EQ(sorted.size(), 4);
    select(w.get(), "元旦");
    deleteRow(w.get());
    ASSERT_EQ(gridRows(grid(w.get())), sorted.mid(0, 3));
    // 50.25 now: the row after the one taken out in the file's order, before 30 in the recordset.
    select(w.get(), "|50.25|");
    click(w.get(), "cmdundo");
    QStringList back = sorted.mid(0, 3);
    back << sorted[3];
    EXPECT_EQ(gridRows(grid(w.get())), back);
    EXPECT_EQ(ledger("收入帐").size(), 4);
    // Each row still opens its own record.
    select(w.get(), "|30|");
    correct(w.get(), "button", [](QDialog* d) { retype(d, "txtJe", "31"); });
    EXPECT_EQ(scalar("select 金额 from 收入帐 where rowid = 4"), "31");
    EXPECT_EQ(gridRows(grid(w.get())).filter("|31|").size(), 1);
}

// The statistics, the year summary and the query totals read the ledgers only: records moved to
// the bin count nowhere, exactly as if they had never been entered.
TEST_F(CorrectionsTest, RecordsInTheBinCountInNoTotal)
{
    const QString year = QString::number(QDate::currentDate().year());  // the year summary's own year
    const auto figures = [&] {
        QStringList out;
        AssetsWindow assets(App::store());
        assets.show();
        click(&assets, "Command1");
        for (QLabel* l : assets.findChildren<QLabel*>())
            if (l->objectName().startsWith("lbl"))
                out << l->objectName() + "=" + l->text();
        App::setToday(QDate(QDate::currentDate().year(), 12, 1));
        YearSummary summary(App::store());
        summary.show();
        click(&summary, "Command1");
        out << gridRows(child<QTableView>(&summary, "dg"));
        App::setToday(QDate(2026, 7, 25));
        for (int kind : {0, 1}) {
            LedgerQuery q(App::store(), kQueryKinds[kind]);
            out << total(&q);
        }
        return out;
    };
    const QStringList base = figures();
    sql("insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('1','5',1000,'" + year + "-02-03','多余',2);"
        "insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values('2','8',300,'" + year + "-02-04','多余',2);"
        "insert into 银行帐 (银行ID, 成员ID, 存或取, 类型, 金额, 日期) values('b1','2','存入','活期',700,'" + year + "-02-05'), ('b1','2','支出','活期',70,'" + year + "-02-06');");
    ASSERT_NE(figures(), base);
    for (int kind : {0, 1, 2}) {
        auto w = open(kind);
        for (const char* shown : {"多余", "|700|", "|70|"}) {
            const int row = gridRows(grid(w.get())).indexOf(QRegularExpression(".*" + QRegularExpression::escape(shown) + ".*"));
            if (row < 0)
                continue;
            grid(w.get())->selectRow(row);
            deleteRow(w.get());
        }
    }
    EXPECT_EQ(scalar("select count(*) from 回收站"), "4");
    EXPECT_EQ(figures(), base);
}

TEST_F(CorrectionsTest, RefusedCorrectionsAndFailedWritesLeaveFileGridAndUndoAsTheyWere)
{
    sql("insert into 收入帐(rowid,成员ID,类型ID,金额,日期,备注,月份) values(4,'1',null,5,'2026-05-01','无类型',5);");
    auto w = open(0);
    const QStringList fileBefore = ledger("收入帐");
    const QStringList gridBefore = gridRows(grid(w.get()));
    const QString totalBefore = total(w.get());
    const QByteArray bytes = fileBytes(dbPath());

    // What the checks refuse: nothing written, the reason said, the form still open on the fault.
    struct Refusal { const char* row; const char* amount; const char* message; const char* focus; };
    for (const Refusal& r : {Refusal{"元旦", "", "收入金额不能为空", "txtJe"}, Refusal{"元旦", "1.2.3", "必须是一个数字", "txtJe"},
                             Refusal{"元旦", "100000000000", "不能超过", "txtJe"}, Refusal{"无类型", "6", "收入类型不能为空", "cmdfindo"}}) {
        select(w.get(), r.row);
        EXPECT_EQ(correct(w.get(), "button", [&](QDialog* d) { retype(d, "txtJe", r.amount); }), r.focus) << r.message;
        EXPECT_TRUE(messageTexts().last().contains(r.message)) << messageTexts().last().toStdString();
    }
    EXPECT_EQ(fileBytes(dbPath()), bytes);

    // A file that refuses writes: the correction and the deletion are told and nothing changes.
    select(w.get(), "元旦");
    App::conn.execute("PRAGMA query_only = ON");
    EXPECT_FALSE(correct(w.get(), "button", [](QDialog* d) { retype(d, "txtJe", "1"); }).isEmpty());  // still open
    EXPECT_TRUE(messageTexts().last().contains("没有修改"));
    deleteRow(w.get());
    EXPECT_TRUE(messageTexts().last().contains("没有删除"));
    App::conn.execute("PRAGMA query_only = OFF");
    EXPECT_EQ(fileBytes(dbPath()), bytes);
    EXPECT_EQ(gridRows(grid(w.get())), gridBefore);
    EXPECT_EQ(total(w.get()), totalBefore);
    EXPECT_FALSE(Undo::stack()->canUndo());

    // An undo refused by a locked file keeps its step, and is done once the file is free.
    correct(w.get(), "button", [](QDialog* d) { retype(d, "txtJe", "1"); });
    const QStringList corrected = ledger("收入帐");
    sqlite3* lock = nullptr;  // another connection holding the file locked for writing
    sqlite3_open(dbPath().toUtf8().constData(), &lock);
    ASSERT_EQ(sqlite3_exec(lock, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    undoWithKeys(w.get());
    EXPECT_TRUE(messageTexts().last().contains("撤销没有完成"));
    sqlite3_close(lock);
    EXPECT_EQ(ledger("收入帐"), corrected);
    EXPECT_TRUE(Undo::stack()->canUndo());
    undoWithKeys(w.get());
    EXPECT_EQ(ledger("收入帐"), fileBefore);
    EXPECT_EQ(gridRows(grid(w.get())), gridBefore);
    EXPECT_EQ(total(w.get()), totalBefore);

    // A record changed elsewhere since it was read is never overwritten: not by a correction whose
    // form was opened before the change, nor by taking back a correction made before it.
    select(w.get(), "元旦");
    EXPECT_FALSE(correct(w.get(), "button", [this](QDialog* d) {
        sql("update 收入帐 set 备注 = '别处改的' where rowid = 1;");
        retype(d, "txtJe", "2");
    }).isEmpty());
    EXPECT_TRUE(messageTexts().last().contains("在打开修改窗口之后被改动")) << messageTexts().last().toStdString();
    EXPECT_EQ(scalar("select 金额 || 备注 from 收入帐 where rowid = 1"), "100别处改的");
    select(w.get(), "元旦");
    EXPECT_TRUE(correct(w.get(), "button", [](QDialog* d) { retype(d, "txtJe", "3"); }).isEmpty());
    sql("update 收入帐 set 备注 = '又改了' where rowid = 1;");
    undoWithKeys(w.get());
    EXPECT_TRUE(messageTexts().last().contains("又被改动")) << messageTexts().last().toStdString();
    EXPECT_EQ(scalar("select 金额 || 备注 from 收入帐 where rowid = 1"), "3又改了");
}
