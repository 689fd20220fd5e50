#include "analytics/TLYAttributeDictionary.h"

#include "foundation/Log.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <functional>
#include <limits>

namespace {

const QString LongKey = QString(150, u'k');
const QString Key100 = QString(100, u'k');
const QString Truncated =
    "[Tally] Maximum length for an Event attributes exceeded. Truncating to 100 characters.";

QString tooMany(const QString &entry)
{
    return "[Tally] Maximum number of Event attributes exceeded. Ignoring entry " + entry;
}
QString badKey(const QString &entry)
{
    return "[Tally] Event attribute keys must be of type NSString. Ignoring entry " + entry;
}
QString badValue(const QString &entry)
{
    return "[Tally] Event attribute values must be of type NSString or NSNumber. Ignoring entry " +
           entry;
}
QString badPrice(const QString &price)
{
    return "[Tally] Maximum value for a price attribute exceeded. Ignoring price attribute with "
           "value: " +
           price;
}

QVariant micros(qint64 value)
{
    return QVariant::fromValue(TLYDecimal(value));
}

QVariantMap numbered(int count)
{
    QVariantMap map;
    for (int i = 0; i < count; ++i)
        map.insert(QStringLiteral("k%1").arg(i, 2, 10, QChar(u'0')), i);
    return map;
}

TLYDecimal dec(const char *text)
{
    return TLYDecimal::fromString(QString::fromLatin1(text));
}

struct Case
{
    const char *what;
    std::function<TLYAttributeDictionary()> build;
    QVariantMap expected;
    QStringList log;
};

} // namespace

TEST(TLYAttributeDictionaryTest, AppliesEveryRule)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const QDateTime date(QDate(2024, 1, 2), QTime(3, 4, 5), Qt::UTC);

    const Case cases[] = {
        {"25 attributes keep the first 21",
         [] { return TLYAttributeDictionary(numbered(25)); },
         numbered(21),
         {tooMany("k21:21"), tooMany("k22:22"), tooMany("k23:23"), tooMany("k24:24")}},
        {"a full dictionary refuses a replacement too",
         [] {
             TLYAttributeDictionary d(numbered(21));
             d.addAttribute("new", "k00");
             return d;
         },
         numbered(21),
         {tooMany("k00:new")}},
        {"a 101-unit key is cut to 100",
         [] {
             TLYAttributeDictionary d;
             d.addAttribute("v", QString(101, u'k'));
             return d;
         },
         {{Key100, "v"}},
         {Truncated}},
        {"a 100-unit key is kept silently",
         [] {
             TLYAttributeDictionary d;
             d.addAttribute("v", Key100);
             return d;
         },
         {{Key100, "v"}},
         {}},
        {"a long text value is cut to 100",
         [] {
             TLYAttributeDictionary d;
             d.addAttribute(QString(150, u'v'), "k");
             return d;
         },
         {{"k", QString(100, u'v')}},
         {Truncated}},
        {"a decimal NaN removes the key",
         [] {
             TLYAttributeDictionary d;
             d.addAttribute(1, "k");
             d.addAttribute(QVariant::fromValue(TLYDecimal::notANumber()), "k");
             return d;
         },
         {},
         {}},
        {"a floating-point NaN removes the key",
         [nan] {
             TLYAttributeDictionary d;
             d.addAttribute("x", "k");
             d.addAttribute(nan, "k");
             return d;
         },
         {},
         {}},
        {"an infinity is refused",
         [inf] {
             TLYAttributeDictionary d;
             d.addAttribute(inf, "k");
             return d;
         },
         {},
         {badValue("k:inf")}},
        {"dates and lists are refused",
         [date] {
             TLYAttributeDictionary d;
             d.addAttribute(date, "when");
             d.addAttribute(QVariantList{1, 2}, "list");
             return d;
         },
         {},
         {badValue("when:2024-01-02T03:04:05.000Z"), badValue("list:[1,2]")}},
        {"a key that is not text is refused",
         [] {
             TLYAttributeDictionary d;
             d.addAttribute("v", 5);
             return d;
         },
         {},
         {badKey("5:v")}},
        {"absent values and keys are ignored silently",
         [] {
             TLYAttributeDictionary d;
             d.addAttribute(QVariant(), "k");
             d.addAttribute("v", QVariant());
             d.addBooleanAttribute(QVariant(), "b");
             d.addPriceAttribute(std::nullopt, "p");
             return d;
         },
         {},
         {}},
        {"numbers and text are kept as given",
         [] {
             TLYAttributeDictionary d;
             d.addAttribute(42, "int");
             d.addAttribute(2.5, "double");
             d.addAttribute(true, "bool");
             d.addAttribute("", "empty");
             return d;
         },
         {{"int", 42}, {"double", 2.5}, {"bool", true}, {"empty", ""}},
         {}},
        {"booleans become text",
         [] {
             TLYAttributeDictionary d;
             d.addBooleanAttribute(true, "yes");
             d.addBooleanAttribute(false, "no");
             d.addBooleanAttribute(0, "zero");
             return d;
         },
         {{"yes", "true"}, {"no", "false"}, {"zero", "false"}},
         {}},
        {"a boolean with a long key logs the cut once",
         [] {
             TLYAttributeDictionary d;
             d.addBooleanAttribute(true, LongKey);
             return d;
         },
         {{Key100, "true"}},
         {Truncated}},
        {"prices become exact micro-units",
         [] {
             TLYAttributeDictionary d;
             d.addPriceAttribute(dec("9.99"), "a");
             d.addPriceAttribute(dec("12.5"), "b");
             d.addPriceAttribute(dec("-0.01"), "c");
             return d;
         },
         {{"a", micros(9990000)}, {"b", micros(12500000)}, {"c", micros(-10000)}},
         {}},
        {"a price at the limit is kept",
         [] {
             TLYAttributeDictionary d;
             d.addPriceAttribute(TLYAttributeDictionary::maximumPrice(), "p");
             return d;
         },
         {{"p", QVariant::fromValue(TLYDecimal::maximum())}},
         {}},
        {"prices beyond the limit either way are refused",
         [] {
             TLYAttributeDictionary d;
             d.addPriceAttribute(dec("1e160"), "p");
             d.addPriceAttribute(dec("-1e160"), "n");
             return d;
         },
         {},
         {badPrice("1" + QString(160, u'0')), badPrice("-1" + QString(160, u'0'))}},
        {"a price with a long key logs the cut once",
         [] {
             TLYAttributeDictionary d;
             d.addPriceAttribute(dec("1"), LongKey);
             return d;
         },
         {{Key100, micros(1000000)}},
         {Truncated}},
    };

    for (const Case &c : cases) {
        LogCapture capture;
        const TLYAttributeDictionary dictionary = c.build();
        EXPECT_EQ(dictionary.rawDictionary(), c.expected) << c.what;
        EXPECT_EQ(capture.lines(), c.log) << c.what;
    }
}

TEST(TLYAttributeDictionaryTest, DescribesItselfAsCompactJson)
{
    TLYAttributeDictionary d;
    d.addPriceAttribute(TLYDecimal::fromString(u"9.99"), "item_price");
    d.addAttribute("EUR", "currency");
    EXPECT_EQ(d.description(), R"({"currency":"EUR","item_price":9990000})");
    EXPECT_EQ(TLYAttributeDictionary().description(), "{}");
}
