#include "ORRCertificatePinner.h"

#include "support/URLCredential.h"

#include <QByteArray>

#include <array>
#include <string_view>

// The roots' base64 DER text, generated at build time from the certificate
// files (ORRPinnedCertificateData.cpp in the build tree).
extern const std::array<std::string_view, 8> ORRPinnedCertificateBase64;

const QList<QSslCertificate> &ORRCertificatePinner::builtinCertificates()
{
    static const QList<QSslCertificate> certificates = [] {
        QList<QSslCertificate> list;
        for (std::string_view text : ORRPinnedCertificateBase64) {
            const QByteArray der = QByteArray::fromBase64(QByteArray(text.data(), text.size()));
            if (std::optional<QSslCertificate> certificate =
                    createCertificationWithData(der.constData(), der.size()))
                list.append(*certificate);
        }
        return list;
    }();
    return certificates;
}

std::optional<QSslCertificate> ORRCertificatePinner::createCertificationWithData(const char *bytes,
                                                                                 qsizetype length)
{
    QSslCertificate certificate(QByteArray(bytes, length), QSsl::Der);
    if (certificate.isNull())
        return std::nullopt;
    return certificate;
}

ORRCertificatePinner::ORRCertificatePinner(const QList<QSslCertificate> &certificates)
    : m_certificates(certificates)
{}

int ORRCertificatePinner::evaluateTrust(ServerTrust &trust, ServerTrust::Result *result) const
{
    if (m_certificates.isEmpty()) {
        *result = ServerTrust::Result::Invalid;
        return ServerTrust::NoError;
    }
    int status = trust.setAnchorCertificates(m_certificates);
    if (status != ServerTrust::NoError) {
        *result = ServerTrust::Result::FatalTrustFailure;
        return status;
    }
    status = trust.setAnchorCertificatesOnly(true);
    if (status != ServerTrust::NoError) {
        *result = ServerTrust::Result::FatalTrustFailure;
        return status;
    }
    status = trust.evaluate(result);
    if (status != ServerTrust::NoError) {
        *result = ServerTrust::Result::Invalid;
        return status;
    }
    return ServerTrust::NoError;
}

bool ORRCertificatePinner::handleChallenge(
    const URLAuthenticationChallenge &challenge, TWLURLSession *,
    const URLSessionChallengeCompletionHandler &completionHandler) const
{
    if (std::optional<ServerTrust> trust = challenge.protectionSpace.serverTrust) {
        ServerTrust::Result result = ServerTrust::Result::Invalid;
        const int status = evaluateTrust(*trust, &result);
        if (status == ServerTrust::NoError && (result == ServerTrust::Result::Proceed ||
                                               result == ServerTrust::Result::Unspecified)) {
            completionHandler(URLSessionAuthChallengeDisposition::UseCredential,
                              URLCredential::credentialForTrust(*trust));
            return true;
        }
    }
    completionHandler(URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge,
                      std::nullopt);
    return false;
}
