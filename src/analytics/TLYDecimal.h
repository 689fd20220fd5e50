#pragma once

#include <QJsonValue>
#include <QMetaType>
#include <QString>
#include <QStringView>

#include <compare>

// An exact decimal number: sign, a 128-bit unsigned mantissa and a base-10
// exponent in [-128, 127], or "not a number". Prices travel as these so that
// 9.99 stays 9.99 and becomes exactly 9990000 micro-units; binary floating
// point cannot promise that. Results that need more than the mantissa's 39
// digits are rounded half up; results beyond the largest value are NaN.
class TLYDecimal
{
public:
    static constexpr int MaximumExponent = 127;
    static constexpr int MinimumExponent = -128;

    TLYDecimal() = default; // zero
    explicit TLYDecimal(qint64 value);

    // Text such as "9.99", "-12.5", "1e6" or "2.5E-3" (surrounding white
    // space allowed); anything else, or a value out of range, gives NaN.
    static TLYDecimal fromString(QStringView text);
    static TLYDecimal notANumber();
    // (2^128 - 1) x 10^127.
    static TLYDecimal maximum();

    bool isNaN() const { return m_nan; }
    bool isZero() const { return !m_nan && m_mantissa == 0; }
    bool isNegative() const { return m_negative && !isZero(); }
    bool isInteger() const;

    TLYDecimal multipliedBy(const TLYDecimal &other) const;
    TLYDecimal multipliedByPowerOf10(int power) const;

    // Unordered when either side is NaN.
    std::partial_ordering compare(const TLYDecimal &other) const;
    std::partial_ordering operator<=>(const TLYDecimal &other) const { return compare(other); }
    // Equal values regardless of scale (1.50 == 1.5); NaN equals NaN so that
    // a stored NaN can be recognised, as the value rules require.
    bool operator==(const TLYDecimal &other) const;

    // Shortest plain form without exponent: "9990000", "12.5", "-0.001", "NaN".
    QString toString() const;
    double toDouble() const;
    // An integer when the value is one that fits 64 bits, else a double.
    QJsonValue toJsonValue() const;

private:
    unsigned __int128 m_mantissa = 0;
    int m_exponent = 0;
    bool m_negative = false;
    bool m_nan = false;

    static TLYDecimal fromParts(bool negative, unsigned __int128 mantissa, int exponent);
};

Q_DECLARE_METATYPE(TLYDecimal)
