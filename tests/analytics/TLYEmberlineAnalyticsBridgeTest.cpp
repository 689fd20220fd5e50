#include "EmberlineRecorder.h"

#include "analytics/TLYCrashEvent.h"
#include "analytics/TLYCustomEvent.h"
#include "analytics/TLYEmberlineAnalyticsBridge.h"
#include "analytics/TLYLifecycleEvent.h"
#include "analytics/TLYPredefinedEvent.h"

#include <gtest/gtest.h>

namespace {

using Bridge = TLYEmberlineAnalyticsBridge;

class TLYEmberlineAnalyticsBridgeTest : public testing::Test
{
protected:
    std::shared_ptr<EmberlineRecorder> recorder = std::make_shared<EmberlineRecorder>();
    Bridge bridge{std::shared_ptr<const ClassRegistry::Class>(recorder)};
};

// A class of that name that cannot take the events.
class NotEmberline : public ClassRegistry::Class
{
public:
    QString className() const override { return Bridge::EmberlineAnalyticsClassName; }
};

TLYDecimal dec(const char *text)
{
    return TLYDecimal::fromString(QString::fromLatin1(text));
}

} // namespace

TEST(TLYEmberlineAnalyticsBridge, TheLibraryIsFoundByItsClassName)
{
    ClassRegistry registry;
    const auto recorder = std::make_shared<EmberlineRecorder>();
    registry.registerClass(recorder);
    const Bridge bridge(registry);
    EXPECT_EQ(bridge.emberlineAnalytics(), recorder);
    bridge.logEvent(TLYCustomEvent("Open About Window", {}));
    EXPECT_EQ(recorder->calls(),
              (QList<EmberlineRecorder::Call>{{"orr", "Open_About_Window", {}}}));
}

TEST(TLYEmberlineAnalyticsBridge, WithoutTheLibraryNothingIsForwarded)
{
    ClassRegistry empty;
    const Bridge absent(empty);
    EXPECT_EQ(absent.emberlineAnalytics(), nullptr);
    absent.logEvent(TLYCustomEvent("Open About Window", {}));

    ClassRegistry wrong;
    wrong.registerClass(std::make_shared<NotEmberline>());
    EXPECT_EQ(Bridge(wrong).emberlineAnalytics(), nullptr);
}

TEST_F(TLYEmberlineAnalyticsBridgeTest, CustomEventNamesAreMadeValidEmberlineNames)
{
    const struct
    {
        QString name;
        QString forwarded;
    } cases[] = {
        {"Add To Cart!", "Add_To_Cart_"},
        {"1st event", "orrery_1st_event"},
        {"screen_view", "orrery_screen_view"},
        {"ea_visit", "orrery_ea_visit"},
        {"ember_x", "orrery_ember_x"},
        {"emberline_campaign", "orrery_emberline_campaign"},
        {"", "orrery_unnamed_event"},
        {"_hidden", "orrery__hidden"},
        // Unicode's letters and digits stay; others become "_".
        {"Größe – ४२", "Größe_४२"},
        {"Open About Window", "Open_About_Window"},
        {QString(60, 'x'), QString(40, 'x')},
        // A name is not cut inside a character made of two code units.
        {QString(39, 'x') + QString::fromUtf8("𝐀𝐀"), QString(39, 'x')},
    };
    for (const auto &c : cases) {
        recorder->clear();
        bridge.logEvent(TLYCustomEvent(c.name, {}));
        ASSERT_EQ(recorder->calls().size(), 1) << c.name.toStdString();
        EXPECT_EQ(recorder->calls()[0].origin, "orr");
        EXPECT_EQ(recorder->calls()[0].name, c.forwarded) << c.name.toStdString();
        EXPECT_EQ(recorder->calls()[0].parameters, QVariantMap());
    }
}

TEST_F(TLYEmberlineAnalyticsBridgeTest, CustomAttributesKeepTheirValuesUnderSanitizedKeys)
{
    // The caller's raw attributes, beyond the limits of the event's own
    // validation: an over-long value and a value of another type.
    const QVariantMap attributes{
        {"screen size", "large"}, {"", 1}, {"2nd", QString(150, 'v')}, {"when", QDate(2024, 1, 2)}};
    bridge.logEvent(TLYCustomEvent("Shared", attributes));
    ASSERT_EQ(recorder->calls().size(), 1);
    EXPECT_EQ(recorder->calls()[0].parameters, (QVariantMap{{"screen_size", "large"},
                                                            {"orrery_unnamed_parameter", 1},
                                                            {"orrery_2nd", QString(150, 'v')},
                                                            {"when", QDate(2024, 1, 2)}}));
}

TEST_F(TLYEmberlineAnalyticsBridgeTest, PredefinedEventsTakeEmberlineNamesAndParameters)
{
    const QVariantMap custom{{"screen", "main"}, {"method", "custom"}};
    const struct
    {
        TLYPredefinedEvent::Pointer event;
        QList<EmberlineRecorder::Call> forwarded;
    } cases[] = {
        {TLYPredefinedEvent::signUpEventWithMethod("mail", false, custom),
         {{"orr", "failed_sign_up", {{"screen", "main"}, {"method", "custom"}}}}},
        {TLYPredefinedEvent::loginEventWithMethod("mail", true, custom),
         {{"orr", "login", {{"screen", "main"}, {"method", "mail"}}}}},
        {TLYPredefinedEvent::purchaseEventWithPrice(dec("9.99"), "EUR", true, "Pro", "upgrade",
                                                    "p1", {}),
         {{"orr",
           "ecommerce_purchase",
           {{"value", 9.99},
            {"currency", "EUR"},
            {"item_category", "upgrade"},
            {"item_id", "p1"},
            {"item_name", "Pro"}}}}},
        {TLYPredefinedEvent::purchaseEventWithPrice(dec("9.99"), "EUR", false, "Pro", {}, {}, {}),
         {{"orr", "failed_ecommerce_purchase", {}}}},
        {TLYPredefinedEvent::levelEndEventWithLevelName("one", 250, true, {}),
         {{"orr", "level_end", {{"level_name", "one"}, {"score", 250}, {"success", 1}}},
          {"orr", "post_score", {{"level_name", "one"}, {"score", 250}, {"success", 1}}}}},
        {TLYPredefinedEvent::addToCartEventWithPrice(dec("5"), "USD", "Pen", {}, {}, {}),
         {{"orr",
           "add_to_cart",
           {{"price", 5.0},
            {"value", 5.0},
            {"quantity", 1},
            {"currency", "USD"},
            {"item_name", "Pen"}}}}},
        {TLYPredefinedEvent::shareEventWithMethod("link", "Logo", "drawing", "d1", custom),
         {{"orr",
           "share",
           {{"method", "link"},
            {"item_name", "Logo"},
            {"content_type", "drawing"},
            {"item_id", "d1"},
            {"screen", "main"}}}}},
        {TLYPredefinedEvent::startCheckoutEventWithPrice(dec("20.5"), "USD", 3, {}),
         {{"orr", "begin_checkout", {{"value", 20.5}, {"currency", "USD"}, {"quantity", 3}}}}},
        {TLYPredefinedEvent::ratingEventWithRating(4, "Logo", {}, {}, {}),
         {{"orr", "rate_content", {{"rating", 4}, {"item_name", "Logo"}}}}},
        {TLYPredefinedEvent::contentViewEventWithName("Logo", "drawing", "d1", {}),
         {{"orr",
           "select_content",
           {{"item_name", "Logo"}, {"content_type", "drawing"}, {"item_id", "d1"}}}}},
        {TLYPredefinedEvent::searchEventWithQuery("stars", {}),
         {{"orr", "search", {{"search_term", "stars"}}}}},
        {TLYPredefinedEvent::levelStartEventWithLevelName("one", {}),
         {{"orr", "level_start", {{"level_name", "one"}}}}},
        {TLYPredefinedEvent::inviteEventWithMethod("mail", {}),
         {{"orr", "invite", {{"method", "mail"}}}}},
    };
    for (const auto &c : cases) {
        const QString type = c.event->predefinedEventName();
        recorder->clear();
        bridge.logEvent(*c.event);
        EXPECT_EQ(recorder->calls(), c.forwarded) << type.toStdString();
    }
}

TEST_F(TLYEmberlineAnalyticsBridgeTest, LifecycleAndCrashEventsAreNotForwarded)
{
    bridge.logEvent(*TLYLifecycleEvent::appLaunchedEvent());
    bridge.logEvent(TLYCrashEvent(QDateTime::currentDateTimeUtc(), 1));
    EXPECT_TRUE(recorder->calls().isEmpty());
}
