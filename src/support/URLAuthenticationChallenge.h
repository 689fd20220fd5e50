#pragma once

#include "ServerTrust.h"
#include "URLCredential.h"

#include <QString>

#include <functional>
#include <optional>

// What is being authenticated: a host and port, and either the server's
// certificate chain (server trust) or an HTTP realm.
struct URLProtectionSpace
{
    static inline const QString AuthenticationMethodServerTrust =
        QStringLiteral("NSURLAuthenticationMethodServerTrust");
    static inline const QString AuthenticationMethodHTTPBasic =
        QStringLiteral("NSURLAuthenticationMethodHTTPBasic");
    static inline const QString AuthenticationMethodHTTPDigest =
        QStringLiteral("NSURLAuthenticationMethodHTTPDigest");
    static inline const QString AuthenticationMethodDefault =
        QStringLiteral("NSURLAuthenticationMethodDefault");

    QString host;
    int port = 0;
    QString protocol;
    QString realm;
    QString authenticationMethod;
    // Present only for server-trust challenges.
    std::optional<ServerTrust> serverTrust;
};

// A question the session puts to its delegate before it goes on with a
// connection.
struct URLAuthenticationChallenge
{
    URLProtectionSpace protectionSpace;
    int previousFailureCount = 0;
};

enum class URLSessionAuthChallengeDisposition
{
    UseCredential = 0,
    PerformDefaultHandling = 1,
    CancelAuthenticationChallenge = 2,
    RejectProtectionSpace = 3,
};

using URLSessionChallengeCompletionHandler =
    std::function<void(URLSessionAuthChallengeDisposition, std::optional<URLCredential>)>;
