#pragma once

#include "TWLURLSessionTask.h"

#include "URLAuthenticationChallenge.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QSslCertificate>
#include <QSslError>

#include <functional>
#include <memory>
#include <optional>

class QAuthenticator;
class QNetworkReply;

// A transfer whose answer is collected in memory. Its network work runs on
// the network thread; its completion (handler, then session) runs on the
// session's delegate queue.
class TWLURLSessionDataTask : public TWLURLSessionTask
{
public:
    // data is absent when the answer had no body.
    using CompletionHandler =
        std::function<void(const std::optional<QByteArray> &data,
                           const std::optional<URLResponse> &response, const Error &error)>;

    static std::shared_ptr<TWLURLSessionDataTask> task();

    void resume() override;
    // Stops the transfer; neither the handler nor the delegate hears of the
    // task again, and it leaves the session's task list.
    void cancel() override;
    void complete() override;

    std::optional<QByteArray> data() const;
    CompletionHandler completionHandler() const;
    void setCompletionHandler(CompletionHandler handler);

protected:
    TWLURLSessionDataTask() = default;

    // Network-thread steps that the kinds of task vary.
    virtual void didReceiveBytes(const QByteArray &bytes);
    virtual void willComplete() {}
    virtual void didCancel() {}

    // Ends the transfer with error (network thread); the first error wins.
    void failWithError(const Error &error);

private:
    friend class TWLURLSession;
    // One attempt at the request. A challenge ends the attempt; the delegate
    // is asked once it has, and the request goes again when the answer
    // calls for it.
    void startOnNetworkThread();
    void replyReadyRead();
    void replyFinished();
    void replySslErrors(const QList<QSslError> &errors);
    void handleAuthentication(QAuthenticator *authenticator);
    void askAboutChallenge();
    void challengeAnswered(URLSessionAuthChallengeDisposition disposition,
                           const std::optional<URLCredential> &credential);
    void dropReply();
    void deliverResponseIfNeeded();
    void finishWithError(const Error &error);
    const QNetworkReply *reply() const;

    // Guarded by m_mutex.
    std::optional<QByteArray> m_data;
    CompletionHandler m_completionHandler;
    bool m_resumed = false;
    bool m_cancelled = false;
    bool m_finished = false;
    // Keeps the session alive while the transfer runs.
    std::shared_ptr<TWLURLSession> m_runningSession;

    // Set by the session when it makes the task, before it can run.
    bool m_delegateJudgesTrust = false;

    // Network thread only.
    QPointer<QNetworkReply> m_reply;
    QList<QSslError> m_sslErrors;
    Error m_pendingError;
    bool m_responseDelivered = false;
    // Raised by the current attempt, put to the delegate when it has ended.
    std::optional<URLAuthenticationChallenge> m_challenge;
    int m_challenges = 0;
    // What the delegate has accepted for this task: server chains, and the
    // credential offered (once per attempt) when the server asks for one.
    QList<QList<QSslCertificate>> m_trustedChains;
    std::optional<URLCredential> m_credential;
    bool m_credentialOffered = false;
    int m_authenticationFailures = 0;
};
