#include "sqltext.h"
#include "support/qtprint.h"

#include <gtest/gtest.h>

// A quoted value or name stays one value or one name, whatever quotes it holds.
TEST(SqlText, QuotingDoublesTheQuotesItIsWrittenIn)
{
    EXPECT_EQ(sqlQuote("abc"), "'abc'");
    EXPECT_EQ(sqlQuote("' or ''='"), "''' or ''''='''");
    EXPECT_EQ(sqlQuote(""), "''");
    EXPECT_EQ(sqlName("收入帐"), "\"收入帐\"");
    EXPECT_EQ(sqlName("a\"; drop table 成员; --"), "\"a\"\"; drop table 成员; --\"");
}
