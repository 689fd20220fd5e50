#pragma once

#include "support/BackoffClock.h"

#include <QList>

#include <chrono>
#include <condition_variable>
#include <mutex>

// A backoff clock for tests: it records every delay it is asked for and
// waits only a fraction of it, so that backoff of minutes runs in moments
// while the delays asked can still be checked exactly.
class ScaledBackoffClock : public BackoffClock
{
public:
    explicit ScaledBackoffClock(double scale = 1e-4)
        : m_scale(scale)
    {}

    void runAfter(Duration delay, std::function<void()> block) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_delays.append(std::chrono::duration<double>(delay).count());
        }
        m_changed.notify_all();
        BackoffClock::runAfter(
            std::chrono::duration_cast<Duration>(std::chrono::duration<double>(delay) * m_scale),
            std::move(block));
    }

    // The delays asked for so far, in seconds, in the order asked.
    QList<double> delays() const
    {
        std::lock_guard lock(m_mutex);
        return m_delays;
    }

    bool waitForDelays(int count, std::chrono::seconds bound = std::chrono::seconds(60)) const
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, bound, [&] { return m_delays.size() >= count; });
    }

private:
    const double m_scale;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    QList<double> m_delays;
};
