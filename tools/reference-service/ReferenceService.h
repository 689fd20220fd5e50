#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QSslCertificate>
#include <QSslKey>
#include <QThread>
#include <QUrl>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

// A stand-in for the analytics and settings service, on a free port of
// 127.0.0.1, plain HTTP or TLS. It serves the settings download, the app
// create and update requests and the events upload, keeps every request
// (and, when asked, writes each to a numbered file) and answers each
// endpoint as told: a queue of scripted answers first, then the endpoint's
// standing answer. Every answer closes its connection.
//
// Its standing settings switch analytics on and name the service's own
// events endpoint, so that an application pointed at it uploads there.
class ReferenceService
{
public:
    enum class Endpoint
    {
        Settings,  // GET /spi/v2/platforms/<platform>/apps/<bundle>/settings
        AppCreate, // POST /spi/v1/platforms/<platform>/apps
        AppUpdate, // PUT /spi/v1/platforms/<platform>/apps/<bundle>
        Events,    // POST /spi/v2/events
        Unknown,   // anything else: 404
    };

    struct Answer
    {
        int status = 200;
        // Sent as given; "X-Request-Id" is added when absent.
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        std::chrono::milliseconds delay{0};

        static Answer withStatus(int status, QList<QPair<QByteArray, QByteArray>> headers = {});
        // With a "Retry-After" header of that many seconds.
        static Answer withStatus(int status, int retryAfterSeconds);
        static Answer json(const QJsonObject &object, int status = 200);
    };

    struct Request
    {
        Endpoint endpoint = Endpoint::Unknown;
        QByteArray method;
        QByteArray target; // path and query as sent
        QUrl url;          // the target resolved against the service
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        // The value of the first header of that name, or a null array.
        QByteArray header(const QByteArray &name) const;
    };

    ReferenceService();
    // A TLS service presenting chain (its own certificate first).
    ReferenceService(QList<QSslCertificate> chain, QSslKey key);
    ~ReferenceService();
    ReferenceService(const ReferenceService &) = delete;
    ReferenceService &operator=(const ReferenceService &) = delete;

    // "http://127.0.0.1:<port>" (or https), without a trailing slash: the
    // base the SDK's endpoint settings take.
    QString baseURL() const;
    QUrl url(const QString &pathAndQuery) const;

    // What the settings download answers until told otherwise: the
    // application is known ("activated"), analytics is on and events go to
    // this service's events endpoint.
    QJsonObject defaultSettings() const;
    // The settings download's standing answer: this object as JSON.
    void setSettings(const QJsonObject &settings);
    void setStandingAnswer(Endpoint endpoint, const Answer &answer);
    // Answers the next request of the endpoint with answer (in queue order).
    void enqueueAnswer(Endpoint endpoint, const Answer &answer);
    // Answers the next requests of the endpoint with these, one each.
    void script(Endpoint endpoint, const QList<Answer> &answers);

    // Writes every later request, as received (its body without any
    // transfer encoding), to a file of its own in directory:
    // "0001-events.http", "0002-settings.http", ... The numbers go on after
    // those of files already there. False when the directory cannot be made.
    bool setRecordDirectory(const QString &directory);

    QList<Request> requests() const;
    QList<Request> requests(Endpoint endpoint) const;
    // Waits (bounded) until count requests in all, or of the endpoint, came.
    bool waitForRequests(int count,
                         std::chrono::milliseconds bound = std::chrono::seconds(30)) const;
    bool waitForRequests(Endpoint endpoint, int count,
                         std::chrono::milliseconds bound = std::chrono::seconds(30)) const;

    static Endpoint endpointFor(const QByteArray &method, const QByteArray &path);
    // "settings", "create", "update", "events", "unknown"; and back.
    static QString endpointName(Endpoint endpoint);
    static std::optional<Endpoint> endpointNamed(const QString &name);

private:
    class Server;
    struct State
    {
        mutable std::mutex mutex;
        mutable std::condition_variable changed;
        std::map<Endpoint, std::deque<Answer>> queued;
        std::map<Endpoint, Answer> standing;
        QList<Request> requests;
        int answered = 0;
        QString recordDirectory;
        int lastRecordNumber = 0;
    };

    void start(QList<QSslCertificate> chain, QSslKey key);

    std::shared_ptr<State> m_state = std::make_shared<State>();
    QThread m_thread;
    Server *m_server = nullptr;
    quint16 m_port = 0;
    bool m_tls = false;
};
