// Occurrences due that seem entered by hand already: a record of the same ledger, member and type
// (bank, 存或取 and 类型 for the bank ledger), the same amount, within three days of the due date,
// not posted from a template. Each record stands for one occurrence only.
#include "connection.h"
#include "recurring.h"
#include "support/testsupport.h"
#include "session.h"

namespace {

class EnteredByHand : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        openConn();
    }
    // The due occurrences up to 5 March 2026 of the templates, each as "due date: date seen" (the
    // date seen empty when none).
    QStringList marked(const QString& templates, const QString& records)
    {
        sql("delete from 定期收支; delete from 定期记录; delete from 收入帐; delete from 支出帐; delete from 银行帐;");
        sql("insert into 定期收支 (帐, 成员ID, 类型ID, 银行ID, 存或取, 金额, 周期, 间隔, 日, 开始日期) values " + templates);
        if (!records.isEmpty())
            sql(records);
        QList<Recurring::Due> due = Recurring::dueUntil(App::conn, QDate(2026, 3, 5));
        Recurring::markEnteredByHand(App::conn, due);
        QStringList out;
        for (const Recurring::Due& d : due)
            out << d.due.toString(Qt::ISODate) + ": " + d.seemsEntered.toString(Qt::ISODate);
        return out;
    }
};

TEST_F(EnteredByHand, ARecordOfTheSameKindAmountAndNearDateIsSeenOnce)
{
    const QString salary = "('收入帐', '01', 'g', null, null, 8000, '每月', 1, 1, '2026-03-01')";
    const QString income = "insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ";
    const struct {
        const char* name;
        QString templates;
        QString records;
        QStringList expected;
    } cases[] = {
        {"the same day", salary, income + "('01', 'g', 8000, '2026-03-01', '', 3)", {"2026-03-01: 2026-03-01"}},
        {"three days before", salary, income + "('01', 'g', 8000, '2026-02-26', '', 2)", {"2026-03-01: 2026-02-26"}},
        {"three days after", salary, income + "('01', 'g', 8000.0, '2026-03-04', '', 3)", {"2026-03-01: 2026-03-04"}},
        {"four days after", salary, income + "('01', 'g', 8000, '2026-03-05', '', 3)", {"2026-03-01: "}},
        {"another amount", salary, income + "('01', 'g', 8000.01, '2026-03-01', '', 3)", {"2026-03-01: "}},
        {"another member", salary, income + "('02', 'g', 8000, '2026-03-01', '', 3)", {"2026-03-01: "}},
        {"another type", salary, income + "('01', 'j', 8000, '2026-03-01', '', 3)", {"2026-03-01: "}},
        {"codes compare without letter case", salary, income + "('01', 'G', 8000, '2026-03-01', '', 3)", {"2026-03-01: 2026-03-01"}},
        {"another ledger", salary, "insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('01', 'g', 8000, '2026-03-01', '', 3)", {"2026-03-01: "}},
        {"a record a template posted", salary,
         income + "('01', 'g', 8000, '2026-03-01', '', 3); insert into 定期记录 values (99, '2026-02-01', '入帐', '收入帐', 1, '')",
         {"2026-03-01: "}},
        {"the nearest of two", salary, income + "('01', 'g', 8000, '2026-02-27', '', 2), ('01', 'g', 8000, '2026-03-02', '', 3)",
         {"2026-03-01: 2026-03-02"}},
        {"one record for two occurrences a week apart: the nearer",
         "('支出帐', '01', 'f', null, null, 50, '每周', 1, null, '2026-02-20')",
         "insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('01', 'f', 50, '2026-02-24', '', 2)", {"2026-02-20: ", "2026-02-27: 2026-02-24"}},
        {"two policies alike, one record: the first", "('支出帐', '01', 'f', null, null, 300, '每月', 1, 1, '2026-03-01'),"
                                                       " ('支出帐', '01', 'f', null, null, 300, '每月', 1, 1, '2026-03-01')",
         "insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('01', 'f', 300, '2026-03-01', '', 3)", {"2026-03-01: 2026-03-01", "2026-03-01: "}},
        {"two policies alike, two records", "('支出帐', '01', 'f', null, null, 300, '每月', 1, 1, '2026-03-01'),"
                                            " ('支出帐', '01', 'f', null, null, 300, '每月', 1, 1, '2026-03-01')",
         "insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('01', 'f', 300, '2026-03-01', '', 3), ('01', 'f', 300, '2026-03-03', '', 3)",
         {"2026-03-01: 2026-03-01", "2026-03-01: 2026-03-03"}},
        {"a bank deposit", "('银行帐', '01', '活期', 'b1', '存入', 1000, '每月', 1, 1, '2026-03-01')",
         "insert into 银行帐 (银行ID, 成员ID, 存或取, 类型, 金额, 日期) values ('b1', '01', '存入', '活期', 1000, '2026-03-02')", {"2026-03-01: 2026-03-02"}},
        {"a withdrawal is not a deposit", "('银行帐', '01', '活期', 'b1', '存入', 1000, '每月', 1, 1, '2026-03-01')",
         "insert into 银行帐 (银行ID, 成员ID, 存或取, 类型, 金额, 日期) values ('b1', '01', '支出', '活期', 1000, '2026-03-02'), ('b1', '01', '存入', '定期', 1000, '2026-03-02'),"
         " ('b2', '01', '存入', '活期', 1000, '2026-03-02')",
         {"2026-03-01: "}},
    };
    // The members, types and banks are there, so that no occurrence has a problem.
    sql("insert into 成员 (ID, 姓名, 关系, 密码) values ('01', '张三', '', ''), ('02', '李四', '', ''); insert into 收入类型 (ID, 类型, 备注) values ('g', '工资', ''),"
        " ('j', '奖金', ''); insert into 支出类型 (ID, 类型, 备注) values ('f', '保险', ''); insert into 银行 (ID, 开户行, 帐号) values ('b1', '工行', ''), ('b2', '农行', '');");
    for (const auto& c : cases)
        EXPECT_EQ(marked(c.templates, c.records), c.expected) << c.name;
}

}  // namespace
