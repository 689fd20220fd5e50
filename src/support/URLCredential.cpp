#include "URLCredential.h"

URLCredential URLCredential::credentialForTrust(const ServerTrust &trust)
{
    URLCredential credential;
    credential.m_trust = trust;
    return credential;
}

URLCredential URLCredential::credentialWithUser(const QString &user, const QString &password)
{
    URLCredential credential;
    credential.m_user = user;
    credential.m_password = password;
    return credential;
}
