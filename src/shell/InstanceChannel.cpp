#include "InstanceChannel.h"

#include "foundation/Log.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QPointer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

namespace {

// How long a launch tries to reach the running application, which may be
// starting up itself, and then waits for its answer.
constexpr int ConnectMilliseconds = 5000;
constexpr int AnswerMilliseconds = 10000;
constexpr int RetryMilliseconds = 50;
// A hand-over is a short list of paths.
constexpr qint64 MaximumMessage = 1 << 20;
const QByteArray Accepted = "accepted\n";

// The display the application shows its windows on: launches on another
// display run their own application.
QString displayName()
{
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9_.-]"));
    return QStringLiteral("quillmoor") +
           (display.isEmpty() ? QString() : QLatin1Char('-') + display.replace(unsafe, "_"));
}

} // namespace

InstanceChannel::InstanceChannel(QObject *parent)
    : InstanceChannel(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation),
                      displayName(), parent)
{}

InstanceChannel::InstanceChannel(const QString &folder, const QString &name, QObject *parent)
    : QObject(parent)
    , m_folder(folder)
    , m_name(name)
{}

InstanceChannel::~InstanceChannel()
{
    if (m_server)
        m_server->close(); // removes the socket file before the lock goes
}

QString InstanceChannel::socketPath() const
{
    return QDir(m_folder).filePath(m_name + QStringLiteral(".socket"));
}

InstanceChannel::Role InstanceChannel::claim(const QStringList &drawings)
{
    if (m_folder.isEmpty() || !QDir().mkpath(m_folder))
        return Role::Alone;
    m_lock = std::make_unique<QLockFile>(QDir(m_folder).filePath(m_name + QStringLiteral(".lock")));
    // Held only by a live process: the lock of one that died is taken over.
    m_lock->setStaleLockTime(0);
    const QDeadlineTimer deadline(ConnectMilliseconds);
    while (true) {
        if (m_lock->tryLock(0))
            return listen() ? Role::First : Role::Alone;
        if (handOver(drawings))
            return Role::HandedOver;
        if (deadline.hasExpired())
            break;
        // The first launch holds the lock but does not listen yet.
        QThread::msleep(RetryMilliseconds);
    }
    systemLog(QStringLiteral("The running Quillmoor does not answer; this one runs alone"));
    m_lock.reset();
    return Role::Alone;
}

bool InstanceChannel::listen()
{
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Whatever socket is left is from a launch that is gone: the lock says so.
    QLocalServer::removeServer(socketPath());
    if (!m_server->listen(socketPath())) {
        systemLog(
            QStringLiteral("Cannot listen for other launches: %1").arg(m_server->errorString()));
        m_server.reset();
        return false;
    }
    connect(m_server.get(), &QLocalServer::newConnection, this, &InstanceChannel::receive);
    return true;
}

bool InstanceChannel::handOver(const QStringList &drawings)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(AnswerMilliseconds))
        return false;
    const QByteArray message =
        QJsonDocument(QJsonObject{{QStringLiteral("open"), QJsonArray::fromStringList(drawings)}})
            .toJson(QJsonDocument::Compact) +
        '\n';
    socket.write(message);
    if (!socket.waitForBytesWritten(AnswerMilliseconds))
        return false;
    QDeadlineTimer deadline(AnswerMilliseconds);
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    return socket.readLine() == Accepted;
}

void InstanceChannel::receive()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > MaximumMessage)
                    socket->abort();
                return;
            }
            const QJsonDocument message = QJsonDocument::fromJson(socket->readLine());
            const QJsonValue open = message.object().value(QStringLiteral("open"));
            if (!open.isArray()) {
                socket->abort();
                return;
            }
            QStringList drawings;
            for (const QJsonValue &path : open.toArray())
                if (path.isString() && QDir::isAbsolutePath(path.toString()))
                    drawings.append(path.toString());
            socket->write(Accepted);
            socket->flush();
            emit drawingsReceived(drawings);
        });
    }
}
