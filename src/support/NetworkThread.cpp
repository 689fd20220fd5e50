#include "NetworkThread.h"

#include <QMetaObject>

NetworkThread &NetworkThread::shared()
{
    // Never destroyed: sessions released by other threads while the process
    // exits still post their clean-up here, after static destructors ran.
    static NetworkThread *const instance = new NetworkThread;
    return *instance;
}

NetworkThread::NetworkThread()
{
    m_thread.setObjectName(QStringLiteral("com.tarnwell.URLSession"));
    // Created here and handed over before the thread starts, so it is never
    // touched from two threads at once.
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    m_thread.start();
}

void NetworkThread::post(std::function<void()> work)
{
    QMetaObject::invokeMethod(m_context, std::move(work), Qt::QueuedConnection);
}

void NetworkThread::runAndWait(const std::function<void()> &work)
{
    if (isCurrentThread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(
        m_context, [&work] { work(); }, Qt::BlockingQueuedConnection);
}

bool NetworkThread::isCurrentThread() const
{
    return QThread::currentThread() == &m_thread;
}
