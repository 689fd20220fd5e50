#pragma once

#include "support/ServerTrust.h"
#include "support/URLAuthenticationChallenge.h"

#include <QList>
#include <QSslCertificate>

#include <optional>

class TWLURLSession;

// Trusts a TLS server only when its chain ends in one of a fixed set of
// root certificates, whatever else the system trusts.
class ORRCertificatePinner
{
public:
    // The eight roots built into the SDK, in their fixed order; decoded
    // once per process.
    static const QList<QSslCertificate> &builtinCertificates();
    // A certificate from DER bytes, or nothing when they are not one.
    static std::optional<QSslCertificate> createCertificationWithData(const char *bytes,
                                                                      qsizetype length);

    explicit ORRCertificatePinner(const QList<QSslCertificate> &certificates);

    const QList<QSslCertificate> &certificates() const { return m_certificates; }

    // Evaluates trust against the pinned roots only; returns a status (0 for
    // no error) and writes the result.
    int evaluateTrust(ServerTrust &trust, ServerTrust::Result *result) const;
    // Answers a challenge: a server trust that evaluates to a pinned root is
    // accepted with a credential for it (true); anything else is cancelled.
    bool handleChallenge(const URLAuthenticationChallenge &challenge, TWLURLSession *session,
                         const URLSessionChallengeCompletionHandler &completionHandler) const;

private:
    QList<QSslCertificate> m_certificates;
};
