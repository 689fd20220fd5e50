#include "TLYBackoffTimer.h"

#include "sdk/ORRNetworkClient.h"

#include <algorithm>
#include <cmath>

TLYBackoffTimer::TLYBackoffTimer(double initialValue, double jitterCoefficient,
                                 std::shared_ptr<BackoffClock> clock)
    : m_initialValue(initialValue)
    , m_jitterCoefficient(jitterCoefficient)
    , m_clock(clock ? std::move(clock) : BackoffClock::systemClock())
{
    Q_ASSERT(jitterCoefficientIsValid(jitterCoefficient));
}

unsigned TLYBackoffTimer::retryCount() const
{
    std::lock_guard lock(m_mutex);
    return m_retryCount;
}

void TLYBackoffTimer::executeBlockAfterNextInterval(std::function<void()> block)
{
    unsigned count;
    {
        std::lock_guard lock(m_mutex);
        count = ++m_retryCount;
    }
    const double delay = computeDelayForInitialValue(m_initialValue, count);
    m_clock->runAfter(BackoffClock::durationFromSeconds(delay), std::move(block));
}

double TLYBackoffTimer::computeDelayForInitialValue(double initialValue, unsigned retryCount) const
{
    const double base = std::max(2.0, initialValue);
    const double exponent = retryCount == 0 ? 1.0 : double(retryCount);
    return std::pow(base, exponent) * generateRandomJitter();
}

double TLYBackoffTimer::generateRandomJitter() const
{
    const double j = jitterCoefficientIsValid(m_jitterCoefficient) ? m_jitterCoefficient
                                                                   : DefaultJitterCoefficient;
    return randomDoubleWithMin(1 - j, 1 + j);
}

double TLYBackoffTimer::randomDoubleWithMin(double min, double max)
{
    // The SDK's generator: one unseeded sequence for every backoff of the
    // process.
    return ORRNetworkClient::randomDoubleWithMin(min, max);
}
