#include "analytics/Tally.h"
#include "analytics/TLYPredefinedEvent.h"

#include "foundation/Log.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <vector>

namespace {

class RecordingController : public TLYTallyControllerInterface
{
public:
    void logEvent(std::shared_ptr<const TLYEvent> event) override
    {
        std::lock_guard lock(mutex);
        events.push_back(std::move(event));
    }
    void logCrashEvent(std::shared_ptr<const TLYCrashEvent> event) override
    {
        std::lock_guard lock(mutex);
        crashEvents.push_back(std::move(event));
    }

    std::mutex mutex;
    std::vector<std::shared_ptr<const TLYEvent>> events;
    std::vector<std::shared_ptr<const TLYCrashEvent>> crashEvents;
};

class TallyTest : public testing::Test
{
protected:
    void SetUp() override { Tally::sharedInstance().setTallyController(controller); }
    void TearDown() override { Tally::sharedInstance().setTallyController(nullptr); }

    std::shared_ptr<RecordingController> controller = std::make_shared<RecordingController>();
};

TLYDecimal dec(const char *text)
{
    return TLYDecimal::fromString(QString::fromLatin1(text));
}

QVariant micros(qint64 value)
{
    return QVariant::fromValue(TLYDecimal(value));
}

} // namespace

TEST_F(TallyTest, PredefinedOperationsReachTheController)
{
    const QVariantMap custom{{"screen", "main"}};
    const struct
    {
        std::function<void()> record;
        const char *type;
        QVariantMap attributes;
    } cases[] = {
        {[&] { Tally::logSignUpWithMethod("mail", true, custom); },
         "sign_up",
         {{"method", "mail"}, {"success", "true"}}},
        {[&] { Tally::logLoginWithMethod("mail", false, custom); },
         "login",
         {{"method", "mail"}, {"success", "false"}}},
        {[&] { Tally::logShareWithMethod("link", "Logo", "drawing", "d1", custom); },
         "share",
         {{"method", "link"},
          {"content_name", "Logo"},
          {"content_type", "drawing"},
          {"content_id", "d1"}}},
        {[&] { Tally::logInviteWithMethod("mail", custom); }, "invite", {{"method", "mail"}}},
        {[&] {
             Tally::logPurchaseWithPrice(dec("9.99"), "EUR", true, "Pro", "upgrade", "p1", custom);
         },
         "purchase",
         {{"item_price", micros(9990000)},
          {"currency", "EUR"},
          {"success", "true"},
          {"item_name", "Pro"},
          {"item_type", "upgrade"},
          {"item_id", "p1"}}},
        {[&] { Tally::logLevelStart("one", custom); }, "level_start", {{"level_name", "one"}}},
        {[&] { Tally::logLevelEnd("one", 250, false, custom); },
         "level_end",
         {{"level_name", "one"}, {"score", 250}, {"success", "false"}}},
        {[&] { Tally::logAddToCartWithPrice(dec("0.5"), "USD", "Pen", "tool", "t1", custom); },
         "add_to_cart",
         {{"item_price", micros(500000)},
          {"currency", "USD"},
          {"item_name", "Pen"},
          {"item_type", "tool"},
          {"item_id", "t1"}}},
        {[&] { Tally::logStartCheckoutWithPrice(dec("20"), "USD", 3, custom); },
         "start_checkout",
         {{"total_price", micros(20000000)}, {"currency", "USD"}, {"item_count", 3}}},
        {[&] { Tally::logRating(4, "Logo", "drawing", "d1", custom); },
         "rating",
         {{"rating", 4},
          {"content_name", "Logo"},
          {"content_type", "drawing"},
          {"content_id", "d1"}}},
        {[&] { Tally::logContentViewWithName("Logo", "drawing", "d1", custom); },
         "content_view",
         {{"content_name", "Logo"}, {"content_type", "drawing"}, {"content_id", "d1"}}},
        {[&] { Tally::logSearchWithQuery("stars", custom); }, "search", {{"query", "stars"}}},
        // Absent arguments leave their attributes out.
        {[&] { Tally::logPurchaseWithPrice(std::nullopt, {}, {}, {}, {}, {}, custom); },
         "purchase",
         {}},
    };

    for (const auto &c : cases) {
        controller->events.clear();
        c.record();
        ASSERT_EQ(controller->events.size(), 1u) << c.type;
        const auto *event = dynamic_cast<const TLYPredefinedEvent *>(controller->events[0].get());
        ASSERT_NE(event, nullptr) << c.type;
        const QVariantMap payload = event->dictionaryRepresentation();
        EXPECT_EQ(payload.value("predefined_type"), c.type);
        EXPECT_EQ(payload.value("predefined_attributes"), c.attributes) << c.type;
        EXPECT_EQ(payload.value("custom_attributes"), custom) << c.type;
    }
    EXPECT_TRUE(controller->crashEvents.empty());
}

TEST_F(TallyTest, CustomEventKeepsNameAndRawAttributes)
{
    Tally::logCustomEventWithName("Opened Store");
    Tally::logCustomEventWithName("Shared", {{"via", "mail"}});
    ASSERT_EQ(controller->events.size(), 2u);
    const auto &first = controller->events[0];
    EXPECT_EQ(first->name(), "custom");
    EXPECT_EQ(first->dictionaryRepresentation(),
              (QVariantMap{{"eventId", first->identifier()},
                           {"custom_type", "Opened Store"},
                           {"custom_attributes", QVariantMap()}}));
    EXPECT_EQ(controller->events[1]->dictionaryRepresentation().value("custom_attributes"),
              (QVariantMap{{"via", "mail"}}));
}

TEST_F(TallyTest, ACustomEventWithoutANameIsDroppedWithALineAnEmptyNameIsKept)
{
    LogCapture capture;
    Tally::logCustomEventWithName(QString());
    EXPECT_TRUE(controller->events.empty());
    EXPECT_EQ(capture.count("[Tally] Custom events need a name. Ignoring event."), 1);

    Tally::logCustomEventWithName("");
    ASSERT_EQ(controller->events.size(), 1u);
    EXPECT_EQ(controller->events[0]->dictionaryRepresentation().value("custom_type"), "");
}

TEST_F(TallyTest, PreviousSessionCrashGoesToTheCrashEntry)
{
    const QDateTime when(QDate(2024, 3, 1), QTime(12, 0), Qt::UTC);
    Tally::logPreviousSessionCrashedOnDate(QDateTime());
    Tally::logPreviousSessionCrashedOnDate(when);
    EXPECT_TRUE(controller->events.empty());
    ASSERT_EQ(controller->crashEvents.size(), 1u);
    EXPECT_EQ(controller->crashEvents[0]->crashState(), 0u);
    EXPECT_EQ(controller->crashEvents[0]->timestamp(), when);
    EXPECT_EQ(controller->crashEvents[0]->dictionaryRepresentation().value("crash_state"),
              "unknown");
}

TEST_F(TallyTest, WithoutControllerEventsAreDroppedSilently)
{
    Tally::sharedInstance().setTallyController(nullptr);
    LogCapture capture;
    Tally::logCustomEventWithName("Lost");
    Tally::logSearchWithQuery("lost");
    Tally::logPreviousSessionCrashedOnDate(QDateTime::currentDateTimeUtc());
    EXPECT_TRUE(capture.lines().isEmpty());
    EXPECT_TRUE(controller->events.empty());
    EXPECT_TRUE(controller->crashEvents.empty());
}
