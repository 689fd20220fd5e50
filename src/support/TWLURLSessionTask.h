#pragma once

#include "URLRequest.h"
#include "URLResponse.h"
#include "foundation/Error.h"

#include <QString>

#include <memory>
#include <mutex>
#include <optional>

class TWLURLSession;

// One transfer of a session. Tasks are made suspended by their session,
// run after resume() and complete once, unless cancelled. The base class
// transfers nothing.
class TWLURLSessionTask : public std::enable_shared_from_this<TWLURLSessionTask>
{
public:
    virtual ~TWLURLSessionTask() = default;
    TWLURLSessionTask(const TWLURLSessionTask &) = delete;
    TWLURLSessionTask &operator=(const TWLURLSessionTask &) = delete;

    // The request as sent: the caller's request plus the session's headers.
    URLRequest originalRequest() const;
    // Redirects are followed without being reported, so there is none.
    std::optional<URLRequest> currentRequest() const { return std::nullopt; }
    std::optional<URLResponse> response() const;
    Error error() const;
    QString taskDescription() const;
    void setTaskDescription(const QString &description);
    // False when the task has a completion handler: its events then go to
    // the handler, not to the session's delegate.
    bool invokesDelegate() const;
    // The owning session; the task does not keep it alive while idle.
    std::shared_ptr<TWLURLSession> delegate() const;

    virtual void resume() {}
    virtual void cancel() {}
    // Delivers the outcome to the handler and the session.
    virtual void complete() {}
    // Removes what the task left on disk.
    virtual void cleanup() {}

protected:
    TWLURLSessionTask() = default;

    friend class TWLURLSession;
    void configure(const URLRequest &request, const std::shared_ptr<TWLURLSession> &session,
                   bool invokesDelegate);
    void setResponse(const URLResponse &response);
    void setError(const Error &error);

    mutable std::mutex m_mutex;

private:
    URLRequest m_originalRequest;
    std::optional<URLResponse> m_response;
    Error m_error;
    QString m_taskDescription;
    bool m_invokesDelegate = true;
    std::weak_ptr<TWLURLSession> m_session;
};
