#pragma once

#include "foundation/Error.h"
#include "support/URLRequest.h"
#include "support/URLResponse.h"

#include <QString>
#include <QVariantMap>

#include <functional>
#include <optional>

// The SDK's error domain for HTTP and retry failures, shared with the kits.
inline const QString ORRNetworkErrorDomain = QStringLiteral("ORRNetworkError");

// Classifies finished responses (success, failure, retryable), reads the
// headers the SDK cares about and turns failures into ORRNetworkError
// errors. A response is absent when the transfer produced no HTTP answer.
class ORRNetworkResponseHandler
{
public:
    enum ResponseType
    {
        Success = 0,
        Failure = 1,
        RejectedRequest = 2,
        ServerFailure = 3,
        Throttled = 4,
    };
    enum ErrorCode
    {
        RetryableResponse = -1,
        NoTask = -3,
        FailedResponse = -4,
        RejectedResponse = -5,
        RetryLimitReached = -6,
    };
    using Response = std::optional<URLResponse>;
    using TypeHandler = std::function<void(int type, int status)>;
    using CompletionBlock = std::function<void(bool retry, const Error &error)>;

    // Seconds to wait when the server does not say.
    static constexpr double DefaultRetryValue = 2.0;
    static inline const QString BackgroundTaskCancelledReasonKey =
        QStringLiteral("NSURLErrorBackgroundTaskCancelledReasonKey");

    // A null string when there is no response or it lacks the header.
    static QString headerForResponse(const Response &response, const QString &key);
    // "Retry-After" in seconds; 2 when absent or negative.
    static double retryValueForResponse(const Response &response);
    static QString requestIdForResponse(const Response &response);
    static bool contentTypeForResponse(const Response &response, const URLRequest &request);
    static int cancelReasonFromURLError(const Error &error);
    static bool retryableURLError(const Error &error);

    static Error errorForCode(int code, const QVariantMap &userInfo);
    // A null error for a success.
    static Error errorForResponse(const Response &response, int type, int status);
    static void clientResponseType(const Response &response, const TypeHandler &handler);
    // The one step after every request: whether to retry, and the error the
    // caller sees (null on success). A null transportError means none.
    static void handleCompletedResponse(const Response &response, const URLRequest &originalRequest,
                                        const Error &transportError, const CompletionBlock &block);
};
