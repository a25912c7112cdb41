#include "money.h"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

using Wide = __int128;
using UWide = unsigned __int128;

constexpr std::int64_t kMaxUnits = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMinUnits = std::numeric_limits<std::int64_t>::min();

// The magnitude of a signed value, also for the most negative one.
template <typename S, typename U>
U magnitude(S v)
{
    return v < 0 ? static_cast<U>(-(v + 1)) + 1 : static_cast<U>(v);
}

QString decimal(UWide v)
{
    if (v == 0)
        return QStringLiteral("0");
    char buf[48];
    int i = sizeof buf;
    while (v != 0) {
        buf[--i] = static_cast<char>('0' + static_cast<int>(v % 10));
        v /= 10;
    }
    return QString::fromLatin1(buf + i, static_cast<qsizetype>(sizeof buf) - i);
}

// "#,##0.00", rounding half away from zero to cents.
QString grouped(UWide absUnits, bool negative)
{
    const UWide cents = (absUnits + 50) / 100;
    const QString digits = decimal(cents / 100);
    const unsigned rest = static_cast<unsigned>(cents % 100);
    QString out;
    out.reserve(digits.size() + digits.size() / 3 + 5);
    if (negative && cents != 0)
        out += u'-';
    const qsizetype n = digits.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += u',';
        out += digits[i];
    }
    out += u'.';
    out += QChar(u'0' + static_cast<char16_t>(rest / 10));
    out += QChar(u'0' + static_cast<char16_t>(rest % 10));
    return out;
}

// No group separators and only the decimals the value has.
QString plain(UWide absUnits, bool negative)
{
    QString out = negative ? QStringLiteral("-") : QString();
    out += decimal(absUnits / 10000);
    unsigned frac = static_cast<unsigned>(absUnits % 10000);
    if (frac != 0) {
        QString f = QString::number(frac).rightJustified(4, u'0');
        while (f.endsWith(u'0'))
            f.chop(1);
        out += u'.';
        out += f;
    }
    return out;
}

// a += b and a -= b, raising instead of wrapping around.
template <typename T>
void add(T& a, T b)
{
    if (__builtin_add_overflow(a, b, &a))
        throw std::overflow_error("amount out of range");
}

template <typename T>
void subtract(T& a, T b)
{
    if (__builtin_sub_overflow(a, b, &a))
        throw std::overflow_error("amount out of range");
}

// Reads an amount as the user typed it into a whole number of ten-thousandths of type T: optional
// sign, digits, at most one decimal point, blanks around it; the fifth decimal rounds the fourth.
template <typename T>
std::optional<T> parseUnits(const QString& text)
{
    const QString s = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) {
        negative = s[i] == u'-';
        ++i;
    }
    T whole = 0;
    T fraction = 0;
    int fractionDigits = 0;
    int digits = 0;
    bool point = false;
    bool roundUp = false;
    bool tooLarge = false;
    for (; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == u'.') {
            if (point)
                return std::nullopt;
            point = true;
            continue;
        }
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int d = c.unicode() - u'0';
        ++digits;
        if (!point) {
            // Keep reading, so that a text that is no number at all is told apart from a large one.
            if (__builtin_mul_overflow(whole, T{10}, &whole) || __builtin_add_overflow(whole, T{d}, &whole))
                tooLarge = true;
        } else if (fractionDigits < 4) {
            fraction = fraction * 10 + d;
            ++fractionDigits;
        } else if (fractionDigits == 4) {
            roundUp = d >= 5;
            ++fractionDigits;
        }
    }
    if (digits == 0 || tooLarge)
        return std::nullopt;
    for (int k = std::min(fractionDigits, 4); k < 4; ++k)
        fraction *= 10;
    T units = 0;
    if (__builtin_mul_overflow(whole, T{10000}, &units) || __builtin_add_overflow(units, fraction + (roundUp ? 1 : 0), &units))
        return std::nullopt;
    return negative ? -units : units;
}

}  // namespace

std::optional<Money> Money::parse(const QString& text)
{
    if (const auto units = parseUnits<std::int64_t>(text))
        return Money(*units);
    return std::nullopt;
}

std::optional<MoneyTotal> MoneyTotal::parse(const QString& text)
{
    const auto units = parseUnits<Wide>(text);
    if (!units)
        return std::nullopt;
    MoneyTotal t;
    t.units_ = *units;
    return t;
}


Money Money::fromDouble(double value)
{
    if (auto m = fromNumber(value))
        return *m;
    if (std::isnan(value))
        return Money();
    return Money(value < 0 ? kMinUnits : kMaxUnits);
}

std::optional<Money> Money::fromNumber(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double units = std::round(value * 10000.0);
    // 2^63 is exact as a double; everything below it converts.
    if (!(units >= -9223372036854775808.0 && units < 9223372036854775808.0))
        return std::nullopt;
    return Money(static_cast<std::int64_t>(units));
}

std::optional<Money> Money::fromYuan(std::int64_t yuan)
{
    std::int64_t units = 0;
    if (__builtin_mul_overflow(yuan, std::int64_t{10000}, &units))
        return std::nullopt;
    return Money(units);
}

Money& Money::operator+=(Money o)
{
    add(units_, o.units_);
    return *this;
}

Money& Money::operator-=(Money o)
{
    subtract(units_, o.units_);
    return *this;
}

QString Money::toGrouped() const
{
    return grouped(magnitude<std::int64_t, std::uint64_t>(units_), units_ < 0);
}

QString Money::toPlain() const
{
    return plain(magnitude<std::int64_t, std::uint64_t>(units_), units_ < 0);
}

MoneyTotal MoneyTotal::fromYuan(std::int64_t yuan)
{
    MoneyTotal t;
    t.units_ = static_cast<Wide>(yuan) * 10000;
    return t;
}

std::optional<MoneyTotal> MoneyTotal::fromNumber(double value)
{
    if (!std::isfinite(value) || std::fabs(value) > 1e30)
        return std::nullopt;
    MoneyTotal t;
    t.units_ = static_cast<Wide>(std::round(value * 10000.0));
    return t;
}

MoneyTotal& MoneyTotal::operator+=(MoneyTotal o)
{
    add(units_, o.units_);
    return *this;
}

MoneyTotal& MoneyTotal::operator-=(MoneyTotal o)
{
    subtract(units_, o.units_);
    return *this;
}

std::optional<Money> MoneyTotal::toMoney() const
{
    if (units_ < kMinUnits || units_ > kMaxUnits)
        return std::nullopt;
    return Money::fromUnits(static_cast<std::int64_t>(units_));
}

QString MoneyTotal::toGrouped() const
{
    return grouped(magnitude<Wide, UWide>(units_), units_ < 0);
}

QString MoneyTotal::toPlain() const
{
    return plain(magnitude<Wide, UWide>(units_), units_ < 0);
}
