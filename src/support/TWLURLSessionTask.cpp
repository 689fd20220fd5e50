#include "TWLURLSessionTask.h"

URLRequest TWLURLSessionTask::originalRequest() const
{
    std::lock_guard lock(m_mutex);
    return m_originalRequest;
}

std::optional<URLResponse> TWLURLSessionTask::response() const
{
    std::lock_guard lock(m_mutex);
    return m_response;
}

Error TWLURLSessionTask::error() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

QString TWLURLSessionTask::taskDescription() const
{
    std::lock_guard lock(m_mutex);
    return m_taskDescription;
}

void TWLURLSessionTask::setTaskDescription(const QString &description)
{
    std::lock_guard lock(m_mutex);
    m_taskDescription = description;
}

bool TWLURLSessionTask::invokesDelegate() const
{
    std::lock_guard lock(m_mutex);
    return m_invokesDelegate;
}

std::shared_ptr<TWLURLSession> TWLURLSessionTask::delegate() const
{
    std::lock_guard lock(m_mutex);
    return m_session.lock();
}

void TWLURLSessionTask::configure(const URLRequest &request,
                                  const std::shared_ptr<TWLURLSession> &session,
                                  bool invokesDelegate)
{
    std::lock_guard lock(m_mutex);
    m_originalRequest = request;
    m_session = session;
    m_invokesDelegate = invokesDelegate;
}

void TWLURLSessionTask::setResponse(const URLResponse &response)
{
    std::lock_guard lock(m_mutex);
    m_response = response;
}

void TWLURLSessionTask::setError(const Error &error)
{
    std::lock_guard lock(m_mutex);
    m_error = error;
}
