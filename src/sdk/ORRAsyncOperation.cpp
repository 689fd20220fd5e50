#include "ORRAsyncOperation.h"

void ORRAsyncOperation::setAsyncCompletion(AsyncCompletion completion)
{
    std::lock_guard guard(m_lock);
    m_asyncCompletion = std::move(completion);
}

QString ORRAsyncOperation::lockName() const
{
    return QStringLiteral("com.tarnwell.%1-lock").arg(className());
}

void ORRAsyncOperation::main()
{
    if (checkForCancellation())
        return;
    markStarted();
    asyncMain();
}

bool ORRAsyncOperation::checkForCancellation()
{
    if (!isCancelled())
        return false;
    markDone();
    return true;
}

void ORRAsyncOperation::markStarted()
{
    lock(
        [this] { changeValueForKey(QStringLiteral("isExecuting"), [this] { m_started = true; }); });
}

void ORRAsyncOperation::markDone()
{
    lock([this] {
        if (m_done)
            return;
        changeValueForKey(QStringLiteral("isExecuting"), [this] { m_started = false; });
        changeValueForKey(QStringLiteral("isFinished"), [this] {
            m_done = true;
            finish();
        });
    });
}

void ORRAsyncOperation::finishWithError(const Error &error)
{
    AsyncCompletion completion;
    {
        std::lock_guard guard(m_lock);
        completion = std::exchange(m_asyncCompletion, nullptr);
    }
    if (completion)
        completion(error);
    markDone();
}

void ORRAsyncOperation::lock(const std::function<void()> &block)
{
    std::lock_guard guard(m_lock);
    block();
}

void ORRAsyncOperation::changeValueForKey(const QString &key, const std::function<void()> &block)
{
    willChangeValueForKey(key);
    block();
    didChangeValueForKey(key);
}
