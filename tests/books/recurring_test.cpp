// The recurring records due after a login, as a person works through them: amounts changed in the
// grid, ticks taken off, 入帐 and 跳过; a template whose member is gone waits, with its reason,
// until it is mended. And the templates' own window.
#include "bookstest.h"
#include "duewindow.h"
#include "recurringeditor.h"
#include "session.h"

#include <QCheckBox>
#include <QSpinBox>

namespace {

class RecurringTest : public BooksTest {
protected:
    QTableView* grid() { return get<QTableView>("DG"); }
    // Space on the tick of a row turns it over.
    void toggleTick(int row)
    {
        grid()->setFocus();
        grid()->setCurrentIndex(grid()->model()->index(row, 0));
        QTest::keyClick(grid(), Qt::Key_Space);
    }
};

TEST_F(RecurringTest, DueRecordsArePostedOrSkippedOnceAndABrokenTemplateWaitsWithItsReason)
{
    sql("insert into 预算 values ('', 'f', '', 1000);"
        "insert into 定期收支 (帐, 成员ID, 类型ID, 金额, 备注, 周期, 间隔, 日, 开始日期) values"
        " ('支出帐', '01', 'f', 1500, '房租', '每月', 1, 31, '2026-01-01'),"
        " ('收入帐', '09', 'g', 8000, '工资', '每月', 1, 1, '2026-03-01');");
    open(new DueWindow(App::store()));
    EXPECT_EQ(gridRows(grid()), QStringList({"|2026-01-31|2026-01-31|支出帐|张三|伙食|1500|房租|",
                                             "|2026-02-28|2026-02-28|支出帐|张三|伙食|1500|房租|",
                                             "|2026-03-01|2026-03-01|收入帐|09|工资|8000|工资|成员“09”已不存在，请修改这条定期收支"}));
    auto* model = grid()->model();
    EXPECT_EQ(model->index(2, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
    EXPECT_FALSE(model->flags(model->index(2, 0)) & Qt::ItemIsUserCheckable);

    // January on the 30th for 1499.5; February not this time.
    editCell(grid(), 0, 2, "2026-01-30");
    editCell(grid(), 0, 6, "1499.5");
    toggleTick(1);
    EXPECT_EQ(model->index(1, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
    press("cmdPost");
    EXPECT_EQ(messageTexts(), QStringList({"以下支出超出了预算：\n2026-01 全家 伙食：超出 499.50 元"}));
    EXPECT_EQ(rows("select 成员ID, 类型ID, 金额, 日期, 备注, 月份 from 支出帐"), QStringList({"01|f|1499.5|2026-01-30|房租|1"}));
    ASSERT_EQ(model->rowCount(), 2);

    // February stays unticked as the person left it; ticked again, it is skipped for good; the
    // broken template is still there.
    EXPECT_EQ(model->index(0, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
    toggleTick(0);
    script().clearMessages();
    press("cmdSkip");
    ASSERT_EQ(model->rowCount(), 1);
    EXPECT_EQ(rows("select 到期日, 结果, 帐, 行号 from 定期记录 order by 到期日"),
              QStringList({"2026-01-31|入帐|支出帐|" + scalar("select rowid from 支出帐"), "2026-02-28|跳过|NULL|NULL"}));

    // Mended, it is ticked and posted like the others (a mistyped amount posts nothing); the window
    // closes when nothing is left.
    sql("insert into 成员 (ID, 姓名, 关系, 密码) values ('09', '王五', '儿子', '')");
    open(new DueWindow(App::store()));
    editCell(grid(), 0, 6, "80o0");
    press("cmdPost");
    EXPECT_EQ(lastMessage(), "第 1 行：金额必须是一个数字，例如 1234.56，请改正后再保存");
    EXPECT_EQ(scalar("select count(*) from 收入帐"), "0");
    editCell(grid(), 0, 6, "8000.12");
    press("cmdPost");
    EXPECT_EQ(lastMessage(), "已入帐 1 笔。");
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(rows("select 成员ID, 类型ID, 金额, 日期 from 收入帐"), QStringList({"09|g|8000.12|2026-03-01"}));
    EXPECT_EQ(DueWindow::showIfDue(App::store(), nullptr), nullptr);
}

TEST_F(RecurringTest, ATemplateIsWrittenFromItsWindow)
{
    open(new RecurringEditor(App::store()));
    get<QComboBox>("cboLedger")->setCurrentText("支出帐");
    get<QComboBox>("cboMember")->setCurrentIndex(1);
    typeInto(box("txtAmount"), "2500");
    typeInto(box("txtNote"), "房租");
    get<QSpinBox>("spnDay")->setValue(31);
    get<QDateEdit>("dtStart")->setDate(QDate(2026, 1, 1));
    get<QSpinBox>("spnCount")->setValue(12);
    press("cmdSave");
    EXPECT_TRUE(messageTexts().isEmpty()) << messageTexts().join('\n').toStdString();
    EXPECT_EQ(rows("select 帐, 成员ID, 类型ID, 银行ID, 金额, 备注, 周期, 日, 开始日期, 结束日期, 次数 from 定期收支"),
              QStringList({"支出帐|02|f|NULL|2500|房租|每月|31|2026-01-01|NULL|12"}));
    EXPECT_EQ(gridRows(grid()), QStringList({"支出帐|李四|伙食|2,500.00|每月最后一天，自 2026-01-01，共 12 次|房租|"}));

    // A bank template, then the first one's member deleted: the list says why.
    press("cmdNew");
    get<QComboBox>("cboLedger")->setCurrentText("银行帐");
    get<QComboBox>("cboType")->setCurrentIndex(1);
    get<QComboBox>("cboInOut")->setCurrentText("存入");
    typeInto(box("txtAmount"), "100");
    get<QComboBox>("cboPeriod")->setCurrentIndex(1);
    get<QSpinBox>("spnWeeks")->setValue(2);
    press("cmdSave");
    EXPECT_EQ(rows("select 帐, 成员ID, 类型ID, 银行ID, 存或取, 周期, 间隔, 日 from 定期收支 order by 编号 limit 1 offset 1"),
              QStringList({"银行帐|02|活期|b2|存入|每周|2|NULL"}));
    sql("delete from 成员 where ID = '02'");
    open(new RecurringEditor(App::store()));
    EXPECT_TRUE(gridRows(grid()).value(0).endsWith("|成员“02”已不存在，请修改这条定期收支"));
}

// A salary typed in by hand is not posted a second time by one 入帐: its occurrence comes unticked,
// saying why; what the person ticks, unticks or types stays so whenever the list is read again.
TEST_F(RecurringTest, AnOccurrenceEnteredByHandComesUntickedAndThePersonsChoicesStay)
{
    sql("insert into 定期收支 (帐, 成员ID, 类型ID, 金额, 备注, 周期, 间隔, 日, 开始日期) values"
        " ('收入帐', '01', 'g', 8000, '工资', '每月', 1, 2, '2026-03-01'),"
        " ('支出帐', '01', 'f', 1500, '房租', '每月', 1, 1, '2026-02-01');"
        "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('01', 'g', 8000, '2026-03-03', '三月工资', 3);");
    open(new DueWindow(App::store()));
    auto* model = grid()->model();
    const auto ticks = [model] {
        QList<int> out;
        for (int r = 0; r < model->rowCount(); ++r)
            out << model->index(r, 0).data(Qt::CheckStateRole).toInt();
        return out;
    };
    EXPECT_EQ(gridRows(grid()), QStringList({"|2026-02-01|2026-02-01|支出帐|张三|伙食|1500|房租|",
                                             "|2026-03-01|2026-03-01|支出帐|张三|伙食|1500|房租|",
                                             "|2026-03-02|2026-03-02|收入帐|张三|工资|8000|工资|可能已手工录入（2026-03-03）"}));
    EXPECT_EQ(ticks(), QList<int>({Qt::Checked, Qt::Checked, Qt::Unchecked}));

    // February's rent typed in by hand meanwhile (in 支出帐录入): read again, it is unticked too;
    // March's amount, changed by the person, and its tick stay.
    editCell(grid(), 1, 6, "1450");
    App::conn.execute("insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('01', 'f', 1500, '2026-01-30', '', 1)");
    QApplication::processEvents();
    EXPECT_EQ(gridRows(grid()).value(0), "|2026-02-01|2026-02-01|支出帐|张三|伙食|1500|房租|可能已手工录入（2026-01-30）");
    EXPECT_EQ(gridRows(grid()).value(1), "|2026-03-01|2026-03-01|支出帐|张三|伙食|1450|房租|");
    EXPECT_EQ(ticks(), QList<int>({Qt::Unchecked, Qt::Checked, Qt::Unchecked}));

    // The salary is the person's to decide: ticked, it stays ticked after the list is read again.
    toggleTick(2);
    App::conn.execute("insert into 投资帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('01', 's', 1, '2026-03-01', '', 3)");
    QApplication::processEvents();
    EXPECT_EQ(ticks(), QList<int>({Qt::Unchecked, Qt::Checked, Qt::Checked}));

    // 入帐 posts what is ticked; February's rent waits, unticked, with its reason.
    press("cmdPost");
    EXPECT_EQ(rows("select 类型ID, 金额, 日期 from 收入帐 order by rowid"),
              QStringList({"g|8000|2026-03-03", "g|8000|2026-03-02"}));
    EXPECT_EQ(rows("select 金额, 日期 from 支出帐 order by rowid"), QStringList({"1500|2026-01-30", "1450|2026-03-01"}));
    EXPECT_EQ(gridRows(grid()), QStringList({"|2026-02-01|2026-02-01|支出帐|张三|伙食|1500|房租|可能已手工录入（2026-01-30）"}));
    EXPECT_EQ(ticks(), QList<int>({Qt::Unchecked}));

    // February's rent ticked and posted after another tool wrote amounts too large to sum: it is
    // posted, and the person hears that the budget could not be checked.
    sql("insert into 预算 values ('', 'f', '', 1000);"
        "insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('01', 'f', 1e15, '2026-02-10', '', 2), ('01', 'f', 1e15, '2026-02-11', '', 2);");
    QApplication::processEvents();
    toggleTick(0);
    script().clearMessages();
    press("cmdPost");
    EXPECT_EQ(scalar("select count(*) from 支出帐 where 日期 = '2026-02-01'"), "1");
    EXPECT_EQ(messageTexts(), QStringList({"已入帐 1 笔，但无法检查是否超出了预算。\n"
                                           "金额合计超出了能计算的范围：数据库中有超大的金额，可能是用其它工具写入的，请改正后再试"}));
}

}  // namespace
