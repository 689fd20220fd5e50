#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpSocket>

// Wraps a connection a test server has accepted: plain when chain is empty,
// otherwise TLS presenting chain (its own certificate first), with the
// handshake started. The socket is a child of parent.
QTcpSocket *acceptedSocket(qintptr descriptor, const QList<QSslCertificate> &chain,
                           const QSslKey &key, QObject *parent);
