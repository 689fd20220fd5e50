#pragma once

#include "TLYBackoffTimer.h"

#include "sdk/ORRCertificatePinner.h"
#include "sdk/ORRNetworkClient.h"
#include "support/URLAuthenticationChallenge.h"
#include "support/URLRequest.h"
#include "support/URLResponse.h"

#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class TWLURLSession;

// Decides, per package, whether a finished upload is tried again, and
// waits before it says so: server failures, throttling and passing
// transport failures are retried with a backoff that grows per package
// (TLYBackoffTimer), up to a limit; everything else is final. Also answers
// the uploads' server-trust challenges with certificate pinning.
class TLYNetworkRetryHandler
{
public:
    using CompletionHandler = std::function<void(bool retry, const Error &error)>;

    static constexpr unsigned DefaultMaxRetries = 10;
    static inline const QString IdentifierKey = QStringLiteral("TLYNetworkRetryHandlerIdentifier");
    enum ErrorCode
    {
        RetryLimitReached = -6,
        NoIdentifier = -7,
    };

    // Pinned to the SDK's built-in roots unless told otherwise (none means
    // the system's verdict); the waits are timed by clock (the system clock
    // when null).
    explicit TLYNetworkRetryHandler(ORRNetworkClient::Certificates pinnedCertificates =
                                        ORRCertificatePinner::builtinCertificates(),
                                    std::shared_ptr<BackoffClock> clock = nullptr);
    TLYNetworkRetryHandler(const TLYNetworkRetryHandler &) = delete;
    TLYNetworkRetryHandler &operator=(const TLYNetworkRetryHandler &) = delete;

    const ORRCertificatePinner *certPinner() const { return m_certPinner.get(); }

    // In the SDK's debug mode, or without a pinner, the system decides;
    // otherwise only a chain ending in a pinned root is accepted.
    void handleChallenge(const URLAuthenticationChallenge &challenge, TWLURLSession *session,
                         const URLSessionChallengeCompletionHandler &completionHandler) const;

    // Answers handler at once when there is nothing to retry, or after the
    // package's next wait when there is. A null transport error means none.
    void handleCompletedRequest(const URLRequest &request,
                                const std::optional<URLResponse> &response,
                                const QString &identifier, const Error &error,
                                CompletionHandler handler);
    void handleCompletedRequest(const URLRequest &request,
                                const std::optional<URLResponse> &response,
                                const QString &identifier, unsigned maxRetries, const Error &error,
                                CompletionHandler handler);

    // "Retry-After" in seconds, 2 when absent.
    static double retryValueForResponse(const std::optional<URLResponse> &response);
    // The package's timer, made on its first retry with initialRetryValue,
    // which it keeps; null for an empty identifier.
    std::shared_ptr<TLYBackoffTimer> timerForIdentifier(const QString &identifier,
                                                        double initialRetryValue);
    // handlerError when there is one; otherwise a new error of the code,
    // naming the package and the address.
    static Error errorWithCode(int code, const QString &identifier, const URLRequest &request,
                               const Error &handlerError);

private:
    const std::shared_ptr<const ORRCertificatePinner> m_certPinner;
    const std::shared_ptr<BackoffClock> m_clock;
    std::mutex m_mutex;
    QHash<QString, std::shared_ptr<TLYBackoffTimer>> m_retryTimerMap;
};
