#include "AcceptedSocket.h"

#include <QSslConfiguration>
#include <QSslSocket>

QTcpSocket *acceptedSocket(qintptr descriptor, const QList<QSslCertificate> &chain,
                           const QSslKey &key, QObject *parent)
{
    if (chain.isEmpty()) {
        auto *socket = new QTcpSocket(parent);
        socket->setSocketDescriptor(descriptor);
        return socket;
    }
    auto *socket = new QSslSocket(parent);
    socket->setSocketDescriptor(descriptor);
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificateChain(chain);
    configuration.setPrivateKey(key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    socket->setSslConfiguration(configuration);
    socket->startServerEncryption();
    return socket;
}
