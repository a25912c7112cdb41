// What the connection tells of each commit: the file's tables a transaction changed, once per
// commit; nothing for a transaction rolled back or one that wrote temporary tables only.
#include "connection.h"
#include "support/testsupport.h"

namespace {

class Commits : public DbTest {
protected:
    void SetUp() override
    {
        DbTest::SetUp();
        conn_.open(dbPath());
        conn_.setCommitListener([this](const QStringList& tables) { told_ << (tables.isEmpty() ? "*" : sorted(tables).join(u',')); });
    }
    void TearDown() override
    {
        conn_.close();
        DbTest::TearDown();
    }
    // What was told while the statements ran.
    QStringList toldFor(const QString& statements)
    {
        told_.clear();
        try {
            conn_.execute(statements);
        } catch (const std::exception&) {
        }
        return told_;
    }
    Connection conn_;
    QStringList told_;
};

TEST_F(Commits, EachCommitTellsTheTablesItChanged)
{
    const struct {
        const char* statements;
        QStringList told;
    } cases[] = {
        {"insert into 收入帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('1', 'g', 5, '2026-03-01', '', 3)", {"收入帐"}},
        {"begin; insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('1', 'f', 5, '2026-03-01', '', 3); update 收入帐 set 金额 = 6;"
         " insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('1', 'f', 7, '2026-03-02', '', 3); commit",
         {"支出帐,收入帐"}},
        // Refused by the ledger's check: nothing changed, nothing told; the statement after it never runs.
        {"insert into 支出帐 (成员ID, 类型ID, 金额, 日期, 备注, 月份) values ('1', 'f', 'many', '2026-03-03', '', 3); insert into 银行帐 (银行ID, 成员ID, 存或取, 类型, 金额, 日期) values ('b', '1', '存入', '活期', 1, '2026-03-01')",
         {}},
        {"insert into 银行帐 (银行ID, 成员ID, 存或取, 类型, 金额, 日期) values ('b', '1', '存入', '活期', 1, '2026-03-01'); insert into 负债 (借款日期, 债权人, 类型, 金额, 还款记录, 余额) values ('2026-03-01', '王', '欠人', 1, '', 1)",
         {"银行帐", "负债"}},
        {"begin; delete from 收入帐 where 金额 = 6; rollback", {}},
        {"select count(*) from 收入帐", {}},
        {"create temp table t (x); insert into temp.t values (1); delete from temp.t", {}},
        // A table emptied at once is not named by the engine: any table may have changed.
        {"delete from 支出帐", {"*"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(toldFor(QString::fromUtf8(c.statements)), c.told) << c.statements;
}

}  // namespace
