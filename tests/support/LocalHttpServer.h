#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QSslCertificate>
#include <QSslKey>
#include <QThread>
#include <QUrl>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

// A small HTTP/1.1 server on a free port of 127.0.0.1, plain or TLS, running
// on a thread of its own. Every answer closes its connection.
class LocalHttpServer
{
public:
    struct Request
    {
        QByteArray method;
        QByteArray path;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        QByteArray header(const QByteArray &name) const;
    };
    struct Response
    {
        int status = 200;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        // Held answers are sent only by releaseHeldResponses().
        bool hold = false;
    };
    using Handler = std::function<Response(const Request &)>;

    explicit LocalHttpServer(Handler handler);
    // A TLS server presenting chain (its own certificate first).
    LocalHttpServer(Handler handler, QList<QSslCertificate> chain, QSslKey key);
    ~LocalHttpServer();

    QUrl url(const QString &path) const;
    int connectionCount() const;
    QList<Request> requests() const;
    // Waits (bounded) until count requests have arrived.
    bool waitForRequests(int count) const;
    void releaseHeldResponses();

private:
    class Server;
    struct Shared
    {
        mutable std::mutex mutex;
        mutable std::condition_variable changed;
        int connections = 0;
        QList<Request> requests;
    };

    void start(Handler handler, QList<QSslCertificate> chain, QSslKey key);

    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
    QThread m_thread;
    Server *m_server = nullptr;
    quint16 m_port = 0;
    bool m_tls = false;
};
