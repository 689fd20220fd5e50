#include "TLYActivity.h"

#include "TLYLogger.h"

#include <QCoreApplication>

#include <condition_variable>

namespace {

// The process's count of activities that hold off termination.
class TerminationGuard
{
public:
    static TerminationGuard &shared()
    {
        // Never released: activities may end on pipeline threads while the
        // process exits.
        static TerminationGuard *const instance = new TerminationGuard;
        return *instance;
    }

    void disableTermination()
    {
        std::lock_guard lock(m_mutex);
        ++m_holds;
    }

    void enableTermination()
    {
        {
            std::lock_guard lock(m_mutex);
            --m_holds;
        }
        m_released.notify_all();
    }

    bool waitUntilTerminationAllowed(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(m_mutex);
        return m_released.wait_for(lock, timeout, [this] { return m_holds == 0; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_released;
    long m_holds = 0;
};

constexpr quint64 TerminationOptions =
    TLYActivity::SuddenTerminationDisabled | TLYActivity::AutomaticTerminationDisabled;

void waitForActivitiesOnQuit()
{
    if (!TLYActivity::waitForActivitiesToEnd(TLYActivity::QuitWaitLimit))
        TLYLogger::sharedLogger().log(
            QStringLiteral("Quitting before every recorded event was written"));
}

} // namespace

std::shared_ptr<TLYActivity> TLYActivity::beginActivity(const QString &reason, quint64 options,
                                                        std::function<void()> expirationHandler)
{
    Q_UNUSED(expirationHandler);
    return std::make_shared<TLYActivity>(reason, options);
}

void TLYActivity::performActivity(const QString &reason, quint64 options,
                                  const std::function<void()> &block)
{
    const auto activity = beginActivity(reason, options);
    if (block)
        block();
    activity->end();
}

bool TLYActivity::waitForActivitiesToEnd(std::chrono::milliseconds timeout)
{
    return TerminationGuard::shared().waitUntilTerminationAllowed(timeout);
}

void TLYActivity::holdQuitForActivities()
{
    static std::once_flag once;
    // Routines added here run when the application object is destroyed,
    // after the quit signals have been handled.
    std::call_once(once, [] { qAddPostRoutine(waitForActivitiesOnQuit); });
}

TLYActivity::TLYActivity(const QString &reason, quint64 options)
    : m_reason(reason)
    , m_options(options)
{
    if (m_options & TerminationOptions)
        TerminationGuard::shared().disableTermination();
}

TLYActivity::~TLYActivity()
{
    end();
}

void TLYActivity::end()
{
    std::lock_guard lock(m_mutex);
    if (m_ended)
        return;
    m_ended = true;
    if (m_options & TerminationOptions)
        TerminationGuard::shared().enableTermination();
}

bool TLYActivity::isActive() const
{
    std::lock_guard lock(m_mutex);
    return !m_ended;
}

TLYActivityOperation::TLYActivityOperation(std::shared_ptr<TLYActivity> activity)
    : m_activity(std::move(activity))
{}

std::shared_ptr<TLYActivityOperation>
TLYActivityOperation::operationByStartingActivityName(const QString &reason, quint64 options)
{
    return std::make_shared<TLYActivityOperation>(TLYActivity::beginActivity(reason, options));
}

void TLYActivityOperation::main()
{
    if (m_activity)
        m_activity->end();
}
