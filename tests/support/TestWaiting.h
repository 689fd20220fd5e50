#pragma once

#include "foundation/OperationQueue.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

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
