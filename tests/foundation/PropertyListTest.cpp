#include "foundation/PropertyList.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

QVariantMap sampleDictionary()
{
    return {
        {"text", QStringLiteral("grüße")},
        {"negative", -5},
        {"large", qlonglong(1) << 40},
        {"real", 2.5},
        {"flag", true},
        {"bytes", QByteArray("\x00\x01\xff", 3)},
        {"when", QDateTime(QDate(2024, 2, 29), QTime(12, 30, 15), QTimeZone::utc())},
        {"list", QVariantList{1, QStringLiteral("two"), QVariantMap{{"three", 3.0}}}},
    };
}

} // namespace

TEST(PropertyListTest, RoundTripsEveryValueKindInBothForms)
{
    for (auto format : {PropertyList::Format::Xml, PropertyList::Format::Binary}) {
        const std::optional<QByteArray> data = PropertyList::toData(sampleDictionary(), format);
        ASSERT_TRUE(data);
        const std::optional<QVariant> back = PropertyList::fromData(*data);
        ASSERT_TRUE(back);
        const QVariantMap map = back->toMap();
        EXPECT_EQ(map.value("text").toString(), QStringLiteral("grüße"));
        EXPECT_EQ(map.value("negative").toLongLong(), -5);
        EXPECT_EQ(map.value("large").toLongLong(), qlonglong(1) << 40);
        EXPECT_DOUBLE_EQ(map.value("real").toDouble(), 2.5);
        EXPECT_EQ(map.value("flag").typeId(), QMetaType::Bool);
        EXPECT_TRUE(map.value("flag").toBool());
        EXPECT_EQ(map.value("bytes").toByteArray(), QByteArray("\x00\x01\xff", 3));
        EXPECT_EQ(map.value("when").toDateTime(), sampleDictionary().value("when").toDateTime());
        const QVariantList list = map.value("list").toList();
        ASSERT_EQ(list.size(), 3);
        EXPECT_EQ(list[1].toString(), "two");
        EXPECT_DOUBLE_EQ(list[2].toMap().value("three").toDouble(), 3.0);
    }
}

TEST(PropertyListTest, XmlFormUsesTheStandardDateEpochAndTags)
{
    const QVariantMap value{{"d", QDateTime(QDate(2001, 1, 2), QTime(0, 0), QTimeZone::utc())}};
    const QByteArray xml = *PropertyList::toData(value);
    EXPECT_TRUE(xml.contains("<date>2001-01-02T00:00:00Z</date>")) << xml.constData();
    EXPECT_TRUE(xml.startsWith("<?xml"));
}

TEST(PropertyListTest, RejectsGarbageAndUnencodableValues)
{
    EXPECT_FALSE(PropertyList::fromData(QByteArray()));
    EXPECT_FALSE(PropertyList::fromData("this is not a property list"));
    EXPECT_FALSE(PropertyList::toData(QVariant()));
    EXPECT_FALSE(PropertyList::toData(QVariantMap{{"k", QVariant::fromValue(nullptr)}}));
}

TEST(PropertyListTest, WritesFilesWholeAndReadsThemBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("list.plist");
    ASSERT_TRUE(PropertyList::writeFile(path, sampleDictionary(), PropertyList::Format::Binary));
    EXPECT_EQ(PropertyList::readFile(path)->toMap().value("negative").toInt(), -5);
    EXPECT_FALSE(PropertyList::readFile(dir.filePath("missing.plist")));
    EXPECT_FALSE(PropertyList::writeFile(dir.filePath("no/such/dir/x.plist"), QVariantMap{}));
}
