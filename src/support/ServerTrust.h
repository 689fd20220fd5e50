#pragma once

#include <QList>
#include <QSslCertificate>
#include <QString>

// The certificate chain a TLS server presented, with the name it must be
// valid for, and the anchors it is to be evaluated against. Without anchors
// of its own, a trust uses the system's trusted roots.
class ServerTrust
{
public:
    // Statuses of the trust operations.
    static constexpr int NoError = 0;
    static constexpr int ParameterError = -50;

    enum class Result
    {
        Invalid = 0,
        Proceed = 1,
        Deny = 3,
        Unspecified = 4, // trusted, without a per-certificate user setting
        RecoverableTrustFailure = 5,
        FatalTrustFailure = 6,
        OtherError = 7,
    };

    ServerTrust() = default;
    // chain: the server's certificate first, then the intermediates it sent.
    ServerTrust(QList<QSslCertificate> chain, QString hostName);

    const QList<QSslCertificate> &certificateChain() const { return m_chain; }
    const QString &hostName() const { return m_hostName; }

    int setAnchorCertificates(const QList<QSslCertificate> &anchors);
    const QList<QSslCertificate> &anchorCertificates() const { return m_anchors; }
    // With true, only the anchors are trusted; with false (the default) the
    // system's roots are trusted beside them.
    int setAnchorCertificatesOnly(bool anchorsOnly);

    // Checks the chain up to a trusted root: signatures, validity dates of
    // every certificate including the root, use for TLS servers and the host
    // name. Writes the result; the status is NoError unless the trust has no
    // chain to check.
    int evaluate(Result *result) const;

    bool operator==(const ServerTrust &other) const = default;

private:
    QList<QSslCertificate> m_chain;
    QString m_hostName;
    QList<QSslCertificate> m_anchors;
    bool m_anchorsOnly = false;
};
