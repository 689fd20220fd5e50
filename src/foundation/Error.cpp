#include "Error.h"

Error::Error(QString domain, int code, QVariantMap userInfo)
    : m_domain(std::move(domain))
    , m_code(code)
    , m_userInfo(std::move(userInfo))
{}

Error Error::withDescription(const QString &domain, int code, const QString &description)
{
    return Error(domain, code, {{LocalizedDescriptionKey, description}});
}

QString Error::localizedDescription() const
{
    const QVariant description = m_userInfo.value(LocalizedDescriptionKey);
    if (description.isValid())
        return description.toString();
    // Same fallback shape the platform used, so messages never come out empty.
    return QStringLiteral("The operation couldn\u2019t be completed. (%1 error %2.)")
        .arg(m_domain)
        .arg(m_code);
}

QString Error::localizedFailureReason() const
{
    return m_userInfo.value(LocalizedFailureReasonKey).toString();
}
