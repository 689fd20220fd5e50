#include "NetworkThread.h"

#include <QMetaObject>

NetworkThread &NetworkThread::shared()
{
    static NetworkThread instance;
    return instance;
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

NetworkThread::~NetworkThread()
{
    m_thread.quit();
    m_thread.wait();
    // The thread has stopped, so its objects may go from here.
    delete m_context;
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
