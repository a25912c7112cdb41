#pragma once

#include <QMetaType>
#include <QString>
#include <cstdint>
#include <optional>

// An amount of money in ten-thousandths of a yuan: the four decimals of a currency value,
// exact under addition and subtraction. Its range is about ±922 trillion yuan; an addition or
// subtraction that would leave it raises std::overflow_error instead of wrapping around.
class Money {
public:
    constexpr Money() = default;
    static constexpr Money fromUnits(std::int64_t units) { return Money(units); }

    // Rounds a number read from the database to four decimals. Only for numbers known to be in
    // range: out of range it gives the nearest end of the range, and NaN gives 0.
    static Money fromDouble(double value);
    // The same, checked: nothing for a number that is not finite or beyond the range.
    static std::optional<Money> fromNumber(double value);
    // Whole yuan, checked.
    static std::optional<Money> fromYuan(std::int64_t yuan);

    // Reads an amount as the user typed it: optional sign, digits, at most one decimal point,
    // blanks around it allowed. "1.2.3", ".", "-", "" and amounts beyond the range are not amounts.
    static std::optional<Money> parse(const QString& text);

    constexpr std::int64_t units() const { return units_; }
    double toDouble() const { return static_cast<double>(units_) / 10000.0; }

    // "#,##0.00": 1234.5 gives 1,234.50; -1234.5 gives -1,234.50.
    QString toGrouped() const;
    // The plain form: no group separators and only the decimals it has (1234.5, 12, -0.25).
    QString toPlain() const;

    friend Money operator+(Money a, Money b) { return a += b; }
    friend Money operator-(Money a, Money b) { return a -= b; }
    Money& operator+=(Money o);
    Money& operator-=(Money o);
    friend constexpr bool operator==(Money a, Money b) = default;
    friend constexpr auto operator<=>(Money a, Money b) = default;

private:
    constexpr explicit Money(std::int64_t units) : units_(units) {}
    std::int64_t units_ = 0;
};

Q_DECLARE_METATYPE(Money)

// The largest amount a single record takes as typed: 99,999,999,999.99 yuan.
inline constexpr Money kMaxRecordAmount = Money::fromUnits(999'999'999'999'900LL);

// A total of amounts, held in 128 bits of ten-thousandths: no number of records of any amount can
// make it wrap around. It also holds the sums that the database computes, which may lie beyond
// the range of a single amount.
class MoneyTotal {
public:
    constexpr MoneyTotal() = default;
    constexpr MoneyTotal(Money m) : units_(m.units()) {}

    // A sum the database computed: whole yuan (always exact), or a real number; nothing for a
    // real that is not finite or beyond 10^30 yuan, which no sum of amounts reaches.
    static MoneyTotal fromYuan(std::int64_t yuan);
    static std::optional<MoneyTotal> fromNumber(double value);
    // A total written out in the plain form (as toPlain gives it), of any size a total takes.
    static std::optional<MoneyTotal> parse(const QString& text);

    MoneyTotal& operator+=(MoneyTotal o);
    MoneyTotal& operator-=(MoneyTotal o);
    friend MoneyTotal operator+(MoneyTotal a, MoneyTotal b) { return a += b; }
    friend MoneyTotal operator-(MoneyTotal a, MoneyTotal b) { return a -= b; }
    friend bool operator==(const MoneyTotal& a, const MoneyTotal& b) { return a.units_ == b.units_; }

    // The total as a single amount, when it lies in an amount's range.
    std::optional<Money> toMoney() const;
    // The nearest number in yuan, for drawing (never for adding up).
    double toDouble() const { return static_cast<double>(units_) / 10000.0; }

    // The same forms as Money's.
    QString toGrouped() const;
    QString toPlain() const;

private:
    __int128 units_ = 0;
};
