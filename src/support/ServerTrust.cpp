#include "ServerTrust.h"

#include <QHostAddress>
#include <QSslConfiguration>

#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <memory>

namespace {

struct X509Free
{
    void operator()(X509 *certificate) const { X509_free(certificate); }
};
struct StoreFree
{
    void operator()(X509_STORE *store) const { X509_STORE_free(store); }
};
struct ContextFree
{
    void operator()(X509_STORE_CTX *context) const { X509_STORE_CTX_free(context); }
};
struct StackFree
{
    void operator()(STACK_OF(X509) * stack) const { sk_X509_pop_free(stack, X509_free); }
};

std::unique_ptr<X509, X509Free> toX509(const QSslCertificate &certificate)
{
    const QByteArray der = certificate.toDer();
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(der.constData());
    return std::unique_ptr<X509, X509Free>(d2i_X509(nullptr, &bytes, der.size()));
}

} // namespace

ServerTrust::ServerTrust(QList<QSslCertificate> chain, QString hostName)
    : m_chain(std::move(chain))
    , m_hostName(std::move(hostName))
{}

int ServerTrust::setAnchorCertificates(const QList<QSslCertificate> &anchors)
{
    for (const QSslCertificate &anchor : anchors) {
        if (anchor.isNull())
            return ParameterError;
    }
    m_anchors = anchors;
    return NoError;
}

int ServerTrust::setAnchorCertificatesOnly(bool anchorsOnly)
{
    m_anchorsOnly = anchorsOnly;
    return NoError;
}

int ServerTrust::evaluate(Result *result) const
{
    *result = Result::Invalid;
    if (m_chain.isEmpty() || m_chain.first().isNull())
        return ParameterError;

    // The store holds the trusted roots and nothing else: no default paths
    // are loaded, so "anchors only" means exactly that.
    std::unique_ptr<X509_STORE, StoreFree> store(X509_STORE_new());
    QList<QSslCertificate> roots = m_anchors;
    if (!m_anchorsOnly)
        roots += QSslConfiguration::defaultConfiguration().caCertificates();
    for (const QSslCertificate &root : roots) {
        if (auto x509 = toX509(root))
            X509_STORE_add_cert(store.get(), x509.get());
    }

    auto leaf = toX509(m_chain.first());
    if (!leaf) {
        *result = Result::FatalTrustFailure;
        return NoError;
    }
    std::unique_ptr<STACK_OF(X509), StackFree> intermediates(sk_X509_new_null());
    for (qsizetype i = 1; i < m_chain.size(); ++i) {
        if (auto x509 = toX509(m_chain[i]))
            sk_X509_push(intermediates.get(), x509.release());
    }

    std::unique_ptr<X509_STORE_CTX, ContextFree> context(X509_STORE_CTX_new());
    if (!X509_STORE_CTX_init(context.get(), store.get(), leaf.get(), intermediates.get())) {
        *result = Result::OtherError;
        return NoError;
    }
    X509_VERIFY_PARAM *parameters = X509_STORE_CTX_get0_param(context.get());
    X509_VERIFY_PARAM_set_purpose(parameters, X509_PURPOSE_SSL_SERVER);
    if (!m_hostName.isEmpty()) {
        const QByteArray host = m_hostName.toUtf8();
        if (!QHostAddress(m_hostName).isNull())
            X509_VERIFY_PARAM_set1_ip_asc(parameters, host.constData());
        else
            X509_VERIFY_PARAM_set1_host(parameters, host.constData(), size_t(host.size()));
    }

    *result = X509_verify_cert(context.get()) == 1 ? Result::Unspecified
                                                   : Result::RecoverableTrustFailure;
    return NoError;
}
