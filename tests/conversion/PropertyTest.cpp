#include "conversion/WPXPropertyList.h"
#include "conversion/WPXString.h"

#include <gtest/gtest.h>

#include <cmath>

using Unit = WPXProperty::Unit;

TEST(PropertyTest, TextFormsFollowTheUnit)
{
    struct Case
    {
        WPXProperty property;
        const char *text;
    };
    const Case cases[] = {
        {WPXProperty::real(0.25, Unit::Percent), "25.0000%"},
        {WPXProperty::real(0.5, Unit::Percent), "50.0000%"},
        {WPXProperty::real(1.5, Unit::Inch), "1.5000in"},
        {WPXProperty::real(12, Unit::Point), "12.0000pt"},
        {WPXProperty::real(3.7, Unit::Twip), "3*"},
        {WPXProperty::real(0.33333, Unit::Generic), "0.3333"},
        {WPXProperty::real(0.00009, Unit::Generic), "0.0000"},
        {WPXProperty::real(-0.00009, Unit::Inch), "0.0000in"},
        {WPXProperty::real(-2.5, Unit::Generic), "-2.5000"},
        {WPXProperty::integer(-42), "-42"},
        {WPXProperty::boolean(true), "true"},
        {WPXProperty::boolean(false), "false"},
        {WPXProperty::string("#ff00aa"), "#ff00aa"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.property.getStr(), c.text);
}

TEST(PropertyTest, IntegerReadsCutTowardZero)
{
    EXPECT_EQ(WPXProperty::real(0.99, Unit::Generic).getInt(), 0);
    EXPECT_EQ(WPXProperty::real(1.0, Unit::Generic).getInt(), 1);
    EXPECT_EQ(WPXProperty::real(-1.7, Unit::Inch).getInt(), -1);
    EXPECT_EQ(WPXProperty::boolean(true).getInt(), 1);
    EXPECT_EQ(WPXProperty::string("12").getInt(), 0);
    // Damaged input must not turn into undefined behaviour.
    EXPECT_EQ(WPXProperty::real(NAN, Unit::Generic).getInt(), 0);
    EXPECT_GT(WPXProperty::real(1e300, Unit::Generic).getInt(), 0);
}

TEST(PropertyTest, ListLooksUpAndReplaces)
{
    WPXPropertyList list;
    list.insert("svg:x", 1.0);
    list.insert("svg:x", 2.0);
    list.insert("draw:fill", "solid");
    ASSERT_NE(list["svg:x"], nullptr);
    EXPECT_EQ(list["svg:x"]->getDouble(), 2.0);
    EXPECT_EQ(list["svg:y"], nullptr);
    EXPECT_EQ(list.size(), 2u);
    list.remove("svg:x");
    EXPECT_EQ(list["svg:x"], nullptr);
}

TEST(StringTest, EscapesTheFiveXmlCharactersOnly)
{
    EXPECT_EQ(WPXString("a<b & 'c'").escaped().str(), "a&lt;b &amp; &apos;c&apos;");
    EXPECT_EQ(WPXString("\"x>y\"").escaped().str(), "&quot;x&gt;y&quot;");
    EXPECT_EQ(WPXString("caf\xc3\xa9 \xe5\x96\xac").escaped().str(), "caf\xc3\xa9 \xe5\x96\xac");
    EXPECT_EQ(WPXString("caf\xc3\xa9").len(), 4u);
}
