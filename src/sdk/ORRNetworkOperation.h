#pragma once

#include "ORRAsyncOperation.h"
#include "support/URLRequest.h"

#include <QString>
#include <QUrl>

// An asynchronous operation that talks to the service for one application:
// it carries the API key and builds requests with the SDK's standard
// headers. Concrete operations are made through factories that give no
// operation for a null key.
class ORRNetworkOperation : public ORRAsyncOperation
{
public:
    static constexpr double DefaultTimeout = 10.0;

    const QString &APIKey() const { return m_APIKey; }

    // The standard request with the default time-out; operations that send
    // more headers add them here.
    virtual URLRequest mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(const QUrl &url);
    // A request that never answers from a cache, with the standard headers
    // in their fixed order.
    URLRequest mutableRequestWithDefaultHTTPHeadersForURL(const QUrl &url, double timeout) const;

    // "<client id>/<display version> (<build version>)".
    static QString userAgentString();
    // The user's locale, such as "en_GB".
    static QString localeIdentifier();

protected:
    explicit ORRNetworkOperation(QString APIKey);
    QString className() const override { return QStringLiteral("ORRNetworkOperation"); }

private:
    const QString m_APIKey;
};
