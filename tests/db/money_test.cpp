#include "money.h"
#include "support/qtprint.h"

#include <gtest/gtest.h>
#include <limits>
#include <stdexcept>

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

// Nothing wraps around: an amount's arithmetic beyond its range raises, a text beyond it is no
// amount, a number beyond it or not finite is refused, and totals hold what amounts cannot.
TEST(Money, NothingWrapsAround)
{
    const Money max = Money::fromUnits(INT64_MAX);
    EXPECT_THROW(max + Money::fromUnits(1), std::overflow_error);
    EXPECT_THROW(Money::fromUnits(INT64_MIN) - Money::fromUnits(1), std::overflow_error);
    EXPECT_EQ(Money::parse("922337203685477.5807"), max);
    EXPECT_EQ(Money::parse("922337203685477.5808"), std::nullopt);
    EXPECT_EQ(Money::parse("99999999999999999999"), std::nullopt);
    for (double bad : {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                       std::numeric_limits<double>::quiet_NaN(), 1e300, 922337203685478.0})
        EXPECT_EQ(Money::fromNumber(bad), std::nullopt) << bad;
    EXPECT_EQ(Money::fromYuan(922337203685478), std::nullopt);
    EXPECT_EQ(Money::fromYuan(-922337203685477), Money::fromUnits(-9223372036854770000));
    // The ends of the range convert: -2^63 ten-thousandths is exact as a double.
    EXPECT_EQ(Money::fromNumber(-922337203685477.625), Money::fromUnits(INT64_MIN));

    MoneyTotal total;
    for (int i = 0; i < 3; ++i)
        total += max;
    EXPECT_EQ(total.toGrouped(), "2,767,011,611,056,432.74");
    EXPECT_EQ(total.toPlain(), "2767011611056432.7421");
    EXPECT_EQ(total.toMoney(), std::nullopt);
    total -= max;
    total -= max;
    EXPECT_EQ(total.toMoney(), max);
    EXPECT_EQ((MoneyTotal::fromYuan(INT64_MIN) - MoneyTotal::fromYuan(1)).toGrouped(),
              "-9,223,372,036,854,775,809.00");
    EXPECT_EQ(MoneyTotal::fromNumber(1e31), std::nullopt);
    EXPECT_TRUE(MoneyTotal::fromNumber(1e30).has_value());
    EXPECT_EQ(MoneyTotal::fromNumber(-1234.5)->toPlain(), "-1234.5");
}
