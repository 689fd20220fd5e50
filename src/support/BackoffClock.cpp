#include "BackoffClock.h"

#include "NetworkThread.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

const std::shared_ptr<BackoffClock> &BackoffClock::systemClock()
{
    static const auto clock = std::make_shared<BackoffClock>();
    return clock;
}

BackoffClock::Duration BackoffClock::durationFromSeconds(double seconds)
{
    // Checked in seconds: a large "Retry-After" raised to a high power does
    // not fit in 64 bits of nanoseconds.
    const double maximum = std::chrono::duration<double>(MaximumDelay).count();
    if (!(seconds > 0))
        return Duration::zero();
    if (seconds >= maximum)
        return MaximumDelay;
    return Duration(static_cast<Duration::rep>(std::trunc(seconds * 1e9)));
}

void BackoffClock::runAfter(Duration delay, std::function<void()> block)
{
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(
        std::clamp(delay, Duration::zero(), MaximumDelay));
    NetworkThread::shared().post([wait, block = std::move(block)] {
        QTimer::singleShot(wait, Qt::PreciseTimer, NetworkThread::shared().context(), block);
    });
}
