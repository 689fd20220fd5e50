#include "analytics/TLYCrashEvent.h"
#include "analytics/TLYCustomEvent.h"
#include "analytics/TLYLifecycleEvent.h"
#include "analytics/TLYPredefinedEvent.h"

#include "foundation/Log.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <memory>

namespace {

QVariantMap numbered(int count)
{
    QVariantMap map;
    for (int i = 0; i < count; ++i)
        map.insert(QStringLiteral("k%1").arg(i, 2, 10, QChar(u'0')), i);
    return map;
}

Notification notification(const char *name)
{
    Notification n;
    n.name = QString::fromLatin1(name);
    return n;
}

} // namespace

TEST(TLYEventTest, KindsHaveTheirNamesAndFlushRules)
{
    const QDateTime crashed(QDate(2023, 5, 6), QTime(7, 8, 9), Qt::UTC);
    const struct
    {
        std::shared_ptr<const TLYEvent> event;
        const char *name;
        bool triggersFlush;
    } cases[] = {
        {std::make_shared<TLYEvent>(), "unknown", false},
        {std::make_shared<TLYCustomEvent>("Opened", QVariantMap()), "custom", false},
        {TLYPredefinedEvent::searchEventWithQuery("q", {}), "predefined", false},
        {std::make_shared<TLYCrashEvent>(crashed, 1), "app_crashed", false},
        {TLYLifecycleEvent::installEvent(), "app_installed", true},
        {TLYLifecycleEvent::appLaunchedEvent(), "app_launched", false},
        {TLYLifecycleEvent::eventWithNotification(
             notification("NSApplicationWillTerminateNotification")),
         "app_terminated", false},
        {TLYLifecycleEvent::eventWithNotification(
             notification("NSApplicationWillResignActiveNotification")),
         "app_became_inactive", true},
        {TLYLifecycleEvent::eventWithNotification(
             notification("NSApplicationDidBecomeActiveNotification")),
         "app_became_active", true},
        {TLYLifecycleEvent::eventWithNotification(notification("NSApplicationDidHideNotification")),
         "unknown-notification", false},
    };
    const QRegularExpression uuid("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$");
    for (const auto &c : cases) {
        EXPECT_EQ(c.event->name(), c.name);
        EXPECT_EQ(c.event->triggersFlush(), c.triggersFlush) << c.name;
        EXPECT_TRUE(uuid.match(c.event->identifier()).hasMatch()) << c.name;
    }
    EXPECT_NE(cases[0].event->identifier(), cases[1].event->identifier());
    EXPECT_EQ(cases[3].event->timestamp(), crashed);
    EXPECT_LE(cases[1].event->timestamp(), QDateTime::currentDateTimeUtc());
    EXPECT_TRUE(cases[0].event->dictionaryRepresentation().isEmpty());
    EXPECT_EQ(cases[4].event->dictionaryRepresentation(),
              (QVariantMap{{"eventId", cases[4].event->identifier()}}));
}

TEST(TLYEventTest, CrashStateNamesTheApplicationState)
{
    const struct
    {
        uint state;
        const char *text;
    } cases[] = {{0, "unknown"}, {1, "foreground"}, {2, "background"}, {3, "unknown"}};
    for (const auto &c : cases) {
        const TLYCrashEvent event(QDateTime::currentDateTimeUtc(), c.state);
        EXPECT_EQ(event.dictionaryRepresentation(),
                  (QVariantMap{{"eventId", event.identifier()}, {"crash_state", c.text}}));
    }
}

TEST(TLYEventTest, CustomEventValidatesEachTimeItIsRepresented)
{
    const TLYCustomEvent empty("Opened", {});
    EXPECT_EQ(empty.dictionaryRepresentation(),
              (QVariantMap{{"eventId", empty.identifier()},
                           {"custom_type", "Opened"},
                           {"custom_attributes", QVariantMap()}}));
    EXPECT_EQ(empty.description(), "<TLYCustomEvent: Opened\n{}>");

    const TLYCustomEvent crowded("Crowded", numbered(25));
    EXPECT_EQ(crowded.customAttributes().size(), 25);
    LogCapture capture;
    EXPECT_EQ(crowded.dictionaryRepresentation().value("custom_attributes"), numbered(21));
    EXPECT_EQ(capture.lines().size(), 4);
    crowded.description();
    EXPECT_EQ(capture.lines().size(), 8);
}

TEST(TLYEventTest, PredefinedEventCarriesBothDictionaries)
{
    const auto event = TLYPredefinedEvent::purchaseEventWithPrice(
        TLYDecimal::fromString(u"12.5"), "EUR", false, "Pen", "tool", "p-1", {{"shop", "web"}});
    const QVariantMap payload = event->dictionaryRepresentation();
    EXPECT_EQ(payload.value("eventId"), event->identifier());
    EXPECT_EQ(payload.value("predefined_type"), "purchase");
    EXPECT_EQ(payload.value("custom_attributes"), (QVariantMap{{"shop", "web"}}));
    EXPECT_EQ(payload.value("predefined_attributes").toMap().value("item_price"),
              QVariant::fromValue(TLYDecimal(12500000)));
    EXPECT_EQ(payload.value("predefined_attributes").toMap().value("success"), "false");
    EXPECT_EQ(event->description(),
              "<TLYPredefinedEvent: purchase\n"
              R"({"currency":"EUR","item_id":"p-1","item_name":"Pen","item_price":12500000,)"
              R"("item_type":"tool","success":"false"})"
              "\n"
              R"({"shop":"web"})"
              ">");
}
