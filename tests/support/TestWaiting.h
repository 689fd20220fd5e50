#pragma once

#include "foundation/OperationQueue.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// Something that happens once on another thread, waited for with a bound.
class Latch
{
public:
    void set()
    {
        std::lock_guard lock(m_mutex);
        m_set = true;
        m_changed.notify_all();
    }
    bool wait(std::chrono::seconds bound = std::chrono::seconds(20))
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, bound, [this] { return m_set; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_set = false;
};

// Returns once everything queued on queue so far has run.
inline void drain(OperationQueue &queue)
{
    queue.addOperationWithBlock([] {})->waitUntilFinished();
}

// Waits (bounded) until condition holds, looking again every few
// milliseconds: for a state change that announces itself by no event.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::seconds bound = std::chrono::seconds(20))
{
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
