#include "money.h"
#include "support/qtprint.h"

#include <gtest/gtest.h>

TEST(Money, ParsesWhatAUserTypes)
{
    struct Case {
        const char* text;
        std::optional<std::int64_t> units;
    } cases[] = {
        {"0", 0},          {"12", 120000},     {"12.5", 125000}, {" 7.25 ", 72500}, {".5", 5000},
        {"5.", 50000},     {"-30", -300000},   {"0.00005", 1},   {"0.00004", 0},    {"1.2.3", std::nullopt},
        {".", std::nullopt}, {"-", std::nullopt}, {"", std::nullopt}, {"1-2", std::nullopt}, {"abc", std::nullopt},
        {"1 2", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto m = Money::parse(QString::fromUtf8(c.text));
        ASSERT_EQ(m.has_value(), c.units.has_value()) << c.text;
        if (m) {
            EXPECT_EQ(m->units(), *c.units) << c.text;
        }
    }
}

TEST(Money, FormatsGroupedAndPlain)
{
    EXPECT_EQ(Money::parse("1234.5")->toGrouped(), "1,234.50");
    EXPECT_EQ(Money::parse("-1234.5")->toGrouped(), "-1,234.50");
    EXPECT_EQ(Money::parse("1234567.891")->toGrouped(), "1,234,567.89");
    EXPECT_EQ(Money::parse("0")->toGrouped(), "0.00");
    EXPECT_EQ(Money::parse("999.995")->toGrouped(), "1,000.00");
    EXPECT_EQ(Money::parse("-0.001")->toGrouped(), "0.00");
    EXPECT_EQ(Money::parse("1234.5")->toPlain(), "1234.5");
    EXPECT_EQ(Money::parse("12")->toPlain(), "12");
    EXPECT_EQ(Money::parse("-0.25")->toPlain(), "-0.25");
    EXPECT_EQ(Money::parse("100.0100")->toPlain(), "100.01");
}

TEST(Money, SumsAreExact)
{
    EXPECT_EQ((Money::fromDouble(0.1) + Money::fromDouble(0.2)).toPlain(), "0.3");
    Money total;
    for (int i = 0; i < 1'000'000; ++i)
        total += Money::fromDouble(0.01);
    EXPECT_EQ(total.toGrouped(), "10,000.00");
    EXPECT_EQ(Money::fromDouble(0.30000000000000004).units(), 3000);
}
