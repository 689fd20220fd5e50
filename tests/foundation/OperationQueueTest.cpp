#include "foundation/OperationQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Records the order in which operations ran, from any thread.
struct Journal
{
    std::mutex mutex;
    std::vector<int> entries;
    void add(int value)
    {
        std::lock_guard lock(mutex);
        entries.push_back(value);
    }
};

// An operation that stays unfinished until the test lets it go.
class GateOperation : public Operation
{
public:
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_condition.notify_all();
    }
    std::atomic<bool> started{false};

protected:
    void main() override
    {
        started = true;
        std::unique_lock lock(m_mutex);
        m_condition.wait(lock, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_open = false;
};

class AsyncOperation : public Operation
{
public:
    bool isAsynchronous() const override { return true; }
    void complete() { finish(); }
    std::atomic<bool> mainReturned{false};

protected:
    void main() override { mainReturned = true; }
};

} // namespace

TEST(OperationQueueTest, SerialQueueRunsInOrderOneAtATime)
{
    OperationQueue queue(QStringLiteral("serial"), 1);
    Journal journal;
    std::atomic<int> running{0};
    std::atomic<int> maxRunning{0};
    for (int i = 0; i < 20; ++i) {
        queue.addOperationWithBlock([&, i] {
            const int now = ++running;
            maxRunning = std::max(maxRunning.load(), now);
            std::this_thread::sleep_for(1ms);
            journal.add(i);
            --running;
        });
    }
    queue.waitUntilAllOperationsAreFinished();
    ASSERT_EQ(journal.entries.size(), 20u);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(journal.entries[i], i);
    EXPECT_EQ(maxRunning.load(), 1);
    EXPECT_EQ(queue.operationCount(), 0);
}

TEST(OperationQueueTest, ConcurrentQueueRunsOperationsSideBySide)
{
    OperationQueue queue(QStringLiteral("concurrent"), 2);
    auto first = std::make_shared<GateOperation>();
    auto second = std::make_shared<GateOperation>();
    queue.addOperation(first);
    queue.addOperation(second);
    // Both must be running at once: neither can finish before the test opens it.
    while (!(first->started && second->started))
        std::this_thread::sleep_for(1ms);
    first->open();
    second->open();
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(first->isFinished());
    EXPECT_TRUE(second->isFinished());
}

TEST(OperationQueueTest, DependencyAcrossQueuesHoldsBackTheDependent)
{
    OperationQueue upstream(QStringLiteral("upstream"), 1);
    OperationQueue downstream(QStringLiteral("downstream"), 1);
    Journal journal;
    auto gate = std::make_shared<GateOperation>();
    auto dependent = BlockOperation::create([&] { journal.add(2); });
    dependent->addDependency(gate);
    downstream.addOperation(dependent);
    upstream.addOperation(gate);
    downstream.addOperationWithBlock([&] { journal.add(1); });

    // The later, independent operation overtakes the blocked one.
    while (journal.entries.empty())
        std::this_thread::sleep_for(1ms);
    EXPECT_FALSE(dependent->isFinished());
    gate->open();
    dependent->waitUntilFinished();
    EXPECT_EQ(journal.entries, (std::vector<int>{1, 2}));
}

TEST(OperationQueueTest, CompletionBlockRunsBeforeWaitersWake)
{
    OperationQueue queue;
    std::atomic<bool> completed{false};
    auto op = BlockOperation::create([] {});
    op->setCompletionBlock([&] { completed = true; });
    queue.addOperation(op);
    op->waitUntilFinished();
    EXPECT_TRUE(completed);
}

TEST(OperationQueueTest, CancelledOperationSkipsItsWorkButCompletes)
{
    OperationQueue queue(QStringLiteral("cancel"), 1);
    auto gate = std::make_shared<GateOperation>();
    std::atomic<bool> ran{false};
    std::atomic<bool> completed{false};
    auto victim = BlockOperation::create([&] { ran = true; });
    victim->setCompletionBlock([&] { completed = true; });
    queue.addOperation(gate);
    queue.addOperation(victim);
    victim->cancel();
    gate->open();
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_FALSE(ran);
    EXPECT_TRUE(completed);
    EXPECT_TRUE(victim->isCancelled());
    EXPECT_TRUE(victim->isFinished());
}

TEST(OperationQueueTest, AsynchronousOperationKeepsItsSlotUntilFinished)
{
    OperationQueue queue(QStringLiteral("async"), 1);
    auto async = std::make_shared<AsyncOperation>();
    std::atomic<bool> nextRan{false};
    queue.addOperation(async);
    queue.addOperationWithBlock([&] { nextRan = true; });
    while (!async->mainReturned)
        std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(async->isExecuting());
    EXPECT_FALSE(nextRan);
    async->complete();
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(nextRan);
}

TEST(OperationQueueTest, SuspendedQueueStartsNothing)
{
    OperationQueue queue;
    queue.setSuspended(true);
    std::atomic<bool> ran{false};
    queue.addOperationWithBlock([&] { ran = true; });
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(ran);
    EXPECT_EQ(queue.operationCount(), 1);
    queue.setSuspended(false);
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(ran);
}

TEST(OperationQueueTest, OperationsKnowTheirQueueAndThreadName)
{
    OperationQueue queue(QStringLiteral("named.queue"), 1);
    OperationQueue *seen = nullptr;
    char threadName[16] = {};
    queue.addOperationWithBlock([&] {
        seen = OperationQueue::currentQueue();
        pthread_getname_np(pthread_self(), threadName, sizeof threadName);
    });
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(seen, &queue);
    EXPECT_STREQ(threadName, "named.queue");
    EXPECT_EQ(OperationQueue::currentQueue(), nullptr);
}

TEST(OperationQueueTest, DestroyingAQueueCancelsWaitingWork)
{
    std::atomic<bool> ran{false};
    auto gate = std::make_shared<GateOperation>();
    auto waiting = BlockOperation::create([&] { ran = true; });
    {
        OperationQueue queue(QStringLiteral("doomed"), 1);
        queue.addOperation(gate);
        queue.addOperation(waiting);
        while (!gate->started)
            std::this_thread::sleep_for(1ms);
        std::thread opener([&] {
            std::this_thread::sleep_for(10ms);
            gate->open();
        });
        opener.detach();
    }
    EXPECT_TRUE(waiting->isFinished());
    EXPECT_FALSE(ran);
}

TEST(OperationQueueTest, QueueLetGoByItsOwnOperationEndsWithoutWaitingForItself)
{
    std::atomic<bool> ran{false};
    std::mutex mutex;
    std::condition_variable changed;
    bool go = false;
    auto queue = std::make_shared<OperationQueue>(QStringLiteral("self-owned"), 1);
    // The first operation holds the queue; once the test has let go of it,
    // the operation's end releases the queue on the queue's own worker.
    queue->addOperationWithBlock([holder = queue, &mutex, &changed, &go] {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return go; });
    });
    auto later = BlockOperation::create([&] { ran = true; });
    queue->addOperation(later);
    queue.reset();
    {
        std::lock_guard lock(mutex);
        go = true;
    }
    changed.notify_all();
    later->waitUntilFinished();
    EXPECT_TRUE(later->isCancelled());
    EXPECT_FALSE(ran);
}
