#pragma once

#include "foundation/Error.h"
#include "foundation/Operation.h"

#include <QString>

#include <functional>
#include <mutex>

// An operation whose work goes on after main() returns: it reports that it
// executes until its work calls finishWithError() (or markDone()). The base
// of every SDK network operation.
//
// The operation queue's start() runs this class's start steps: a cancelled
// operation finishes without ever executing; otherwise it is marked started
// and main() of the subclass begins the work.
class ORRAsyncOperation : public Operation
{
public:
    using AsyncCompletion = std::function<void(const Error &error)>;

    bool isConcurrent() const { return true; }
    bool isAsynchronous() const override { return true; }

    // Called once, by finishWithError(), with its error.
    void setAsyncCompletion(AsyncCompletion completion);
    // "com.tarnwell.<class name>-lock".
    QString lockName() const;

    // Ends the work: the completion (if any) gets error, then markDone().
    void finishWithError(const Error &error);

    // True (and finished) when the operation was cancelled.
    bool checkForCancellation();
    void markStarted();
    void markDone();

    // Runs block while holding the lock that guards the state changes.
    void lock(const std::function<void()> &block);
    // Announces a change of key around block.
    void changeValueForKey(const QString &key, const std::function<void()> &block);

protected:
    // The concrete class's name, for the lock's name.
    virtual QString className() const { return QStringLiteral("ORRAsyncOperation"); }
    // Change announcements; observers of an operation's state override them.
    virtual void willChangeValueForKey(const QString &key) { Q_UNUSED(key); }
    virtual void didChangeValueForKey(const QString &key) { Q_UNUSED(key); }

    // Starts the asynchronous work and returns; the work ends with
    // finishWithError().
    virtual void asyncMain() = 0;

private:
    void main() final;

    std::recursive_mutex m_lock;
    AsyncCompletion m_asyncCompletion;
    bool m_started = false;
    bool m_done = false;
};
