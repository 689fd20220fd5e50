#include "ORRNetworkClient.h"

#include "ORRNetworkResponseHandler.h"
#include "Orrery.h"
#include "support/URLError.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>

// Answers the session's trust challenges for the client.
class ORRNetworkClient::SessionDelegate : public TWLURLSessionDelegate
{
public:
    using TWLURLSessionDelegate::URLSession;

    explicit SessionDelegate(std::shared_ptr<const ORRCertificatePinner> pinner)
        : m_pinner(std::move(pinner))
    {}

    void URLSession(const Session &, const std::shared_ptr<TWLURLSessionTask> &,
                    const Error &) override
    {}

    void URLSession(const Session &session, const URLAuthenticationChallenge &challenge,
                    const URLSessionChallengeCompletionHandler &completionHandler) override
    {
        if (Orrery::sharedSDK().debug() || !m_pinner) {
            completionHandler(URLSessionAuthChallengeDisposition::PerformDefaultHandling,
                              std::nullopt);
            return;
        }
        m_pinner->handleChallenge(challenge, session.get(), completionHandler);
    }

private:
    const std::shared_ptr<const ORRCertificatePinner> m_pinner;
};

namespace {

// Where retries start when the caller names no queue.
const std::shared_ptr<OperationQueue> &globalQueue()
{
    static const auto queue =
        std::make_shared<OperationQueue>(QStringLiteral("ORRNetworkClient retries"));
    return queue;
}

Error retryLimitError(unsigned retryLimit, const URLRequest &request)
{
    return ORRNetworkResponseHandler::errorForCode(
        ORRNetworkResponseHandler::RetryLimitReached,
        {{QStringLiteral("retryLimit"), retryLimit},
         {URLError::FailingURLStringKey, request.url().toString()}});
}

} // namespace

std::shared_ptr<ORRNetworkClient> ORRNetworkClient::create(std::shared_ptr<OperationQueue> queue,
                                                           Certificates pinnedCertificates,
                                                           std::shared_ptr<BackoffClock> clock)
{
    return createWithSessionConfiguration(TWLURLSessionConfiguration::defaultSessionConfiguration(),
                                          std::move(queue), std::move(pinnedCertificates),
                                          std::move(clock));
}

std::shared_ptr<ORRNetworkClient> ORRNetworkClient::createWithSessionConfiguration(
    const std::optional<TWLURLSessionConfiguration> &configuration,
    std::shared_ptr<OperationQueue> queue, Certificates pinnedCertificates,
    std::shared_ptr<BackoffClock> clock)
{
    std::shared_ptr<ORRNetworkClient> client(new ORRNetworkClient);
    client->m_clock = clock ? std::move(clock) : BackoffClock::systemClock();
    if (pinnedCertificates)
        client->m_certPinner = std::make_shared<ORRCertificatePinner>(*pinnedCertificates);
    client->m_session = TWLURLSession::sessionWithConfiguration(
        configuration, std::make_shared<SessionDelegate>(client->m_certPinner), std::move(queue));
    if (!client->m_session)
        return nullptr;
    return client;
}

ORRNetworkClient::~ORRNetworkClient()
{
    if (m_session)
        m_session->finishTasksAndInvalidate();
}

void ORRNetworkClient::startDataTaskWithRequest(const URLRequest &request,
                                                DataCompletionHandler handler)
{
    startDataTaskWithRequest(request, DefaultRetryLimit, std::move(handler));
}

void ORRNetworkClient::startDataTaskWithRequest(const URLRequest &request, unsigned retryLimit,
                                                DataCompletionHandler handler)
{
    startDataTaskWithRequest(request, retryLimit, 0, std::move(handler));
}

void ORRNetworkClient::startDataTaskWithRequest(const URLRequest &request, unsigned retryLimit,
                                                unsigned tries, DataCompletionHandler handler)
{
    auto self = shared_from_this();
    const auto task = m_session->dataTaskWithRequest(
        request, [self, request, retryLimit, tries,
                  handler](const std::optional<QByteArray> &data,
                           const std::optional<URLResponse> &response, const Error &error) {
            self->finishOrRetry(
                request, response, error, retryLimit, tries,
                [&](const Error &outcome, bool gaveUp) {
                    if (gaveUp)
                        handler(std::nullopt, std::nullopt, outcome);
                    else
                        handler(data, response, outcome);
                },
                [=] { self->startDataTaskWithRequest(request, retryLimit, tries + 1, handler); });
        });
    if (!task) {
        handler(std::nullopt, std::nullopt,
                ORRNetworkResponseHandler::errorForCode(ORRNetworkResponseHandler::NoTask, {}));
        return;
    }
    task->resume();
}

void ORRNetworkClient::startDownloadTaskWithRequest(const URLRequest &request,
                                                    DownloadCompletionHandler handler)
{
    startDownloadTaskWithRequest(request, DefaultRetryLimit, std::move(handler));
}

void ORRNetworkClient::startDownloadTaskWithRequest(const URLRequest &request, unsigned retryLimit,
                                                    DownloadCompletionHandler handler)
{
    startDownloadTaskWithRequest(request, retryLimit, 0, std::move(handler));
}

void ORRNetworkClient::startDownloadTaskWithRequest(const URLRequest &request, unsigned retryLimit,
                                                    unsigned tries,
                                                    DownloadCompletionHandler handler)
{
    auto self = shared_from_this();
    const auto task = m_session->downloadTaskWithRequest(
        request,
        [self, request, retryLimit, tries, handler](
            const QUrl &location, const std::optional<URLResponse> &response, const Error &error) {
            self->finishOrRetry(
                request, response, error, retryLimit, tries,
                [&](const Error &outcome, bool gaveUp) {
                    if (gaveUp)
                        handler(QUrl(), std::nullopt, outcome);
                    else
                        handler(location, response, outcome);
                },
                [=] {
                    self->startDownloadTaskWithRequest(request, retryLimit, tries + 1, handler);
                });
        });
    if (!task) {
        handler(QUrl(), std::nullopt,
                ORRNetworkResponseHandler::errorForCode(ORRNetworkResponseHandler::NoTask, {}));
        return;
    }
    task->resume();
}

void ORRNetworkClient::finishOrRetry(const URLRequest &request,
                                     const std::optional<URLResponse> &response, const Error &error,
                                     unsigned retryLimit, unsigned tries,
                                     const std::function<void(const Error &, bool)> &finish,
                                     std::function<void()> again) const
{
    ORRNetworkResponseHandler::handleCompletedResponse(
        response, request, error, [&](bool retry, const Error &outcome) {
            if (!retry)
                finish(outcome, false);
            else if (tries >= retryLimit)
                finish(retryLimitError(retryLimit, request), true);
            else
                runAfterRetryValueFromResponse(response, tries, std::move(again));
        });
}

double ORRNetworkClient::computeDelayForResponse(const std::optional<URLResponse> &response,
                                                 unsigned tries)
{
    const double base = std::max(2.0, ORRNetworkResponseHandler::retryValueForResponse(response));
    const double exponent = tries == 0 ? 1.0 : double(tries);
    return std::pow(base, exponent) * generateRandomJitter();
}

double ORRNetworkClient::generateRandomJitter()
{
    // The bounds are single-precision constants, as the service's clients
    // have always used them.
    return randomDoubleWithMin(double(0.9f), double(1.1f));
}

double ORRNetworkClient::randomDoubleWithMin(double min, double max)
{
    // The generator is never seeded; the lock keeps its state whole when
    // retries of several clients draw at once.
    static std::mutex generatorMutex;
    double r;
    {
        std::lock_guard lock(generatorMutex);
        r = ::drand48();
    }
    return min + r * (max - min);
}

void ORRNetworkClient::runAfterRetryValueFromResponse(const std::optional<URLResponse> &response,
                                                      unsigned attempts,
                                                      std::function<void()> block) const
{
    runAfterRetryValueFromResponse(response, attempts, globalQueue(), std::move(block));
}

void ORRNetworkClient::runAfterRetryValueFromResponse(const std::optional<URLResponse> &response,
                                                      unsigned attempts,
                                                      std::shared_ptr<OperationQueue> queue,
                                                      std::function<void()> block) const
{
    m_clock->runAfter(
        BackoffClock::durationFromSeconds(computeDelayForResponse(response, attempts)),
        [queue = std::move(queue), block = std::move(block)] {
            queue->addOperationWithBlock(block);
        });
}

void ORRNetworkClient::invalidateAndCancel()
{
    m_session->invalidateAndCancel();
}
