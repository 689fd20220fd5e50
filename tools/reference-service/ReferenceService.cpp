#include "ReferenceService.h"

#include "AcceptedSocket.h"

#include <QDir>
#include <QHash>
#include <QJsonDocument>
#include <QPointer>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

namespace {

const QByteArray JsonContentType = QByteArrayLiteral("application/json; charset=utf-8");

// A request head and body once they are complete in buffer; removes them.
std::optional<ReferenceService::Request> takeRequest(QByteArray &buffer)
{
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return std::nullopt;
    ReferenceService::Request request;
    const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    const QList<QByteArray> start = lines.value(0).trimmed().split(' ');
    request.method = start.value(0);
    request.target = start.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.append(
                {lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed()});
    }
    qsizetype position = headEnd + 4;
    if (request.header("Transfer-Encoding").toLower() == "chunked") {
        QByteArray body;
        while (true) {
            const qsizetype lineEnd = buffer.indexOf("\r\n", position);
            if (lineEnd < 0)
                return std::nullopt;
            bool ok = false;
            const qsizetype size = buffer.mid(position, lineEnd - position)
                                       .split(';')
                                       .first()
                                       .trimmed()
                                       .toLongLong(&ok, 16);
            if (!ok)
                return std::nullopt;
            if (buffer.size() < lineEnd + 2 + size + 2)
                return std::nullopt;
            if (size == 0) {
                position = lineEnd + 4;
                break;
            }
            body += buffer.mid(lineEnd + 2, size);
            position = lineEnd + 2 + size + 2;
        }
        request.body = body;
    } else {
        const qsizetype length = request.header("Content-Length").toLongLong();
        if (buffer.size() < position + length)
            return std::nullopt;
        request.body = buffer.mid(position, length);
        position += length;
    }
    buffer.remove(0, position);
    return request;
}

// The request as it came, apart from any transfer encoding of its body.
QByteArray recordOf(const ReferenceService::Request &request)
{
    QByteArray record = request.method + ' ' + request.target + " HTTP/1.1\r\n";
    for (const auto &[name, value] : request.headers)
        record += name + ": " + value + "\r\n";
    return record + "\r\n" + request.body;
}

bool writeRecord(const QString &path, const QByteArray &record)
{
    // Whole or not at all: whoever reads the folder never sees half a request.
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(record) == record.size() && file.commit();
}

QByteArray reasonPhrase(int status)
{
    return status < 300   ? "OK"
           : status < 400 ? "Redirect"
           : status < 500 ? "Client Error"
                          : "Server Error";
}

} // namespace

class ReferenceService::Server : public QTcpServer
{
public:
    Server(std::shared_ptr<State> state, QList<QSslCertificate> chain, QSslKey key)
        : m_state(std::move(state))
        , m_chain(std::move(chain))
        , m_key(std::move(key))
    {}

    QString base;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        QTcpSocket *socket = acceptedSocket(descriptor, m_chain, m_key, this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::errorOccurred, socket, [socket] { socket->deleteLater(); });
        connect(socket, &QObject::destroyed, this, [this, socket] { m_buffers.remove(socket); });
    }

private:
    void readFrom(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        std::optional<Request> request = takeRequest(buffer);
        if (!request)
            return;
        disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
        request->url = QUrl(base).resolved(QUrl::fromEncoded(request->target));
        request->endpoint = endpointFor(request->method, request->url.path().toUtf8());

        Answer answer;
        {
            std::lock_guard lock(m_state->mutex);
            std::deque<Answer> &queue = m_state->queued[request->endpoint];
            if (!queue.empty()) {
                answer = queue.front();
                queue.pop_front();
            } else if (const auto standing = m_state->standing.find(request->endpoint);
                       standing != m_state->standing.end()) {
                answer = standing->second;
            } else {
                answer = Answer::withStatus(request->endpoint == Endpoint::Unknown ? 404 : 200);
            }
            if (!m_state->recordDirectory.isEmpty()) {
                const QString name = QStringLiteral("%1-%2.http")
                                         .arg(++m_state->lastRecordNumber, 4, 10, QLatin1Char('0'))
                                         .arg(endpointName(request->endpoint));
                const QString path = QDir(m_state->recordDirectory).filePath(name);
                if (!writeRecord(path, recordOf(*request)))
                    qWarning("reference service: cannot write %s", qPrintable(path));
            }
            m_state->requests.append(*request);
            ++m_state->answered;
            bool hasRequestId = false;
            for (const auto &[name, value] : answer.headers)
                hasRequestId |= name.compare("X-Request-Id", Qt::CaseInsensitive) == 0;
            if (!hasRequestId)
                answer.headers.append(
                    {"X-Request-Id", "req-" + QByteArray::number(m_state->answered)});
        }
        m_state->changed.notify_all();

        QPointer<QTcpSocket> target(socket);
        if (answer.delay.count() > 0)
            QTimer::singleShot(answer.delay, this, [target, answer] {
                if (target)
                    send(target, answer);
            });
        else
            send(socket, answer);
    }

    static void send(QTcpSocket *socket, const Answer &answer)
    {
        QByteArray out = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' +
                         reasonPhrase(answer.status) + "\r\n";
        for (const auto &[name, value] : answer.headers)
            out += name + ": " + value + "\r\n";
        out += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
        out += "Connection: close\r\n\r\n" + answer.body;
        socket->write(out);
        socket->disconnectFromHost();
    }

    std::shared_ptr<State> m_state;
    QList<QSslCertificate> m_chain;
    QSslKey m_key;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

ReferenceService::Answer
ReferenceService::Answer::withStatus(int status, QList<QPair<QByteArray, QByteArray>> headers)
{
    Answer answer;
    answer.status = status;
    answer.headers = std::move(headers);
    return answer;
}

ReferenceService::Answer ReferenceService::Answer::withStatus(int status, int retryAfterSeconds)
{
    return withStatus(status, {{"Retry-After", QByteArray::number(retryAfterSeconds)}});
}

ReferenceService::Answer ReferenceService::Answer::json(const QJsonObject &object, int status)
{
    Answer answer;
    answer.status = status;
    answer.headers = {{"Content-Type", JsonContentType}};
    answer.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return answer;
}

QByteArray ReferenceService::Request::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

ReferenceService::ReferenceService()
{
    start({}, {});
}

ReferenceService::ReferenceService(QList<QSslCertificate> chain, QSslKey key)
{
    m_tls = true;
    start(std::move(chain), std::move(key));
}

void ReferenceService::start(QList<QSslCertificate> chain, QSslKey key)
{
    m_thread.setObjectName(QStringLiteral("ReferenceService"));
    m_thread.start();
    m_server = new Server(m_state, std::move(chain), std::move(key));
    m_server->moveToThread(&m_thread);
    QMetaObject::invokeMethod(
        m_server, [this] { m_server->listen(QHostAddress::LocalHost, 0); },
        Qt::BlockingQueuedConnection);
    m_port = m_server->serverPort();
    const QString base = baseURL();
    QMetaObject::invokeMethod(
        m_server, [this, base] { m_server->base = base; }, Qt::BlockingQueuedConnection);
    setSettings(defaultSettings());
}

ReferenceService::~ReferenceService()
{
    QMetaObject::invokeMethod(
        m_server, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

QString ReferenceService::baseURL() const
{
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(m_tls ? QStringLiteral("https") : QStringLiteral("http"))
        .arg(m_port);
}

QUrl ReferenceService::url(const QString &pathAndQuery) const
{
    return QUrl(baseURL() + pathAndQuery);
}

QJsonObject ReferenceService::defaultSettings() const
{
    return QJsonObject{
        {"app", QJsonObject{{"status", "activated"}}},
        {"features", QJsonObject{{"collect_analytics", true}}},
        {"analytics", QJsonObject{{"url", baseURL() + QStringLiteral("/spi/v2/events")}}},
    };
}

void ReferenceService::setSettings(const QJsonObject &settings)
{
    setStandingAnswer(Endpoint::Settings, Answer::json(settings));
}

void ReferenceService::setStandingAnswer(Endpoint endpoint, const Answer &answer)
{
    std::lock_guard lock(m_state->mutex);
    m_state->standing[endpoint] = answer;
}

void ReferenceService::enqueueAnswer(Endpoint endpoint, const Answer &answer)
{
    std::lock_guard lock(m_state->mutex);
    m_state->queued[endpoint].push_back(answer);
}

void ReferenceService::script(Endpoint endpoint, const QList<Answer> &answers)
{
    std::lock_guard lock(m_state->mutex);
    for (const Answer &answer : answers)
        m_state->queued[endpoint].push_back(answer);
}

bool ReferenceService::setRecordDirectory(const QString &directory)
{
    if (!QDir().mkpath(directory))
        return false;
    static const QRegularExpression numbered(QStringLiteral("^(\\d+)-"));
    int last = 0;
    for (const QString &name : QDir(directory).entryList(QDir::Files)) {
        if (const QRegularExpressionMatch match = numbered.match(name); match.hasMatch())
            last = std::max(last, match.captured(1).toInt());
    }
    std::lock_guard lock(m_state->mutex);
    m_state->recordDirectory = QDir(directory).absolutePath();
    m_state->lastRecordNumber = last;
    return true;
}

QList<ReferenceService::Request> ReferenceService::requests() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->requests;
}

QList<ReferenceService::Request> ReferenceService::requests(Endpoint endpoint) const
{
    QList<Request> matching;
    for (const Request &request : requests()) {
        if (request.endpoint == endpoint)
            matching.append(request);
    }
    return matching;
}

bool ReferenceService::waitForRequests(int count, std::chrono::milliseconds bound) const
{
    std::unique_lock lock(m_state->mutex);
    return m_state->changed.wait_for(lock, bound,
                                     [&] { return m_state->requests.size() >= count; });
}

bool ReferenceService::waitForRequests(Endpoint endpoint, int count,
                                       std::chrono::milliseconds bound) const
{
    std::unique_lock lock(m_state->mutex);
    return m_state->changed.wait_for(lock, bound, [&] {
        return std::count_if(m_state->requests.begin(), m_state->requests.end(),
                             [endpoint](const Request &r) { return r.endpoint == endpoint; }) >=
               count;
    });
}

ReferenceService::Endpoint ReferenceService::endpointFor(const QByteArray &method,
                                                         const QByteArray &path)
{
    static const QRegularExpression settings(
        QStringLiteral("^/spi/v2/platforms/[^/]+/apps/[^/]+/settings$"));
    static const QRegularExpression create(QStringLiteral("^/spi/v1/platforms/[^/]+/apps$"));
    static const QRegularExpression update(QStringLiteral("^/spi/v1/platforms/[^/]+/apps/[^/]+$"));
    const QString text = QString::fromUtf8(path);
    if (method == "GET" && settings.match(text).hasMatch())
        return Endpoint::Settings;
    if (method == "POST" && create.match(text).hasMatch())
        return Endpoint::AppCreate;
    if (method == "PUT" && update.match(text).hasMatch())
        return Endpoint::AppUpdate;
    if (method == "POST" && text == QStringLiteral("/spi/v2/events"))
        return Endpoint::Events;
    return Endpoint::Unknown;
}

QString ReferenceService::endpointName(Endpoint endpoint)
{
    switch (endpoint) {
    case Endpoint::Settings:
        return QStringLiteral("settings");
    case Endpoint::AppCreate:
        return QStringLiteral("create");
    case Endpoint::AppUpdate:
        return QStringLiteral("update");
    case Endpoint::Events:
        return QStringLiteral("events");
    case Endpoint::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

std::optional<ReferenceService::Endpoint> ReferenceService::endpointNamed(const QString &name)
{
    for (Endpoint endpoint : {Endpoint::Settings, Endpoint::AppCreate, Endpoint::AppUpdate,
                              Endpoint::Events, Endpoint::Unknown}) {
        if (endpointName(endpoint) == name)
            return endpoint;
    }
    return std::nullopt;
}
