#pragma once

#include "foundation/Error.h"

#include <QList>
#include <QNetworkReply>
#include <QSslError>
#include <QUrl>

// Transport failures in the URL error domain, with the codes that callers
// classify (retryable or not) by number.
class URLError
{
public:
    static inline const QString Domain = QStringLiteral("NSURLErrorDomain");
    static inline const QString FailingURLStringKey = QStringLiteral("NSErrorFailingURLStringKey");

    enum Code
    {
        Unknown = -1,
        Cancelled = -999,
        BadURL = -1000,
        TimedOut = -1001,
        UnsupportedURL = -1002,
        CannotFindHost = -1003,
        CannotConnectToHost = -1004,
        NetworkConnectionLost = -1005,
        HTTPTooManyRedirects = -1007,
        BadServerResponse = -1011,
        UserAuthenticationRequired = -1013,
        AppTransportSecurityRequiresSecureConnection = -1022,
        FileDoesNotExist = -1100,
        NoPermissionsToReadFile = -1102,
        SecureConnectionFailed = -1200,
        ServerCertificateHasBadDate = -1201,
        ServerCertificateUntrusted = -1202,
        ServerCertificateHasUnknownRoot = -1203,
        ServerCertificateNotYetValid = -1204,
    };

    static Error make(int code, const QUrl &url, const QString &description = {});
    // The error for a reply that failed below HTTP; certificate problems
    // found during the handshake give the more precise certificate codes.
    static Error fromReply(QNetworkReply::NetworkError error, const QString &description,
                           const QUrl &url, const QList<QSslError> &sslErrors = {});
    static Error fromSslErrors(const QList<QSslError> &sslErrors, const QUrl &url);
};
