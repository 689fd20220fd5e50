#include "analytics/TLYDecimal.h"

#include <gtest/gtest.h>

namespace {

TLYDecimal dec(const char *text)
{
    return TLYDecimal::fromString(QString::fromLatin1(text));
}

} // namespace

TEST(TLYDecimalTest, ParsesTextExactly)
{
    const struct
    {
        const char *text;
        const char *expected;
    } cases[] = {
        {"9.99", "9.99"},
        {"-12.50", "-12.5"},
        {"+3", "3"},
        {"1e6", "1000000"},
        {"2.5E-3", "0.0025"},
        {" 42 ", "42"},
        {".5", "0.5"},
        {"5.", "5"},
        {"007.100", "7.1"},
        {"0.000", "0"},
        {"340282366920938463463374607431768211455", "340282366920938463463374607431768211455"},
        // Forty digits no longer fit the mantissa: rounded half up at the last one kept.
        {"1234567890123456789012345678901234567895", "1234567890123456789012345678901234567900"},
        {"1e-200", "0"},
        {"1e200", "NaN"},
        {"", "NaN"},
        {"abc", "NaN"},
        {"1e", "NaN"},
        {"1.2.3", "NaN"},
        {"12abc", "NaN"},
        {"NaN", "NaN"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(dec(c.text).toString(), QString::fromLatin1(c.expected)) << c.text;
}

TEST(TLYDecimalTest, MultipliesExactly)
{
    const TLYDecimal micros = dec("9.99").multipliedBy(dec("1000000"));
    EXPECT_EQ(micros, TLYDecimal(9990000));
    EXPECT_EQ(micros.toString(), "9990000");
    EXPECT_TRUE(micros.isInteger());
    EXPECT_EQ(micros.toJsonValue(), QJsonValue(qint64(9990000)));

    EXPECT_EQ(dec("0.1").multipliedBy(TLYDecimal(3)), dec("0.3"));
    EXPECT_EQ(dec("-1.5").multipliedBy(dec("-2")).toString(), "3");
    EXPECT_EQ(dec("0.0000001").multipliedBy(dec("1000000")).toString(), "0.1");
    EXPECT_EQ(dec("0.0000001").multipliedBy(dec("1000000")).toJsonValue(), QJsonValue(0.1));
    EXPECT_TRUE(TLYDecimal::maximum().multipliedBy(TLYDecimal(10)).isNaN());
    EXPECT_TRUE(TLYDecimal::notANumber().multipliedBy(TLYDecimal(1)).isNaN());
    EXPECT_EQ(TLYDecimal::maximum().multipliedByPowerOf10(-6).multipliedBy(dec("1000000")),
              TLYDecimal::maximum());
}

TEST(TLYDecimalTest, ComparesAcrossScales)
{
    EXPECT_EQ(dec("1.50"), dec("1.5"));
    EXPECT_LT(dec("9.99"), TLYDecimal(10));
    EXPECT_LT(TLYDecimal(-1), dec("0.5"));
    EXPECT_LT(dec("-2"), dec("-1.5"));
    EXPECT_GT(dec("1e-5"), TLYDecimal());
    EXPECT_EQ(dec("-0"), TLYDecimal());
    EXPECT_EQ(TLYDecimal(std::numeric_limits<qint64>::min()).toString(), "-9223372036854775808");

    const TLYDecimal max = TLYDecimal::maximum();
    EXPECT_GT(max, max.multipliedByPowerOf10(-1));
    EXPECT_GT(max, dec("340282366920938463463374607431768211454e127"));

    const TLYDecimal nan = TLYDecimal::notANumber();
    EXPECT_EQ(nan, TLYDecimal::notANumber());
    EXPECT_NE(nan, TLYDecimal());
    EXPECT_EQ(nan <=> TLYDecimal(), std::partial_ordering::unordered);
    EXPECT_FALSE(nan > max);
}
