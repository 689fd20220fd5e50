#include "TestWaiting.h"

#include "foundation/OperationQueue.h"
#include "sdk/ORRAsyncOperation.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

// Records its state announcements; its work ends when the test says so.
class Recording : public ORRAsyncOperation
{
public:
    QStringList changes() const
    {
        std::lock_guard lock(m_mutex);
        return m_changes;
    }
    bool ranMain() const { return m_ranMain; }
    Latch started;

protected:
    QString className() const override { return QStringLiteral("Recording"); }
    void willChangeValueForKey(const QString &key) override { record("will " + key); }
    void didChangeValueForKey(const QString &key) override { record("did " + key); }
    void asyncMain() override
    {
        m_ranMain = true;
        started.set();
    }

private:
    void record(const QString &change)
    {
        std::lock_guard lock(m_mutex);
        m_changes.append(change);
    }
    mutable std::mutex m_mutex;
    QStringList m_changes;
    std::atomic<bool> m_ranMain = false;
};

} // namespace

TEST(ORRAsyncOperationTest, ExecutesUntilItsWorkFinishes)
{
    auto operation = std::make_shared<Recording>();
    EXPECT_TRUE(operation->isAsynchronous());
    EXPECT_TRUE(operation->isConcurrent());
    EXPECT_EQ(operation->lockName(), "com.tarnwell.Recording-lock");

    OperationQueue queue;
    queue.addOperation(operation);
    ASSERT_TRUE(operation->started.wait());
    EXPECT_TRUE(operation->isExecuting());
    EXPECT_FALSE(operation->isFinished());

    Error received("none", 1);
    int completions = 0;
    operation->setAsyncCompletion([&](const Error &error) {
        received = error;
        ++completions;
    });
    operation->finishWithError(Error("ORRNetworkError", -4));
    operation->finishWithError({});
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(operation->isFinished());
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(received.code(), -4);
    EXPECT_EQ(operation->changes(),
              (QStringList{"will isExecuting", "did isExecuting", "will isExecuting",
                           "did isExecuting", "will isFinished", "did isFinished"}));
}

TEST(ORRAsyncOperationTest, CancelledOperationFinishesWithoutExecuting)
{
    auto operation = std::make_shared<Recording>();
    operation->cancel();
    operation->start();
    EXPECT_TRUE(operation->isFinished());
    EXPECT_FALSE(operation->isExecuting());
    EXPECT_FALSE(operation->ranMain());
}
