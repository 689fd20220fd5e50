#include "URLError.h"

Error URLError::make(int code, const QUrl &url, const QString &description)
{
    QVariantMap userInfo{{FailingURLStringKey, url.toString()}};
    if (!description.isEmpty())
        userInfo.insert(Error::LocalizedDescriptionKey, description);
    return Error(Domain, code, userInfo);
}

Error URLError::fromSslErrors(const QList<QSslError> &sslErrors, const QUrl &url)
{
    int code = SecureConnectionFailed;
    QString description;
    for (const QSslError &error : sslErrors) {
        description = error.errorString();
        switch (error.error()) {
        case QSslError::CertificateExpired:
            code = ServerCertificateHasBadDate;
            break;
        case QSslError::CertificateNotYetValid:
            code = ServerCertificateNotYetValid;
            break;
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToGetIssuerCertificate:
            code = ServerCertificateHasUnknownRoot;
            break;
        default:
            code = ServerCertificateUntrusted;
            break;
        }
        break;
    }
    return make(code, url, description);
}

Error URLError::fromReply(QNetworkReply::NetworkError error, const QString &description,
                          const QUrl &url, const QList<QSslError> &sslErrors)
{
    int code = Unknown;
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::ProxyConnectionRefusedError:
        code = CannotConnectToHost;
        break;
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        code = NetworkConnectionLost;
        break;
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::ProxyNotFoundError:
        code = CannotFindHost;
        break;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::ProxyTimeoutError:
    // The session never lets its own cancellations reach a caller, so an
    // abort that does arrive is the request's time-out.
    case QNetworkReply::OperationCanceledError:
        code = TimedOut;
        break;
    case QNetworkReply::SslHandshakeFailedError:
        if (!sslErrors.isEmpty())
            return fromSslErrors(sslErrors, url);
        code = SecureConnectionFailed;
        break;
    case QNetworkReply::TooManyRedirectsError:
        code = HTTPTooManyRedirects;
        break;
    case QNetworkReply::InsecureRedirectError:
        code = AppTransportSecurityRequiresSecureConnection;
        break;
    case QNetworkReply::ProtocolUnknownError:
        code = UnsupportedURL;
        break;
    case QNetworkReply::ProtocolInvalidOperationError:
    case QNetworkReply::ProtocolFailure:
        code = BadServerResponse;
        break;
    case QNetworkReply::ProxyAuthenticationRequiredError:
        code = UserAuthenticationRequired;
        break;
    default:
        break;
    }
    return make(code, url, description);
}
