// Fuzz target for the money type: reading and writing amounts, and totals that never wrap.
//  - a text that reads as an amount reads back as the same amount from its plain form, and as the
//    same amount rounded to cents from its grouped form;
//  - the sum and difference of any two amounts is exact or raises overflow_error, never wraps;
//    a total holds it exactly and writes it as the amount would;
//  - a number from the database becomes an amount only when it is finite and in range.
#include "money.h"
#include "check.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace {

using Wide = __int128;

bool inRange(Wide v)
{
    return v >= INT64_MIN && v <= INT64_MAX;
}

// Rounds half away from zero to whole cents, in ten-thousandths.
Wide toCents(Wide units)
{
    const Wide a = units < 0 ? -units : units;
    const Wide r = (a + 50) / 100 * 100;
    return units < 0 ? -r : r;
}

void text(const QString& s)
{
    const auto m = Money::parse(s);
    if (!m)
        return;
    const auto plain = Money::parse(m->toPlain());
    CHECK(plain && *plain == *m);
    QString grouped = m->toGrouped();
    grouped.remove(u',');
    const Wide cents = toCents(m->units());
    const auto back = Money::parse(grouped);
    if (inRange(cents)) {
        CHECK(back && back->units() == static_cast<std::int64_t>(cents));
    }
    // The total of one amount writes what the amount writes.
    CHECK(MoneyTotal(*m).toPlain() == m->toPlain());
    CHECK(MoneyTotal(*m).toGrouped() == m->toGrouped());
}

void arithmetic(std::int64_t a, std::int64_t b)
{
    const Money ma = Money::fromUnits(a), mb = Money::fromUnits(b);
    const Wide sum = static_cast<Wide>(a) + b, difference = static_cast<Wide>(a) - b;
    try {
        CHECK((ma + mb).units() == sum);
    } catch (const std::overflow_error&) {
        CHECK(!inRange(sum));
    }
    try {
        CHECK((ma - mb).units() == difference);
    } catch (const std::overflow_error&) {
        CHECK(!inRange(difference));
    }
    MoneyTotal t(ma);
    t += mb;
    t += mb;
    const Wide twice = sum + b;
    CHECK(t.toMoney().has_value() == inRange(twice));
    if (inRange(twice))
        CHECK(t.toMoney()->units() == twice && t.toPlain() == t.toMoney()->toPlain());
    // Its plain form is the exact decimal of the wide sum.
    const QString plain = t.toPlain();
    Wide read = 0;
    bool negative = false;
    int decimals = -1;
    for (const QChar c : plain) {
        if (c == u'-')
            negative = true;
        else if (c == u'.')
            decimals = 0;
        else {
            read = read * 10 + (c.unicode() - u'0');
            if (decimals >= 0)
                ++decimals;
        }
    }
    for (int d = decimals < 0 ? 0 : decimals; d < 4; ++d)
        read *= 10;
    CHECK((negative ? -read : read) == twice);
}

void number(double d)
{
    const auto m = Money::fromNumber(d);
    const double units = std::round(d * 10000.0);
    const bool fits = std::isfinite(units) && units >= -0x1p63 && units < 0x1p63;
    CHECK(m.has_value() == fits);
    if (m)
        CHECK(m->units() == static_cast<std::int64_t>(std::round(d * 10000.0)));
    const auto t = MoneyTotal::fromNumber(d);
    CHECK(t.has_value() == (std::isfinite(d) && std::fabs(d) <= 1e30));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    text(QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    if (size >= 16) {
        std::int64_t a, b;
        std::memcpy(&a, data, 8);
        std::memcpy(&b, data + 8, 8);
        arithmetic(a, b);
        double d;
        std::memcpy(&d, data + size - 8, 8);
        number(d);
    }
    return 0;
}
