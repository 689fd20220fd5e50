#pragma once

#include "support/BackoffClock.h"

#include <functional>
#include <memory>
#include <mutex>

// The waits of one package's retries: 2^k seconds for the k-th retry, or
// the first "Retry-After" to the k-th power when the server asked for
// longer, each with a random jitter of a tenth either way.
class TLYBackoffTimer
{
public:
    static constexpr double DefaultJitterCoefficient = double(0.1f);

    // No clock means the system clock.
    explicit TLYBackoffTimer(double initialValue = 0,
                             double jitterCoefficient = DefaultJitterCoefficient,
                             std::shared_ptr<BackoffClock> clock = nullptr);

    static bool jitterCoefficientIsValid(double jitterCoefficient)
    {
        return jitterCoefficient >= 0 && jitterCoefficient < 1;
    }

    double initialValue() const { return m_initialValue; }
    double jitterCoefficient() const { return m_jitterCoefficient; }
    unsigned retryCount() const;

    // Counts one more retry and runs block once after its wait, on the
    // clock's thread; block should only hand work on.
    void executeBlockAfterNextInterval(std::function<void()> block);

    // The larger of 2 and initialValue, to the power retryCount (at least
    // 1), times the jitter.
    double computeDelayForInitialValue(double initialValue, unsigned retryCount) const;
    // A factor between 1 - j and 1 + j.
    double generateRandomJitter() const;
    static double randomDoubleWithMin(double min, double max);

private:
    const double m_initialValue;
    const double m_jitterCoefficient;
    const std::shared_ptr<BackoffClock> m_clock;
    mutable std::mutex m_mutex;
    unsigned m_retryCount = 0;
};
