#include "dialect.h"
#include "support/qtprint.h"

#include <gtest/gtest.h>

// The windows' statements as SQLite reads them. Dates follow the century rule and keep four-digit
// years (a date that is none is left for the engine to refuse); quoted text is never rewritten;
// "delete *" and the three-part month name; the windows' nested right joins become left joins from the
// ledger (statements without one stay as written; other shapes of join are left to the fuzz target);
// orderings by a column put texts in Chinese order, while expressions, positions, rowids, terms with
// a collation of their own and quoted texts are left as written.
TEST(Dialect, TranslatesTheWindowsStatementsForTheEngine)
{
    const QString head = "SELECT 成员.姓名, 收入类型.类型, 收入帐.金额 FROM 成员 RIGHT JOIN (收入类型 RIGHT JOIN 收入帐 ON "
                         "收入类型.ID = 收入帐.类型ID) ON 成员.ID = 收入帐.成员ID";
    const QString quoted = "select * from 成员 where 姓名='#1-1-02# delete * from 查询.月份.月份 a RIGHT JOIN b ON c'";
    const std::pair<QString, QString> cases[] = {
        {"x between #1-1-02# and #7-25-02#", "x between '2002-01-01' and '2002-07-25'"},
        {"#12-31-29#", "'2029-12-31'"}, {"#1-1-30#", "'1930-01-01'"}, {"#1-1-99#", "'1999-01-01'"},
        {"#1-1-2030#", "'2030-01-01'"}, {"#2-29-2024#", "'2024-02-29'"}, {"#2-30-2024#", "#2-30-2024#"},
        {quoted, quoted},
        {"select 'it''s #1-1-02#', #1-1-02#", "select 'it''s #1-1-02#', '2002-01-01'"},
        {"delete * from 收入临时", "delete from 收入临时"}, {"DELETE  *  FROM 支出临时", "DELETE FROM 支出临时"},
        {"select 查询.月份.月份 as 月份,收入总额 from 查询", "select 查询.\"月份.月份\" as 月份,收入总额 from 查询"},
        {head + " where 成员.ID='3' order by 成员.姓名",
         "SELECT 成员.姓名, 收入类型.类型, 收入帐.金额 FROM 收入帐 LEFT JOIN 收入类型 ON 收入类型.ID = 收入帐.类型ID "
         "LEFT JOIN 成员 ON 成员.ID = 收入帐.成员ID where 成员.ID='3' order by 成员.姓名 COLLATE PINYIN"},
        {"select * from a LEFT JOIN b ON a.x=b.x", "select * from a LEFT JOIN b ON a.x=b.x"},
        {"select * from t order by t.a desc, b, 2, length(c), rowid, d collate nocase limit 5",
         "select * from t order by t.a COLLATE PINYIN desc, b COLLATE PINYIN, 2, length(c), rowid, d collate nocase limit 5"},
        {"select * from (select a from t order by \"a b\") order by x; select 'order by a'",
         "select * from (select a from t order by \"a b\" COLLATE PINYIN) order by x COLLATE PINYIN; select 'order by a'"},
    };
    for (const auto& [written, read] : cases)
        EXPECT_EQ(translateSql(written), read) << written.toStdString();
}
