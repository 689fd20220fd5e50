#include "NetworkThread.h"

#include <QMetaObject>

#include <atomic>
#include <future>

namespace {

// Set once the thread exists, so that shutdown() does not start one.
std::atomic<NetworkThread *> startedThread = nullptr;

} // namespace

NetworkThread &NetworkThread::shared()
{
    // Never destroyed: sessions released after shutdown(), even by static
    // destructors, still reach it; it refuses their work.
    static NetworkThread *const instance = [] {
        auto *thread = new NetworkThread;
        startedThread = thread;
        return thread;
    }();
    return *instance;
}

void NetworkThread::shutdown()
{
    if (NetworkThread *thread = startedThread.load())
        thread->stop();
}

NetworkThread::NetworkThread()
{
    m_thread.setObjectName(QStringLiteral("com.tarnwell.URLSession"));
    // Created here and handed over before the thread starts, so it is never
    // touched from two threads at once.
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    // The last thing the thread does: the managers, children of the
    // context, are deleted on their own thread, after all queued work.
    QObject::connect(
        &m_thread, &QThread::finished, &m_thread,
        [this] {
            delete m_context;
            m_context = nullptr;
        },
        Qt::DirectConnection);
    m_thread.start();
}

void NetworkThread::stop()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopped)
            return;
        m_stopped = true;
        QMetaObject::invokeMethod(
            m_context, [this] { m_thread.quit(); }, Qt::QueuedConnection);
    }
    m_thread.wait();
}

bool NetworkThread::post(std::function<void()> work)
{
    // Queued under the lock, so that nothing lands behind the end of the
    // thread.
    std::lock_guard lock(m_mutex);
    if (m_stopped)
        return false;
    QMetaObject::invokeMethod(m_context, std::move(work), Qt::QueuedConnection);
    return true;
}

bool NetworkThread::runAndWait(const std::function<void()> &work)
{
    if (isCurrentThread()) {
        work();
        return true;
    }
    // Work queued before shutdown() still runs, so the wait ends.
    std::promise<void> done;
    if (!post([&work, &done] {
            work();
            done.set_value();
        }))
        return false;
    done.get_future().wait();
    return true;
}

bool NetworkThread::isCurrentThread() const
{
    return QThread::currentThread() == &m_thread;
}
