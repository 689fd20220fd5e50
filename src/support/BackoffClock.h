#pragma once

#include <chrono>
#include <functional>
#include <limits>
#include <memory>

// Runs work once after a delay: the waits between attempts of a transfer
// that backs off. The system clock waits real time with a timer of the
// network thread, so a pending wait holds no thread of its own and ends
// with that thread at shutdown. Tests put in a clock of their own (one that
// records what it is asked and waits a fraction of it), so that backoff of
// minutes can be checked without waiting minutes.
class BackoffClock
{
public:
    using Duration = std::chrono::nanoseconds;

    // The longest wait a timer can hold (about 24 days); longer waits are
    // held at it rather than overflowing into an immediate retry.
    static constexpr Duration MaximumDelay =
        std::chrono::milliseconds(std::numeric_limits<int>::max());

    virtual ~BackoffClock() = default;

    static const std::shared_ptr<BackoffClock> &systemClock();
    // Seconds as whole nanoseconds, truncated, within [0, MaximumDelay].
    static Duration durationFromSeconds(double seconds);

    // Runs block once, delay from now, on the network thread; block should
    // only hand work on. Nothing runs when the network thread has shut down
    // by then.
    virtual void runAfter(Duration delay, std::function<void()> block);
};
