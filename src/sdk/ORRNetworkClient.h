#pragma once

#include "ORRCertificatePinner.h"
#include "foundation/Error.h"
#include "foundation/OperationQueue.h"
#include "support/BackoffClock.h"
#include "support/TWLURLSession.h"

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

// Owns one URL session and runs data and download tasks on it, retrying
// server failures, throttling and passing transport failures with
// exponential backoff and jitter. Server-trust challenges go to the
// certificate pinner unless the SDK is in debug mode or there is none.
//
// Running tasks and pending retries keep the client alive; when the last
// owner lets it go, its session finishes the running tasks and is
// invalidated.
class ORRNetworkClient : public std::enable_shared_from_this<ORRNetworkClient>
{
public:
    using DataCompletionHandler =
        std::function<void(const std::optional<QByteArray> &data,
                           const std::optional<URLResponse> &response, const Error &error)>;
    // location is empty when there is no file.
    using DownloadCompletionHandler = std::function<void(
        const QUrl &location, const std::optional<URLResponse> &response, const Error &error)>;
    using Certificates = std::optional<QList<QSslCertificate>>;

    static constexpr unsigned DefaultRetryLimit = 10;

    // No delegate queue means the session makes its own; no certificates
    // means no pinning; no clock means the system clock times the waits
    // between attempts. Nothing is made when the session cannot be.
    static std::shared_ptr<ORRNetworkClient> create(std::shared_ptr<OperationQueue> queue = nullptr,
                                                    Certificates pinnedCertificates = {},
                                                    std::shared_ptr<BackoffClock> clock = nullptr);
    static std::shared_ptr<ORRNetworkClient>
    createWithSessionConfiguration(const std::optional<TWLURLSessionConfiguration> &configuration,
                                   std::shared_ptr<OperationQueue> queue,
                                   Certificates pinnedCertificates,
                                   std::shared_ptr<BackoffClock> clock = nullptr);

    ~ORRNetworkClient();
    ORRNetworkClient(const ORRNetworkClient &) = delete;
    ORRNetworkClient &operator=(const ORRNetworkClient &) = delete;

    const ORRCertificatePinner *certPinner() const { return m_certPinner.get(); }
    const std::shared_ptr<TWLURLSession> &session() const { return m_session; }
    const std::shared_ptr<BackoffClock> &clock() const { return m_clock; }

    // Up to retryLimit + 1 attempts; the handler hears once, on the
    // session's delegate queue (or at once for a task that cannot be made).
    void startDataTaskWithRequest(const URLRequest &request, DataCompletionHandler handler);
    void startDataTaskWithRequest(const URLRequest &request, unsigned retryLimit,
                                  DataCompletionHandler handler);
    void startDataTaskWithRequest(const URLRequest &request, unsigned retryLimit, unsigned tries,
                                  DataCompletionHandler handler);
    // The downloaded file is deleted when the handler returns.
    void startDownloadTaskWithRequest(const URLRequest &request, DownloadCompletionHandler handler);
    void startDownloadTaskWithRequest(const URLRequest &request, unsigned retryLimit,
                                      DownloadCompletionHandler handler);
    void startDownloadTaskWithRequest(const URLRequest &request, unsigned retryLimit,
                                      unsigned tries, DownloadCompletionHandler handler);

    // Seconds before the next attempt after tries failed ones: the larger of
    // 2 and "Retry-After", raised to the number of tries (at least 1), times
    // a jitter factor between 0.9 and 1.1.
    static double computeDelayForResponse(const std::optional<URLResponse> &response,
                                          unsigned tries);
    static double generateRandomJitter();
    static double randomDoubleWithMin(double min, double max);
    // Runs block once after the backoff delay, timed by the client's clock,
    // on queue (the shared concurrent queue when none is given).
    void runAfterRetryValueFromResponse(const std::optional<URLResponse> &response,
                                        unsigned attempts, std::function<void()> block) const;
    void runAfterRetryValueFromResponse(const std::optional<URLResponse> &response,
                                        unsigned attempts, std::shared_ptr<OperationQueue> queue,
                                        std::function<void()> block) const;

    void invalidateAndCancel();

private:
    class SessionDelegate;
    ORRNetworkClient() = default;

    // What a completed transfer leads to: its outcome for the caller
    // (gaveUp when the retries ran out), or another try after the backoff.
    void finishOrRetry(const URLRequest &request, const std::optional<URLResponse> &response,
                       const Error &error, unsigned retryLimit, unsigned tries,
                       const std::function<void(const Error &outcome, bool gaveUp)> &finish,
                       std::function<void()> again) const;

    std::shared_ptr<const ORRCertificatePinner> m_certPinner;
    std::shared_ptr<TWLURLSession> m_session;
    std::shared_ptr<BackoffClock> m_clock;
};
