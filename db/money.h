#pragma once

#include <QMetaType>
#include <QString>
#include <cstdint>
#include <optional>

// An amount of money in ten-thousandths of a yuan: the four decimals of a currency value,
// exact under addition and subtraction.
class Money {
public:
    constexpr Money() = default;
    static constexpr Money fromUnits(std::int64_t units) { return Money(units); }

    // Rounds a number read from the database to four decimals.
    static Money fromDouble(double value);

    // Reads an amount as the user typed it: optional sign, digits, at most one decimal point,
    // blanks around it allowed. "1.2.3", ".", "-" and "" are not amounts.
    static std::optional<Money> parse(const QString& text);

    constexpr std::int64_t units() const { return units_; }
    double toDouble() const { return static_cast<double>(units_) / 10000.0; }

    // "#,##0.00": 1234.5 gives 1,234.50; -1234.5 gives -1,234.50.
    QString toGrouped() const;
    // The plain form: no group separators and only the decimals it has (1234.5, 12, -0.25).
    QString toPlain() const;

    friend constexpr Money operator+(Money a, Money b) { return Money(a.units_ + b.units_); }
    friend constexpr Money operator-(Money a, Money b) { return Money(a.units_ - b.units_); }
    Money& operator+=(Money o) { units_ += o.units_; return *this; }
    Money& operator-=(Money o) { units_ -= o.units_; return *this; }
    friend constexpr bool operator==(Money a, Money b) = default;
    friend constexpr auto operator<=>(Money a, Money b) = default;

private:
    constexpr explicit Money(std::int64_t units) : units_(units) {}
    std::int64_t units_ = 0;
};

Q_DECLARE_METATYPE(Money)
