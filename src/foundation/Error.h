#pragma once

#include <QString>
#include <QVariantMap>

// An error as the rest of the system passes it around: a domain, a code and
// a user-info dictionary whose description entry is what users are shown.
class Error
{
public:
    static inline const QString LocalizedDescriptionKey = QStringLiteral("NSLocalizedDescription");
    // What really went wrong, in words for the user; shown below the
    // description.
    static inline const QString LocalizedFailureReasonKey =
        QStringLiteral("NSLocalizedFailureReason");
    static inline const QString CocoaErrorDomain = QStringLiteral("NSCocoaErrorDomain");

    Error() = default;
    Error(QString domain, int code, QVariantMap userInfo = {});

    // Shorthand for the common case of an error with only a message.
    static Error withDescription(const QString &domain, int code, const QString &description);

    bool isNull() const { return m_domain.isEmpty() && m_code == 0 && m_userInfo.isEmpty(); }
    const QString &domain() const { return m_domain; }
    int code() const { return m_code; }
    const QVariantMap &userInfo() const { return m_userInfo; }
    QString localizedDescription() const;
    // Empty when the error gives no reason.
    QString localizedFailureReason() const;

    bool operator==(const Error &other) const = default;

private:
    QString m_domain;
    int m_code = 0;
    QVariantMap m_userInfo;
};
