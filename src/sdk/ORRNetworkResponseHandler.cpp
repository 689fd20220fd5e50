#include "ORRNetworkResponseHandler.h"

#include "support/URLError.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <array>

namespace {

// A leading decimal number, as a text's numeric value reads it: anything
// after the number is ignored, and a text without one reads as 0.
double leadingDecimalValue(const QString &text)
{
    static const QRegularExpression number(
        QStringLiteral("^\\s*([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)"));
    const QRegularExpressionMatch match = number.match(text);
    return match.hasMatch() ? QLocale::c().toDouble(match.captured(1)) : 0.0;
}

bool isRejectedStatus(int status)
{
    static constexpr std::array Rejected{400, 401, 403, 404, 406, 410, 411, 413, 419, 422, 431};
    return std::find(Rejected.begin(), Rejected.end(), status) != Rejected.end();
}

} // namespace

QString ORRNetworkResponseHandler::headerForResponse(const Response &response, const QString &key)
{
    return response ? response->valueForHTTPHeaderField(key) : QString();
}

double ORRNetworkResponseHandler::retryValueForResponse(const Response &response)
{
    const QString header = headerForResponse(response, QStringLiteral("Retry-After"));
    if (header.isNull())
        return DefaultRetryValue;
    const double value = leadingDecimalValue(header);
    return value < 0 ? DefaultRetryValue : value;
}

QString ORRNetworkResponseHandler::requestIdForResponse(const Response &response)
{
    return headerForResponse(response, QStringLiteral("X-Request-Id"));
}

bool ORRNetworkResponseHandler::contentTypeForResponse(const Response &response,
                                                       const URLRequest &request)
{
    const QString accept = request.valueForHTTPHeaderField(QStringLiteral("Accept"));
    if (accept.isNull())
        return true;
    const QString contentType = headerForResponse(response, QStringLiteral("Content-Type"));
    if (contentType.isNull())
        return false;
    const QStringList pieces = contentType.split(QStringLiteral("; charset="));
    if (pieces.first().compare(accept, Qt::CaseInsensitive) != 0)
        return false;
    const QString charset = request.valueForHTTPHeaderField(QStringLiteral("Accept-Charset"));
    if (charset.isNull() || pieces.size() < 2)
        return true;
    return pieces.at(1).compare(charset, Qt::CaseInsensitive) == 0;
}

int ORRNetworkResponseHandler::cancelReasonFromURLError(const Error &error)
{
    if (error.domain() != URLError::Domain || error.code() != URLError::Cancelled)
        return -1;
    const QVariant reason = error.userInfo().value(BackgroundTaskCancelledReasonKey);
    return reason.isValid() ? reason.toInt() : -1;
}

bool ORRNetworkResponseHandler::retryableURLError(const Error &error)
{
    if (error.domain() != URLError::Domain)
        return false;
    static constexpr std::array Permanent{-1022, -1013, -1012, -1010, -1007, -1002,
                                          -1000, -995,  -1200, -1201, -1202, -1203,
                                          -1204, -1205, -1206, -1100, -1101, -1103};
    return std::find(Permanent.begin(), Permanent.end(), error.code()) == Permanent.end();
}

Error ORRNetworkResponseHandler::errorForCode(int code, const QVariantMap &userInfo)
{
    return Error(ORRNetworkErrorDomain, code, userInfo);
}

Error ORRNetworkResponseHandler::errorForResponse(const Response &response, int type, int status)
{
    int code;
    switch (type) {
    case Success:
        return {};
    case RejectedRequest:
        code = RejectedResponse;
        break;
    case ServerFailure:
    case Throttled:
        code = RetryableResponse;
        break;
    default:
        code = FailedResponse;
        break;
    }
    const QString requestId = requestIdForResponse(response);
    const QString contentType = headerForResponse(response, QStringLiteral("Content-Type"));
    return errorForCode(code, {
                                  {QStringLiteral("type"), type},
                                  {QStringLiteral("status_code"), status},
                                  {QStringLiteral("request_id"),
                                   requestId.isNull() ? QStringLiteral("") : requestId},
                                  {QStringLiteral("content_type"),
                                   contentType.isNull() ? QStringLiteral("") : contentType},
                              });
}

void ORRNetworkResponseHandler::clientResponseType(const Response &response,
                                                   const TypeHandler &handler)
{
    if (!response) {
        handler(Failure, 0);
        return;
    }
    const int status = response->statusCode();
    if (status >= 400 && status <= 431) {
        if (isRejectedStatus(status)) {
            handler(RejectedRequest, status);
            return;
        }
        if (status == 420 || status == 429) {
            handler(Throttled, status);
            return;
        }
        if (status == 408) {
            handler(ServerFailure, status);
            return;
        }
    }
    switch (status) {
    case 200:
    case 201:
    case 202:
    case 204:
    case 304:
        handler(Success, status);
        return;
    default:
        handler(status >= 500 && status <= 599 ? ServerFailure : Failure, status);
        return;
    }
}

void ORRNetworkResponseHandler::handleCompletedResponse(const Response &response,
                                                        const URLRequest &originalRequest,
                                                        const Error &transportError,
                                                        const CompletionBlock &block)
{
    if (!transportError.isNull()) {
        block(retryableURLError(transportError), transportError);
        return;
    }
    clientResponseType(response, [&](int type, int status) {
        switch (type) {
        case Success:
            if (!contentTypeForResponse(response, originalRequest))
                block(false, errorForResponse(response, Failure, status));
            else
                block(false, {});
            return;
        case ServerFailure:
        case Throttled:
            block(true, errorForResponse(response, type, status));
            return;
        default:
            block(false, errorForResponse(response, type, status));
            return;
        }
    });
}
