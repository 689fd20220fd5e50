#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>

// Test roots and server certificates for 127.0.0.1, made once per test run
// with the openssl command-line tool.
class TestCertificates
{
public:
    struct Server
    {
        QList<QSslCertificate> chain; // server certificate, then its root
        QSslKey key;
    };

    static const TestCertificates &shared();

    QSslCertificate rootA;
    QSslCertificate rootB;
    Server serverA;              // ends in rootA
    Server serverB;              // ends in rootB
    QSslCertificate expiredRoot; // valid only during 2019
    Server serverOfExpiredRoot;  // itself valid now, but ends in expiredRoot
    bool valid = false;

private:
    TestCertificates();
};
