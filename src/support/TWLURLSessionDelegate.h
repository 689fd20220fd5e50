#pragma once

#include "URLAuthenticationChallenge.h"
#include "URLResponse.h"
#include "foundation/Error.h"

#include <QByteArray>
#include <QUrl>

#include <functional>
#include <memory>

class TWLURLSession;
class TWLURLSessionTask;
class TWLURLSessionDataTask;
class TWLURLSessionDownloadTask;

// Receives a session's events on the session's delegate queue. Every
// operation has a default that does what the session would do without a
// delegate; respondsToSelector() tells the session which ones a delegate
// really takes (all of them unless a subclass says otherwise).
//
// The operations share one name, as their callers know them; a subclass
// that overrides some of them should say `using TWLURLSessionDelegate::URLSession;`.
class TWLURLSessionDelegate
{
public:
    enum class Selector
    {
        DataTaskDidReceiveResponse,
        DataTaskDidReceiveData,
        DownloadTaskDidFinishDownloading,
        TaskDidComplete,
        DidReceiveChallenge,
    };
    enum class ResponseDisposition
    {
        Cancel = 0,
        Allow = 1
    };

    using Session = std::shared_ptr<TWLURLSession>;

    virtual ~TWLURLSessionDelegate() = default;

    virtual bool respondsToSelector(Selector) const { return true; }

    // The head of a data or upload task's answer has arrived.
    virtual void URLSession(const Session &, const std::shared_ptr<TWLURLSessionDataTask> &,
                            const URLResponse &,
                            const std::function<void(ResponseDisposition)> &completionHandler)
    {
        completionHandler(ResponseDisposition::Allow);
    }
    // A piece of a data or upload task's body has arrived.
    virtual void URLSession(const Session &, const std::shared_ptr<TWLURLSessionDataTask> &,
                            const QByteArray &)
    {}
    // The download is in the file at location; the file is deleted as soon
    // as this returns.
    virtual void URLSession(const Session &, const std::shared_ptr<TWLURLSessionDownloadTask> &,
                            const QUrl &location)
    {
        Q_UNUSED(location);
    }
    // The task is over; error is null on success (HTTP statuses are not errors).
    virtual void URLSession(const Session &, const std::shared_ptr<TWLURLSessionTask> &,
                            const Error &)
    {}
    // A server-trust or HTTP authentication challenge for any of the
    // session's tasks, including those with completion handlers. The answer
    // may come later and from any thread: nothing waits for it meanwhile. A
    // handler let go unanswered, or kept unanswered for a minute, refuses.
    virtual void URLSession(const Session &, const URLAuthenticationChallenge &,
                            const URLSessionChallengeCompletionHandler &completionHandler)
    {
        completionHandler(URLSessionAuthChallengeDisposition::PerformDefaultHandling, std::nullopt);
    }
};
