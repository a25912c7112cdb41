#include "money.h"

#include <cmath>

Money Money::fromDouble(double value)
{
    return Money(static_cast<std::int64_t>(std::llround(value * 10000.0)));
}

std::optional<Money> Money::parse(const QString& text)
{
    const QString s = text.trimmed();
    int i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) {
        negative = s[i] == u'-';
        ++i;
    }
    std::int64_t whole = 0;
    std::int64_t fraction = 0;
    int fractionDigits = 0;
    int digits = 0;
    bool point = false;
    bool roundUp = false;
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
            if (whole > 90'000'000'000'000LL)  // far beyond any household's money
                return std::nullopt;
            whole = whole * 10 + d;
        } else if (fractionDigits < 4) {
            fraction = fraction * 10 + d;
            ++fractionDigits;
        } else if (fractionDigits == 4) {
            roundUp = d >= 5;
            ++fractionDigits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    for (int k = std::min(fractionDigits, 4); k < 4; ++k)
        fraction *= 10;
    std::int64_t units = whole * 10000 + fraction + (roundUp ? 1 : 0);
    return Money(negative ? -units : units);
}

QString Money::toGrouped() const
{
    const bool negative = units_ < 0;
    // Round half away from zero to cents.
    std::uint64_t absUnits = negative ? static_cast<std::uint64_t>(-(units_ + 1)) + 1
                                      : static_cast<std::uint64_t>(units_);
    const std::uint64_t cents = (absUnits + 50) / 100;
    const std::uint64_t whole = cents / 100;
    const unsigned rest = static_cast<unsigned>(cents % 100);
    QString digits = QString::number(whole);
    QString grouped;
    grouped.reserve(digits.size() + digits.size() / 3 + 4);
    const int n = static_cast<int>(digits.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            grouped += u',';
        grouped += digits[i];
    }
    QString out = (negative && cents != 0) ? QStringLiteral("-") : QString();
    out += grouped;
    out += u'.';
    out += QString::number(rest).rightJustified(2, u'0');
    return out;
}

QString Money::toPlain() const
{
    const bool negative = units_ < 0;
    std::uint64_t absUnits = negative ? static_cast<std::uint64_t>(-(units_ + 1)) + 1
                                      : static_cast<std::uint64_t>(units_);
    QString out = negative ? QStringLiteral("-") : QString();
    out += QString::number(absUnits / 10000);
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
