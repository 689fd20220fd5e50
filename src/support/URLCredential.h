#pragma once

#include "ServerTrust.h"

#include <QString>

#include <optional>

// The answer to an authentication challenge: a server trust that was found
// good, or a user name and password.
class URLCredential
{
public:
    static URLCredential credentialForTrust(const ServerTrust &trust);
    static URLCredential credentialWithUser(const QString &user, const QString &password);

    const std::optional<ServerTrust> &serverTrust() const { return m_trust; }
    const QString &user() const { return m_user; }
    const QString &password() const { return m_password; }

    bool operator==(const URLCredential &other) const = default;

private:
    std::optional<ServerTrust> m_trust;
    QString m_user;
    QString m_password;
};
