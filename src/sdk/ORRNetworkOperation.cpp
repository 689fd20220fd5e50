#include "ORRNetworkOperation.h"

#include "ORRConstants.h"

#include <QLocale>

ORRNetworkOperation::ORRNetworkOperation(QString APIKey)
    : m_APIKey(std::move(APIKey))
{}

URLRequest
ORRNetworkOperation::mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(const QUrl &url)
{
    return mutableRequestWithDefaultHTTPHeadersForURL(url, DefaultTimeout);
}

URLRequest ORRNetworkOperation::mutableRequestWithDefaultHTTPHeadersForURL(const QUrl &url,
                                                                           double timeout) const
{
    // The session layer keeps no response cache, so every request goes to
    // the server as a reload would.
    URLRequest request(url, timeout);
    const QString locale = localeIdentifier();
    request.setValue(userAgentString(), QStringLiteral("User-Agent"));
    request.setValue(QStringLiteral("utf-8"), QStringLiteral("Accept-Charset"));
    request.setValue(locale, QStringLiteral("Accept-Language"));
    request.setValue(locale, QStringLiteral("Content-Language"));
    request.setValue(ORRSDKDeveloperToken, QStringLiteral("X-Tarnwell-Developer-Token"));
    request.setValue(ORRSDKClientIdentifier, QStringLiteral("X-Tarnwell-API-Client-Id"));
    request.setValue(ORRSDKDisplayVersion, QStringLiteral("X-Tarnwell-API-Client-Display-Version"));
    request.setValue(ORRSDKBuildVersion, QStringLiteral("X-Tarnwell-API-Client-Build-Version"));
    request.setValue(m_APIKey, QStringLiteral("X-Tarnwell-API-Key"));
    return request;
}

QString ORRNetworkOperation::userAgentString()
{
    return QStringLiteral("%1/%2 (%3)")
        .arg(ORRSDKClientIdentifier, ORRSDKDisplayVersion, ORRSDKBuildVersion);
}

QString ORRNetworkOperation::localeIdentifier()
{
    return QLocale::system().name();
}
