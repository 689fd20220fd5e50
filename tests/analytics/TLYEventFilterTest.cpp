#include "analytics/TLYEventFilter.h"
#include "analytics/TLYCustomEvent.h"
#include "analytics/TLYLifecycleEvent.h"

#include <gtest/gtest.h>

#include <limits>

TEST(TLYEventFilterTest, HashesUtf16CodeUnitsWithWrapAround)
{
    const struct
    {
        QString text;
        qint32 hash;
    } cases[] = {
        {"", 0},
        {"a", 97},
        {"abc", 96354},
        {"Aa", 2112},
        {"BB", 2112},
        {"polygenelubricants", std::numeric_limits<qint32>::min()},
        {QString::fromUtf8("\xF0\x9F\x98\x80"), 1772899}, // a surrogate pair
    };
    for (const auto &c : cases)
        EXPECT_EQ(TLYEventFilter::javaHashCodeForString(c.text), c.hash) << c.text.toStdString();
}

TEST(TLYEventFilterTest, SamplesOnlyLifecycleAndCrashEventsByInstallation)
{
    const TLYLifecycleEvent launched(QStringLiteral("app_launched"));
    const TLYLifecycleEvent unknown{Notification{QStringLiteral("SomethingElse"), nullptr, {}}};
    const TLYCustomEvent custom(QStringLiteral("Opened"), {});

    // "abc" hashes to 96354 (a multiple of 3, remainder 4 for 5);
    // "polygenelubricants" to -2^31 (remainder -2 for 3, 0 for 2);
    // "a" to 97 and "zzzzzy" to -685785665 (remainders 1 and -1 for 2).
    const struct
    {
        const char *what;
        const TLYEvent *event;
        QString betaToken;
        QString installationID;
        qint64 factor;
        bool discard;
    } cases[] = {
        {"no event", nullptr, {}, "abc", 1, true},
        {"hash divisible", &launched, {}, "abc", 3, false},
        {"hash not divisible", &launched, {}, "abc", 5, true},
        {"negative remainder", &launched, {}, "polygenelubricants", 3, true},
        {"negative hash divisible", &launched, {}, "polygenelubricants", 2, false},
        {"factor 2 samples out an odd hash", &launched, {}, "a", 2, true},
        {"factor 2 samples out a negative odd hash", &launched, {}, "zzzzzy", 2, true},
        {"beta token keeps", &launched, "token", "abc", 5, false},
        {"factor 1 keeps", &launched, {}, "abc", 1, false},
        {"factor 0 keeps", &launched, {}, "abc", 0, false},
        {"negative factor keeps", &launched, {}, "abc", -5, false},
        {"no installation keeps", &launched, {}, {}, 5, false},
        {"custom never sampled", &custom, {}, "abc", 5, false},
        {"unknown notification never sampled", &unknown, {}, "abc", 5, false},
    };
    const TLYEventFilter filter;
    for (const auto &c : cases)
        EXPECT_EQ(filter.shouldDiscardEvent(c.event, c.betaToken, c.installationID, c.factor),
                  c.discard)
            << c.what;
}

TEST(TLYEventFilterTest, SamplingSetIsTheLifecycleAndCrashNames)
{
    for (const char *name : {"app_launched", "app_terminated", "app_crashed", "app_memory_warning",
                             "app_entered_background", "app_entered_foreground",
                             "app_became_inactive", "app_became_active"})
        EXPECT_TRUE(TLYEventFilter::samplingEnabledForEventType(name)) << name;
    for (const char *name : {"custom", "predefined", "app_installed", "unknown-notification"})
        EXPECT_FALSE(TLYEventFilter::samplingEnabledForEventType(name)) << name;
}
