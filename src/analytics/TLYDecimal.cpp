#include "TLYDecimal.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

namespace {

using u128 = unsigned __int128;

// A 256-bit unsigned integer, enough for the product of two mantissas and
// for lining up two mantissas of the same magnitude.
struct Wide
{
    std::array<std::uint64_t, 4> limbs{}; // least significant first

    static Wide from(u128 value)
    {
        Wide w;
        w.limbs[0] = std::uint64_t(value);
        w.limbs[1] = std::uint64_t(value >> 64);
        return w;
    }

    bool isZero() const { return (limbs[0] | limbs[1] | limbs[2] | limbs[3]) == 0; }
    bool fits128() const { return limbs[2] == 0 && limbs[3] == 0; }
    u128 low128() const { return (u128(limbs[1]) << 64) | limbs[0]; }

    // Returns false when the result does not fit 256 bits.
    bool multiplyAdd(std::uint64_t factor, std::uint64_t addend)
    {
        u128 carry = addend;
        for (std::uint64_t &limb : limbs) {
            const u128 v = u128(limb) * factor + carry;
            limb = std::uint64_t(v);
            carry = v >> 64;
        }
        return carry == 0;
    }

    // Divides by 10 and returns the remainder.
    int divideBy10()
    {
        u128 remainder = 0;
        for (int i = 3; i >= 0; --i) {
            const u128 v = (remainder << 64) | limbs[i];
            limbs[i] = std::uint64_t(v / 10);
            remainder = v % 10;
        }
        return int(remainder);
    }

    std::strong_ordering operator<=>(const Wide &other) const
    {
        for (int i = 3; i >= 0; --i) {
            if (limbs[i] != other.limbs[i])
                return limbs[i] <=> other.limbs[i];
        }
        return std::strong_ordering::equal;
    }
    bool operator==(const Wide &other) const = default;

    static Wide product(u128 a, u128 b)
    {
        const std::uint64_t x[2] = {std::uint64_t(a), std::uint64_t(a >> 64)};
        const std::uint64_t y[2] = {std::uint64_t(b), std::uint64_t(b >> 64)};
        Wide w;
        for (int i = 0; i < 2; ++i) {
            u128 carry = 0;
            for (int j = 0; j < 2; ++j) {
                const u128 v = u128(x[i]) * y[j] + w.limbs[i + j] + carry;
                w.limbs[i + j] = std::uint64_t(v);
                carry = v >> 64;
            }
            w.limbs[i + 2] = std::uint64_t(carry);
        }
        return w;
    }
};

constexpr u128 MaximumMantissa = std::numeric_limits<u128>::max();

int digitCount(u128 value)
{
    int count = 1;
    while (value >= 10) {
        value /= 10;
        ++count;
    }
    return count;
}

// Brings a wide mantissa and its exponent into the representable range,
// rounding half up where digits must go. False on overflow.
bool normalize(Wide &mantissa, int &exponent)
{
    const auto inRange = [&] {
        return mantissa.fits128() && exponent >= TLYDecimal::MinimumExponent;
    };
    while (!inRange() && !mantissa.isZero()) {
        const int dropped = mantissa.divideBy10();
        ++exponent;
        if (inRange() && dropped >= 5)
            mantissa.multiplyAdd(1, 1); // may overflow again; the loop goes on
    }
    if (mantissa.isZero()) {
        exponent = 0;
        return true;
    }
    while (exponent > TLYDecimal::MaximumExponent) {
        Wide scaled = mantissa;
        scaled.multiplyAdd(10, 0);
        if (!scaled.fits128())
            return false;
        mantissa = scaled;
        --exponent;
    }
    return true;
}

QString mantissaDigits(u128 value)
{
    if (value == 0)
        return QStringLiteral("0");
    QString digits;
    while (value != 0) {
        digits.prepend(QChar(u'0' + int(value % 10)));
        value /= 10;
    }
    return digits;
}

} // namespace

TLYDecimal::TLYDecimal(qint64 value)
    : m_mantissa(value < 0 ? u128(-(value + 1)) + 1 : u128(value))
    , m_negative(value < 0)
{}

TLYDecimal TLYDecimal::fromParts(bool negative, unsigned __int128 mantissa, int exponent)
{
    TLYDecimal result;
    result.m_negative = negative;
    result.m_mantissa = mantissa;
    result.m_exponent = exponent;
    return result;
}

TLYDecimal TLYDecimal::notANumber()
{
    TLYDecimal result;
    result.m_nan = true;
    return result;
}

TLYDecimal TLYDecimal::maximum()
{
    return fromParts(false, MaximumMantissa, MaximumExponent);
}

TLYDecimal TLYDecimal::fromString(QStringView text)
{
    text = text.trimmed();
    qsizetype i = 0;
    const auto atDigit = [&] { return i < text.size() && text[i] >= u'0' && text[i] <= u'9'; };

    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';

    // Sixty significant digits are kept exactly; normalize() rounds at the
    // fortieth, so the digits beyond cannot change the result.
    constexpr int KeptDigits = 60;
    Wide mantissa;
    int kept = 0;
    long long exponent = 0;
    int digits = 0;
    const auto takeDigit = [&](bool fraction) {
        const int digit = text[i++].digitValue();
        ++digits;
        if (kept == 0 && digit == 0) {
            exponent -= fraction ? 1 : 0;
        } else if (kept < KeptDigits) {
            mantissa.multiplyAdd(10, std::uint64_t(digit));
            ++kept;
            exponent -= fraction ? 1 : 0;
        } else if (!fraction) {
            ++exponent;
        }
    };
    while (atDigit())
        takeDigit(false);
    if (i < text.size() && text[i] == u'.') {
        ++i;
        while (atDigit())
            takeDigit(true);
    }
    if (digits == 0)
        return notANumber();

    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
            negativeExponent = text[i++] == u'-';
        if (!atDigit())
            return notANumber();
        long long written = 0;
        while (atDigit())
            written = std::min(written * 10 + text[i++].digitValue(), 1'000'000LL);
        exponent += negativeExponent ? -written : written;
    }
    if (i != text.size())
        return notANumber();

    // normalize() settles any exponent within a few dozen steps; the clamp
    // only keeps absurd written exponents inside an int.
    int e = int(std::clamp(exponent, -100'000LL, 100'000LL));
    if (!normalize(mantissa, e))
        return notANumber();
    return fromParts(negative, mantissa.low128(), e);
}

bool TLYDecimal::isInteger() const
{
    if (m_nan)
        return false;
    if (m_exponent >= 0 || m_mantissa == 0)
        return true;
    u128 m = m_mantissa;
    for (int e = m_exponent; e < 0; ++e) {
        if (m % 10 != 0)
            return false;
        m /= 10;
    }
    return true;
}

TLYDecimal TLYDecimal::multipliedBy(const TLYDecimal &other) const
{
    if (m_nan || other.m_nan)
        return notANumber();
    Wide product = Wide::product(m_mantissa, other.m_mantissa);
    int exponent = m_exponent + other.m_exponent;
    if (!normalize(product, exponent))
        return notANumber();
    return fromParts(m_negative != other.m_negative, product.low128(), exponent);
}

TLYDecimal TLYDecimal::multipliedByPowerOf10(int power) const
{
    if (m_nan)
        return notANumber();
    Wide mantissa = Wide::from(m_mantissa);
    int exponent = int(std::clamp((long long)m_exponent + power, -100'000LL, 100'000LL));
    if (!normalize(mantissa, exponent))
        return notANumber();
    return fromParts(m_negative, mantissa.low128(), exponent);
}

std::partial_ordering TLYDecimal::compare(const TLYDecimal &other) const
{
    if (m_nan || other.m_nan)
        return std::partial_ordering::unordered;
    if (isZero() && other.isZero())
        return std::partial_ordering::equivalent;
    if (isNegative() != other.isNegative() || isZero() || other.isZero()) {
        const auto sign = [](const TLYDecimal &d) {
            return d.isZero() ? 0 : d.isNegative() ? -1 : 1;
        };
        return sign(*this) <=> sign(other);
    }

    // Same sign, both non-zero: compare magnitudes, first by the position of
    // the leading digit, then digit by digit at a common exponent.
    std::strong_ordering magnitude = std::strong_ordering::equal;
    const int leadingThis = digitCount(m_mantissa) + m_exponent;
    const int leadingOther = digitCount(other.m_mantissa) + other.m_exponent;
    if (leadingThis != leadingOther) {
        magnitude = leadingThis <=> leadingOther;
    } else {
        Wide a = Wide::from(m_mantissa);
        Wide b = Wide::from(other.m_mantissa);
        for (int e = m_exponent; e > other.m_exponent; --e)
            a.multiplyAdd(10, 0);
        for (int e = other.m_exponent; e > m_exponent; --e)
            b.multiplyAdd(10, 0);
        magnitude = a <=> b;
    }
    return isNegative() ? 0 <=> magnitude : magnitude <=> 0;
}

bool TLYDecimal::operator==(const TLYDecimal &other) const
{
    if (m_nan || other.m_nan)
        return m_nan && other.m_nan;
    return compare(other) == std::partial_ordering::equivalent;
}

QString TLYDecimal::toString() const
{
    if (m_nan)
        return QStringLiteral("NaN");
    if (m_mantissa == 0)
        return QStringLiteral("0");

    u128 mantissa = m_mantissa;
    int exponent = m_exponent;
    while (exponent < 0 && mantissa % 10 == 0) {
        mantissa /= 10;
        ++exponent;
    }
    QString digits = mantissaDigits(mantissa);
    if (exponent >= 0) {
        digits.append(QString(exponent, u'0'));
    } else {
        const int fractionDigits = -exponent;
        if (digits.size() <= fractionDigits)
            digits.prepend(QString(fractionDigits - digits.size() + 1, u'0'));
        digits.insert(digits.size() - fractionDigits, u'.');
    }
    return m_negative ? u'-' + digits : digits;
}

double TLYDecimal::toDouble() const
{
    if (m_nan)
        return std::numeric_limits<double>::quiet_NaN();
    return toString().toDouble();
}

QJsonValue TLYDecimal::toJsonValue() const
{
    if (isInteger()) {
        bool ok = false;
        const qint64 integer = toString().toLongLong(&ok);
        if (ok)
            return QJsonValue(integer);
    }
    return QJsonValue(toDouble());
}
