#pragma once

#include <QString>
#include <QVariantMap>

#include <optional>

// How a session is set up. The session sends HTTPAdditionalHeaders with
// every request; the other settings are kept for callers that read them
// back, while each request's own time-out governs its transfer.
class TWLURLSessionConfiguration
{
public:
    static TWLURLSessionConfiguration defaultSessionConfiguration();
    static TWLURLSessionConfiguration ephemeralSessionConfiguration();
    // Background transfers do not exist here, so there is no such configuration.
    static std::optional<TWLURLSessionConfiguration>
    backgroundSessionConfigurationWithIdentifier(const QString &identifier);
    static std::optional<TWLURLSessionConfiguration>
    backgroundSessionConfiguration(const QString &identifier);

    // Header name to value; values are sent as their text.
    const QVariantMap &HTTPAdditionalHeaders() const { return m_additionalHeaders; }
    void setHTTPAdditionalHeaders(const QVariantMap &headers) { m_additionalHeaders = headers; }
    unsigned HTTPCookieAcceptPolicy() const { return m_cookieAcceptPolicy; }
    void setHTTPCookieAcceptPolicy(unsigned policy) { m_cookieAcceptPolicy = policy; }
    double timeoutIntervalForRequest() const { return m_timeoutForRequest; }
    void setTimeoutIntervalForRequest(double seconds) { m_timeoutForRequest = seconds; }
    double timeoutIntervalForResource() const { return m_timeoutForResource; }
    void setTimeoutIntervalForResource(double seconds) { m_timeoutForResource = seconds; }
    bool allowsCellularAccess() const { return m_allowsCellularAccess; }
    void setAllowsCellularAccess(bool allows) { m_allowsCellularAccess = allows; }
    bool sessionSendsLaunchEvents() const { return false; }

private:
    QVariantMap m_additionalHeaders;
    unsigned m_cookieAcceptPolicy = 0;
    double m_timeoutForRequest = 0;
    double m_timeoutForResource = 0;
    bool m_allowsCellularAccess = false;
};
