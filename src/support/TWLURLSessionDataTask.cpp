#include "TWLURLSessionDataTask.h"

#include "NetworkThread.h"
#include "TWLURLSession.h"
#include "URLAuthenticationChallenge.h"
#include "URLError.h"

#include <QAuthenticator>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslConfiguration>

namespace {

// Replies that failed only in the HTTP sense: the server answered, and the
// answer (404, 500, ...) is for the caller to judge.
bool isHTTPStatusError(QNetworkReply::NetworkError error)
{
    return (error >= QNetworkReply::ContentAccessDenied &&
            error <= QNetworkReply::UnknownContentError) ||
           (error >= QNetworkReply::InternalServerError &&
            error <= QNetworkReply::UnknownServerError) ||
           error == QNetworkReply::ProtocolInvalidOperationError;
}

// Qt names neither the scheme nor, at this point, the answer's header
// fields; of the schemes it speaks, those with a realm are the basic kind.
QString authenticationMethodOf(const QNetworkReply &reply, const QAuthenticator &authenticator)
{
    const QByteArray scheme = reply.rawHeader("WWW-Authenticate").trimmed().toLower();
    if (scheme.startsWith("digest"))
        return URLProtectionSpace::AuthenticationMethodHTTPDigest;
    if (scheme.startsWith("basic") || !authenticator.realm().isEmpty())
        return URLProtectionSpace::AuthenticationMethodHTTPBasic;
    return URLProtectionSpace::AuthenticationMethodDefault;
}

// Beyond this many challenges the delegate is no longer asked: a server that
// changes its chain on every connection, or a delegate that keeps offering a
// rejected password, would otherwise make a task go on forever.
constexpr int MaxChallengesPerTask = 10;

} // namespace

std::shared_ptr<TWLURLSessionDataTask> TWLURLSessionDataTask::task()
{
    return std::shared_ptr<TWLURLSessionDataTask>(new TWLURLSessionDataTask);
}

const QNetworkReply *TWLURLSessionDataTask::reply() const
{
    return m_reply.data();
}

std::optional<QByteArray> TWLURLSessionDataTask::data() const
{
    std::lock_guard lock(m_mutex);
    return m_data;
}

TWLURLSessionDataTask::CompletionHandler TWLURLSessionDataTask::completionHandler() const
{
    std::lock_guard lock(m_mutex);
    return m_completionHandler;
}

void TWLURLSessionDataTask::setCompletionHandler(CompletionHandler handler)
{
    std::lock_guard lock(m_mutex);
    m_completionHandler = std::move(handler);
}

void TWLURLSessionDataTask::resume()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_resumed || m_cancelled)
            return;
        m_resumed = true;
    }
    std::shared_ptr<TWLURLSession> session = delegate();
    if (!session)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_runningSession = session;
    }
    auto self = std::static_pointer_cast<TWLURLSessionDataTask>(shared_from_this());
    NetworkThread::shared().post([self] { self->startOnNetworkThread(); });
}

void TWLURLSessionDataTask::cancel()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_cancelled || m_finished)
            return;
        m_cancelled = true;
    }
    auto self = std::static_pointer_cast<TWLURLSessionDataTask>(shared_from_this());
    NetworkThread::shared().post([self] {
        if (self->m_reply) {
            QObject::disconnect(self->m_reply, nullptr, nullptr, nullptr);
            self->m_reply->abort();
            self->m_reply->deleteLater();
            self->m_reply = nullptr;
        }
        self->didCancel();
        std::shared_ptr<TWLURLSession> session;
        {
            std::lock_guard lock(self->m_mutex);
            session = std::move(self->m_runningSession);
        }
    });
    // A cancelled task is no longer in flight, whether or not it had started.
    if (std::shared_ptr<TWLURLSession> session = delegate())
        session->removeTaskFromSet(self);
}

void TWLURLSessionDataTask::startOnNetworkThread()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_cancelled)
            return;
    }
    std::shared_ptr<TWLURLSession> session = delegate();
    if (!session)
        return;
    m_sslErrors.clear();
    m_pendingError = Error();
    m_responseDelivered = false;
    m_challenge.reset();
    m_credentialOffered = false;

    const URLRequest request = originalRequest();
    QNetworkRequest networkRequest = request.toNetworkRequest();
    // One connection per server answers one trust challenge; HTTP/2 would
    // let several requests share a connection whose challenge they never see.
    networkRequest.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    if (m_delegateJudgesTrust) {
        // With no trusted roots every handshake stops at the certificate
        // check (replySslErrors), before the request goes out, unless the
        // delegate has accepted the chain already. Qt reports the end of a
        // handshake only after the request has gone out, which is too late
        // to refuse the server.
        QSslConfiguration configuration = networkRequest.sslConfiguration();
        configuration.setCaCertificates({});
        networkRequest.setSslConfiguration(configuration);
    }

    std::unique_ptr<QFile> bodyFile;
    if (!request.HTTPBodyFile().isEmpty()) {
        bodyFile = std::make_unique<QFile>(request.HTTPBodyFile());
        if (!bodyFile->open(QIODevice::ReadOnly)) {
            const bool exists = QFileInfo::exists(request.HTTPBodyFile());
            finishWithError(URLError::make(exists ? URLError::NoPermissionsToReadFile
                                                  : URLError::FileDoesNotExist,
                                           request.url(), bodyFile->errorString()));
            return;
        }
    }

    QNetworkAccessManager *manager = session->networkAccessManager();
    const QByteArray verb = request.HTTPMethod().toLatin1();
    if (bodyFile) {
        m_reply = manager->sendCustomRequest(networkRequest, verb, bodyFile.get());
        bodyFile.release()->setParent(m_reply);
    } else if (!request.HTTPBody().isEmpty()) {
        m_reply = manager->sendCustomRequest(networkRequest, verb, request.HTTPBody());
    } else {
        m_reply = manager->sendCustomRequest(networkRequest, verb);
    }

    // The connections keep the task alive until the reply goes.
    auto self = std::static_pointer_cast<TWLURLSessionDataTask>(shared_from_this());
    QNetworkReply *reply = m_reply;
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [self] { self->replyReadyRead(); });
    QObject::connect(reply, &QNetworkReply::finished, reply, [self] { self->replyFinished(); });
    QObject::connect(reply, &QNetworkReply::sslErrors, reply,
                     [self](const QList<QSslError> &errors) { self->replySslErrors(errors); });
}

void TWLURLSessionDataTask::replyReadyRead()
{
    // While a challenge waits, the server's refusal stays in the reply: it
    // is the answer if the delegate lets it stand.
    if (m_challenge)
        return;
    if (!m_pendingError.isNull()) {
        m_reply->readAll();
        return;
    }
    deliverResponseIfNeeded();
    const QByteArray bytes = m_reply->readAll();
    if (!bytes.isEmpty())
        didReceiveBytes(bytes);
}

void TWLURLSessionDataTask::didReceiveBytes(const QByteArray &bytes)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_data)
            m_data = QByteArray();
        m_data->append(bytes);
    }
    if (std::shared_ptr<TWLURLSession> session = delegate())
        session->task(std::static_pointer_cast<TWLURLSessionDataTask>(shared_from_this()), bytes);
}

void TWLURLSessionDataTask::deliverResponseIfNeeded()
{
    if (m_responseDelivered || !m_pendingError.isNull() ||
        !m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid())
        return;
    m_responseDelivered = true;
    const URLResponse response = URLResponse::fromReply(*m_reply);
    if (std::shared_ptr<TWLURLSession> session = delegate())
        session->task(std::static_pointer_cast<TWLURLSessionDataTask>(shared_from_this()),
                      response);
    setResponse(response);
}

void TWLURLSessionDataTask::replyFinished()
{
    QNetworkReply *reply = m_reply;
    if (!reply)
        return;
    if (m_challenge) {
        askAboutChallenge();
        return;
    }
    Error error = m_pendingError;
    if (error.isNull()) {
        deliverResponseIfNeeded();
        const QByteArray rest = reply->readAll();
        if (!rest.isEmpty())
            didReceiveBytes(rest);
        error = m_pendingError;
    }
    if (error.isNull() && reply->error() != QNetworkReply::NoError &&
        !(m_responseDelivered && isHTTPStatusError(reply->error()))) {
        error =
            URLError::fromReply(reply->error(), reply->errorString(), reply->url(), m_sslErrors);
    }
    dropReply();
    finishWithError(error);
}

void TWLURLSessionDataTask::dropReply()
{
    if (!m_reply)
        return;
    QObject::disconnect(m_reply, nullptr, nullptr, nullptr);
    m_reply->deleteLater();
    m_reply = nullptr;
}

void TWLURLSessionDataTask::finishWithError(const Error &error)
{
    std::shared_ptr<TWLURLSession> session;
    {
        std::lock_guard lock(m_mutex);
        if (m_cancelled || m_finished)
            return;
        m_finished = true;
        session = std::move(m_runningSession);
    }
    setError(error);
    willComplete();
    if (!session)
        return;
    auto self = std::static_pointer_cast<TWLURLSessionDataTask>(shared_from_this());
    session->delegateQueue()->addOperationWithBlock([self, session] { self->complete(); });
}

void TWLURLSessionDataTask::complete()
{
    const CompletionHandler handler = completionHandler();
    if (handler)
        handler(data(), response(), error());
    if (std::shared_ptr<TWLURLSession> session = delegate())
        session->task(shared_from_this(), error());
}

void TWLURLSessionDataTask::failWithError(const Error &error)
{
    if (!m_pendingError.isNull() || !m_reply)
        return;
    m_pendingError = error;
    m_reply->abort();
}

void TWLURLSessionDataTask::replySslErrors(const QList<QSslError> &errors)
{
    m_sslErrors = errors;
    if (!m_delegateJudgesTrust)
        return; // the system's verdict stands
    const QUrl url = m_reply->url();
    QList<QSslCertificate> chain = m_reply->sslConfiguration().peerCertificateChain();
    if (chain.isEmpty()) {
        for (const QSslError &error : errors) {
            if (!error.certificate().isNull() && !chain.contains(error.certificate()))
                chain.append(error.certificate());
        }
    }
    if (m_trustedChains.contains(chain)) {
        m_reply->ignoreSslErrors();
        return;
    }
    // Not ignoring the errors ends the handshake before anything is sent;
    // the delegate is asked when the reply has finished.
    URLAuthenticationChallenge challenge;
    challenge.protectionSpace.host = url.host();
    challenge.protectionSpace.port = url.port(443);
    challenge.protectionSpace.protocol = url.scheme();
    challenge.protectionSpace.authenticationMethod =
        URLProtectionSpace::AuthenticationMethodServerTrust;
    challenge.protectionSpace.serverTrust = ServerTrust(chain, url.host());
    m_challenge = challenge;
}

void TWLURLSessionDataTask::handleAuthentication(QAuthenticator *authenticator)
{
    std::shared_ptr<TWLURLSession> session = delegate();
    if (!session || !m_reply)
        return;
    if (m_credential && !m_credentialOffered) {
        m_credentialOffered = true;
        authenticator->setUser(m_credential->user());
        authenticator->setPassword(m_credential->password());
        return;
    }
    // Without a delegate to ask, the server's refusal (401) is the answer.
    if (!session->delegateAnswersChallenges())
        return;
    // Left empty, the authenticator ends the reply with the server's
    // refusal; the delegate is asked when the reply has finished.
    const QUrl url = m_reply->url();
    URLAuthenticationChallenge challenge;
    challenge.protectionSpace.host = url.host();
    challenge.protectionSpace.port = url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
    challenge.protectionSpace.protocol = url.scheme();
    challenge.protectionSpace.realm = authenticator->realm();
    challenge.protectionSpace.authenticationMethod =
        authenticationMethodOf(*m_reply, *authenticator);
    challenge.previousFailureCount = m_authenticationFailures++;
    m_challenge = challenge;
}

void TWLURLSessionDataTask::askAboutChallenge()
{
    // The finished reply stays until the answer: it holds the server's
    // refusal of an authentication.
    QObject::disconnect(m_reply, nullptr, nullptr, nullptr);
    const bool serverTrust = m_challenge->protectionSpace.serverTrust.has_value();
    auto self = std::static_pointer_cast<TWLURLSessionDataTask>(shared_from_this());
    const std::shared_ptr<TWLURLSession> session = delegate();
    const bool asked =
        ++m_challenges <= MaxChallengesPerTask && session &&
        session->askDelegate(*m_challenge, [self](URLSessionAuthChallengeDisposition disposition,
                                                  std::optional<URLCredential> credential) {
            self->challengeAnswered(disposition, credential);
        });
    if (asked)
        return;
    // With nobody (more) to ask, a server that was to be judged is refused:
    // what the system would trust does not count then. An authentication
    // keeps the server's refusal.
    challengeAnswered(serverTrust
                          ? URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge
                          : URLSessionAuthChallengeDisposition::PerformDefaultHandling,
                      std::nullopt);
}

void TWLURLSessionDataTask::challengeAnswered(URLSessionAuthChallengeDisposition disposition,
                                              const std::optional<URLCredential> &credential)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_cancelled || m_finished)
            return;
    }
    if (!m_challenge)
        return;
    const URLAuthenticationChallenge challenge = *std::exchange(m_challenge, std::nullopt);
    const QUrl url = m_reply ? m_reply->url() : originalRequest().url();
    const auto refuse = [&](URLError::Code code, const QString &description) {
        dropReply();
        finishWithError(URLError::make(code, url, description));
    };
    const auto tryAgain = [&] {
        dropReply();
        startOnNetworkThread();
    };
    if (disposition == URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge) {
        refuse(URLError::Cancelled, QStringLiteral("cancelled"));
        return;
    }

    if (const std::optional<ServerTrust> &trust = challenge.protectionSpace.serverTrust) {
        bool trusted = disposition == URLSessionAuthChallengeDisposition::UseCredential &&
                       credential && credential->serverTrust();
        if (!trusted) {
            // The system's verdict, over the roots it trusts.
            ServerTrust::Result result = ServerTrust::Result::Invalid;
            ServerTrust(trust->certificateChain(), trust->hostName()).evaluate(&result);
            trusted = result == ServerTrust::Result::Unspecified ||
                      result == ServerTrust::Result::Proceed;
        }
        if (!trusted) {
            refuse(URLError::ServerCertificateUntrusted,
                   QStringLiteral("untrusted server certificate"));
            return;
        }
        m_trustedChains.append(trust->certificateChain());
        tryAgain();
        return;
    }

    if (disposition == URLSessionAuthChallengeDisposition::UseCredential && credential &&
        !credential->user().isEmpty()) {
        m_credential = credential;
        tryAgain();
        return;
    }
    // Otherwise the server's refusal (401) is delivered as the answer.
    if (m_reply)
        replyFinished();
}
