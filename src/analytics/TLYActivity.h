#pragma once

#include "foundation/Operation.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

// Holds off the process's termination while recorded events or rotation
// chains are pending on the event queue. Linux has no system service that
// would terminate an idle application, so the one thing the guard does here
// is make quitting wait, for a bounded time, until every activity that
// disabled termination has ended.
class TLYActivity
{
public:
    enum Option : quint64
    {
        SuddenTerminationDisabled = 0x4000,
        AutomaticTerminationDisabled = 0x8000,
        BackgroundActivity = 0x00FF,
    };
    // What the pipeline uses for recording an event and for a rotation.
    static constexpr quint64 RecordEventOptions = 0xC000;
    static constexpr quint64 RotateOptions = 0xC0FF;

    // How long quitting waits at most for pending activities.
    static constexpr std::chrono::milliseconds QuitWaitLimit{5000};

    // Begins an activity at once. The expiration handler would run if the
    // system took the time back; Linux never does.
    static std::shared_ptr<TLYActivity> beginActivity(const QString &reason, quint64 options,
                                                      std::function<void()> expirationHandler = {});
    // Begins, runs the block, ends.
    static void performActivity(const QString &reason, quint64 options,
                                const std::function<void()> &block);

    // Waits until no activity holds off termination, at most timeout; false
    // when some still did then.
    static bool waitForActivitiesToEnd(std::chrono::milliseconds timeout);
    // Makes the destruction of the application object (quitting) wait, at
    // most QuitWaitLimit, for pending activities. Once is enough.
    static void holdQuitForActivities();

    TLYActivity(const QString &reason, quint64 options);
    ~TLYActivity(); // ends the activity
    TLYActivity(const TLYActivity &) = delete;
    TLYActivity &operator=(const TLYActivity &) = delete;

    // Allows termination again; later calls do nothing.
    void end();
    bool isActive() const;

    const QString &reason() const { return m_reason; }
    quint64 options() const { return m_options; }
    // Background tasks do not exist on this platform.
    unsigned backgroundTaskIdentifier() const { return 0; }

private:
    const QString m_reason;
    const quint64 m_options;
    mutable std::mutex m_mutex;
    bool m_ended = false;
};

// An operation whose only work is to end its activity: made to depend on
// other operations, it holds the activity until they have all run.
class TLYActivityOperation : public Operation
{
public:
    explicit TLYActivityOperation(std::shared_ptr<TLYActivity> activity);
    static std::shared_ptr<TLYActivityOperation>
    operationByStartingActivityName(const QString &reason, quint64 options);

    const std::shared_ptr<TLYActivity> &activity() const { return m_activity; }

protected:
    void main() override;

private:
    std::shared_ptr<TLYActivity> m_activity;
};
