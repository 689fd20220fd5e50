#include "TLYNetworkRetryHandler.h"

#include "sdk/ORRNetworkResponseHandler.h"
#include "sdk/Orrery.h"
#include "support/URLError.h"

TLYNetworkRetryHandler::TLYNetworkRetryHandler(ORRNetworkClient::Certificates pinnedCertificates,
                                               std::shared_ptr<BackoffClock> clock)
    : m_certPinner(pinnedCertificates
                       ? std::make_shared<const ORRCertificatePinner>(*pinnedCertificates)
                       : nullptr)
    , m_clock(clock ? std::move(clock) : BackoffClock::systemClock())
{}

void TLYNetworkRetryHandler::handleChallenge(
    const URLAuthenticationChallenge &challenge, TWLURLSession *session,
    const URLSessionChallengeCompletionHandler &completionHandler) const
{
    if (Orrery::sharedSDK().debug() || !m_certPinner) {
        completionHandler(URLSessionAuthChallengeDisposition::PerformDefaultHandling, std::nullopt);
        return;
    }
    m_certPinner->handleChallenge(challenge, session, completionHandler);
}

void TLYNetworkRetryHandler::handleCompletedRequest(const URLRequest &request,
                                                    const std::optional<URLResponse> &response,
                                                    const QString &identifier, const Error &error,
                                                    CompletionHandler handler)
{
    handleCompletedRequest(request, response, identifier, DefaultMaxRetries, error,
                           std::move(handler));
}

void TLYNetworkRetryHandler::handleCompletedRequest(const URLRequest &request,
                                                    const std::optional<URLResponse> &response,
                                                    const QString &identifier, unsigned maxRetries,
                                                    const Error &error, CompletionHandler handler)
{
    bool retry = false;
    Error outcome;
    ORRNetworkResponseHandler::handleCompletedResponse(response, request, error,
                                                       [&](bool shouldRetry, const Error &e) {
                                                           retry = shouldRetry;
                                                           outcome = e;
                                                       });
    if (!retry) {
        handler(false, outcome);
        return;
    }
    const std::shared_ptr<TLYBackoffTimer> timer =
        timerForIdentifier(identifier, retryValueForResponse(response));
    if (!timer) {
        handler(false, errorWithCode(NoIdentifier, identifier, request, outcome));
        return;
    }
    // The count is checked before it is raised: the limit allows that many
    // retries and one more.
    if (timer->retryCount() > maxRetries) {
        handler(false, errorWithCode(RetryLimitReached, identifier, request, outcome));
        return;
    }
    timer->executeBlockAfterNextInterval(
        [handler = std::move(handler), outcome] { handler(true, outcome); });
}

double TLYNetworkRetryHandler::retryValueForResponse(const std::optional<URLResponse> &response)
{
    return ORRNetworkResponseHandler::retryValueForResponse(response);
}

std::shared_ptr<TLYBackoffTimer>
TLYNetworkRetryHandler::timerForIdentifier(const QString &identifier, double initialRetryValue)
{
    if (identifier.isEmpty())
        return nullptr;
    std::lock_guard lock(m_mutex);
    std::shared_ptr<TLYBackoffTimer> &timer = m_retryTimerMap[identifier];
    if (!timer)
        timer = std::make_shared<TLYBackoffTimer>(
            initialRetryValue, TLYBackoffTimer::DefaultJitterCoefficient, m_clock);
    return timer;
}

Error TLYNetworkRetryHandler::errorWithCode(int code, const QString &identifier,
                                            const URLRequest &request, const Error &handlerError)
{
    if (!handlerError.isNull())
        return handlerError;
    QVariantMap userInfo{
        {IdentifierKey, identifier.isEmpty() ? QStringLiteral("(null)") : identifier}};
    if (!request.url().isEmpty())
        userInfo.insert(URLError::FailingURLStringKey, request.url().toString());
    return ORRNetworkResponseHandler::errorForCode(code, userInfo);
}
