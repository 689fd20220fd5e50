#include "TLYTimer.h"

#include "foundation/OperationQueue.h"

#include <chrono>

TLYTimer::TLYTimer(double timeInterval, OperationQueue &queue, QString timerIdentifier,
                   std::function<void()> block)
    : m_timeInterval(timeInterval)
    , m_queue(queue)
    , m_timerIdentifier(std::move(timerIdentifier))
    , m_timerBlock(std::move(block))
{
    if (m_timeInterval > 0)
        m_thread = std::thread([this] { run(); });
}

TLYTimer::~TLYTimer()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
    }
    m_stopRequested.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void TLYTimer::executeBlock()
{
    if (m_timerBlock)
        m_queue.addOperationWithBlock(m_timerBlock);
}

void TLYTimer::run()
{
    using Clock = std::chrono::steady_clock;
    const auto interval =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(m_timeInterval));
    // Firings keep to the schedule set at the start, however long adding
    // the block took.
    auto next = Clock::now() + interval;
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_stopRequested.wait_until(lock, next, [this] { return m_stopped; }))
            return;
        executeBlock();
        next += interval;
    }
}
