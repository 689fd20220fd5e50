#include "LocalHttpServer.h"

#include "AcceptedSocket.h"

#include <QHash>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>

#include <chrono>

class LocalHttpServer::Server : public QTcpServer
{
public:
    Server(Handler handler, std::shared_ptr<Shared> shared, QList<QSslCertificate> chain,
           QSslKey key)
        : m_handler(std::move(handler))
        , m_shared(std::move(shared))
        , m_chain(std::move(chain))
        , m_key(std::move(key))
    {}

    void releaseHeld()
    {
        const QList<QPair<QTcpSocket *, Response>> held = std::exchange(m_held, {});
        for (const auto &[socket, response] : held)
            send(socket, response);
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        {
            std::lock_guard lock(m_shared->mutex);
            ++m_shared->connections;
        }
        QTcpSocket *socket = acceptedSocket(descriptor, m_chain, m_key, this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::errorOccurred, socket, [socket] { socket->deleteLater(); });
    }

private:
    void readFrom(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        Request request;
        const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
        const QList<QByteArray> start = lines.value(0).trimmed().split(' ');
        request.method = start.value(0);
        request.path = start.value(1);
        qsizetype contentLength = 0;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon < 0)
                continue;
            const QByteArray name = lines[i].left(colon).trimmed();
            const QByteArray value = lines[i].mid(colon + 1).trimmed();
            request.headers.append({name, value});
            if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
                contentLength = value.toLongLong();
        }
        if (buffer.size() < headEnd + 4 + contentLength)
            return;
        request.body = buffer.mid(headEnd + 4, contentLength);
        m_buffers.remove(socket);
        disconnect(socket, &QTcpSocket::readyRead, this, nullptr);

        const Response response = m_handler(request);
        {
            std::lock_guard lock(m_shared->mutex);
            m_shared->requests.append(request);
        }
        m_shared->changed.notify_all();
        if (response.hold)
            m_held.append({socket, response});
        else
            send(socket, response);
    }

    void send(QTcpSocket *socket, const Response &response)
    {
        QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n";
        for (const auto &[name, value] : response.headers)
            out += name + ": " + value + "\r\n";
        out += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
        out += "Connection: close\r\n\r\n" + response.body;
        socket->write(out);
        socket->disconnectFromHost();
    }

    Handler m_handler;
    std::shared_ptr<Shared> m_shared;
    QList<QSslCertificate> m_chain;
    QSslKey m_key;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QList<QPair<QTcpSocket *, Response>> m_held;
};

QByteArray LocalHttpServer::Request::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

LocalHttpServer::LocalHttpServer(Handler handler)
{
    start(std::move(handler), {}, {});
}

LocalHttpServer::LocalHttpServer(Handler handler, QList<QSslCertificate> chain, QSslKey key)
{
    m_tls = true;
    start(std::move(handler), std::move(chain), std::move(key));
}

void LocalHttpServer::start(Handler handler, QList<QSslCertificate> chain, QSslKey key)
{
    m_thread.start();
    m_server = new Server(std::move(handler), m_shared, std::move(chain), std::move(key));
    m_server->moveToThread(&m_thread);
    QMetaObject::invokeMethod(
        m_server, [this] { m_server->listen(QHostAddress::LocalHost, 0); },
        Qt::BlockingQueuedConnection);
    m_port = m_server->serverPort();
}

LocalHttpServer::~LocalHttpServer()
{
    QMetaObject::invokeMethod(
        m_server, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

QUrl LocalHttpServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("%1://127.0.0.1:%2%3")
                    .arg(m_tls ? QStringLiteral("https") : QStringLiteral("http"))
                    .arg(m_port)
                    .arg(path));
}

int LocalHttpServer::connectionCount() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->connections;
}

QList<LocalHttpServer::Request> LocalHttpServer::requests() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->requests;
}

bool LocalHttpServer::waitForRequests(int count) const
{
    std::unique_lock lock(m_shared->mutex);
    return m_shared->changed.wait_for(lock, std::chrono::seconds(20),
                                      [&] { return m_shared->requests.size() >= count; });
}

void LocalHttpServer::releaseHeldResponses()
{
    QMetaObject::invokeMethod(
        m_server, [this] { m_server->releaseHeld(); }, Qt::BlockingQueuedConnection);
}
