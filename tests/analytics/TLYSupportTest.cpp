#include "analytics/TLYActivity.h"
#include "analytics/TLYApplication.h"
#include "analytics/TLYLogger.h"
#include "analytics/TLYTimer.h"

#include "foundation/Log.h"
#include "foundation/OperationQueue.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <future>

using namespace std::chrono_literals;

namespace {

// An operation that runs until the test lets it finish.
class GateOperation : public Operation
{
public:
    void open() { m_gate.set_value(); }

protected:
    void main() override { m_gate.get_future().wait(); }

private:
    std::promise<void> m_gate;
};

} // namespace

TEST(TLYLoggerTest, DebugLinesAppearOnlyInDebugMode)
{
    LogCapture log;
    TLYLogger &logger = TLYLogger::sharedLogger();
    logger.setDebugMode(false);
    logger.log("Initialized");
    logger.logWithLabel("WriteOperation", QStringLiteral("Failed to close file, error: %1").arg(5));
    EXPECT_TRUE(log.lines().isEmpty());

    logger.setDebugMode(true);
    logger.log("Initialized");
    logger.logWithLabel("WriteOperation", QStringLiteral("Failed to close file, error: %1").arg(5));
    logger.setDebugMode(false);
    EXPECT_EQ(log.lines(), QStringList({"[Tally] Initialized",
                                        "[Tally:WriteOperation] Failed to close file, error: 5"}));
}

TEST(TLYActivityTest, ActivitiesHoldQuittingUntilEachHasEndedOnce)
{
    ASSERT_TRUE(TLYActivity::waitForActivitiesToEnd(0ms));
    auto first =
        TLYActivity::beginActivity("io.tally.RecordEvent", TLYActivity::RecordEventOptions);
    auto second =
        TLYActivity::beginActivity("io.tally.RotateAndSubmit", TLYActivity::RotateOptions);
    EXPECT_EQ(first->options(), 0xC000u);
    EXPECT_EQ(second->options(), 0xC0FFu);
    EXPECT_EQ(first->backgroundTaskIdentifier(), 0u);

    first->end();
    first->end(); // a second end gives nothing back
    EXPECT_FALSE(first->isActive());
    EXPECT_FALSE(TLYActivity::waitForActivitiesToEnd(0ms));
    EXPECT_FALSE(TLYActivity::waitForActivitiesToEnd(20ms)); // bounded: gives up

    // Released without an explicit end, the activity ends.
    second.reset();
    EXPECT_TRUE(TLYActivity::waitForActivitiesToEnd(0ms));

    // A background activity alone does not hold quitting.
    const auto background =
        TLYActivity::beginActivity("background", TLYActivity::BackgroundActivity);
    EXPECT_TRUE(background->isActive());
    EXPECT_TRUE(TLYActivity::waitForActivitiesToEnd(0ms));

    bool ran = false;
    TLYActivity::performActivity("block", TLYActivity::RecordEventOptions, [&] {
        ran = true;
        EXPECT_FALSE(TLYActivity::waitForActivitiesToEnd(0ms));
    });
    EXPECT_TRUE(ran);
    EXPECT_TRUE(TLYActivity::waitForActivitiesToEnd(0ms));
}

TEST(TLYActivityTest, AWaitEndsWhenTheLastActivityEndsOnAnotherThread)
{
    auto activity = TLYActivity::beginActivity("io.tally.RecordEvent", 0xC000);
    std::thread ender([&] { activity->end(); });
    // However the two threads interleave, the wait sees the end.
    EXPECT_TRUE(TLYActivity::waitForActivitiesToEnd(std::chrono::minutes(1)));
    ender.join();
}

TEST(TLYActivityTest, AnActivityOperationEndsItsActivityAfterAllItDependsOn)
{
    OperationQueue queue("activity test", OperationQueue::DefaultMaxConcurrentOperationCount);
    const auto a = std::make_shared<GateOperation>();
    const auto b = std::make_shared<GateOperation>();
    const auto activity = TLYActivityOperation::operationByStartingActivityName(
        "io.tally.RecordEvent", TLYActivity::RecordEventOptions);
    activity->addDependency(a);
    activity->addDependency(b);
    queue.addOperation(a);
    queue.addOperation(b);
    queue.addOperation(activity);

    a->open();
    a->waitUntilFinished();
    EXPECT_TRUE(activity->activity()->isActive());
    EXPECT_FALSE(TLYActivity::waitForActivitiesToEnd(0ms));

    b->open();
    activity->waitUntilFinished();
    EXPECT_FALSE(activity->activity()->isActive());
    EXPECT_TRUE(TLYActivity::waitForActivitiesToEnd(0ms));
}

TEST(TLYTimerTest, RepeatsOnItsQueueUntilDiscarded)
{
    OperationQueue queue("timer test", 1);
    std::atomic<int> runs = 0;
    std::promise<void> thirdRun;
    auto timer = std::make_unique<TLYTimer>(0.005, queue, "io.tally.TimedEventsFlush", [&] {
        EXPECT_EQ(OperationQueue::currentQueue(), &queue);
        if (++runs == 3)
            thirdRun.set_value();
    });
    EXPECT_EQ(timer->timerIdentifier(), "io.tally.TimedEventsFlush");
    ASSERT_EQ(thirdRun.get_future().wait_for(std::chrono::minutes(1)), std::future_status::ready);

    timer.reset();
    queue.waitUntilAllOperationsAreFinished();
    const int finalRuns = runs;
    EXPECT_GE(finalRuns, 3);
    // The timer's thread is gone: nothing can add the block any more.
    EXPECT_EQ(queue.operationCount(), 0);
    EXPECT_EQ(runs, finalRuns);
}

TEST(TLYTimerTest, ToleranceIsATenthOfTheInterval)
{
    OperationQueue queue("timer test", 1);
    bool ran = false;
    {
        // Discarded long before it could fire; the destructor does not wait.
        TLYTimer timer(600, queue, "flush", [&] { ran = true; });
        EXPECT_EQ(timer.timeInterval(), 600);
        EXPECT_EQ(timer.tolerance(), 60);
    }
    TLYTimer never(0, queue, "off", [&] { ran = true; });
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_FALSE(ran);
}

TEST(TLYApplicationTest, ReadsTheInformationDictionary)
{
    const TLYApplication host = TLYApplication::hostApplication();
    EXPECT_EQ(host.bundleIdentifier(), "com.ferrowby.Quillmoor");
    EXPECT_FALSE(host.bundleVersion().isEmpty());
    EXPECT_FALSE(host.shortVersionString().isEmpty());
    EXPECT_FALSE(host.isExtension());
    EXPECT_EQ(host.appSharedInstance(), QCoreApplication::instance());

    const TLYApplication extension(
        {{"NSExtension", QVariantMap{{"NSExtensionPointIdentifier", "com.example.share"}}}});
    EXPECT_TRUE(extension.isExtension());
    EXPECT_EQ(extension.extensionPointIdentifier(), "com.example.share");
    EXPECT_EQ(extension.appSharedInstance(), nullptr);
}

TEST(TLYApplicationTest, MalformedExtensionEntriesAreLoggedAndMeanNoExtension)
{
    LogCapture log;
    const TLYApplication lacking({{"NSExtension", QVariantMap{{"Other", 1}}}});
    EXPECT_FALSE(lacking.isExtension());
    EXPECT_TRUE(log.contains("Error: NSExtensionPointIdentifier Info.plist entry is mal-formed\n"));

    const TLYApplication text({{"NSExtension", "share"}});
    EXPECT_FALSE(text.extensionDefinitionDictionary().has_value());
    EXPECT_FALSE(text.isExtension());
    EXPECT_TRUE(log.contains("Error: NSExtension Info.plist entry is mal-formed share\n"));
}
