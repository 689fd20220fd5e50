#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QStringList>

#include <memory>

// Keeps Quillmoor to one running application per user and display: a
// second launch hands its drawings to the first over a local socket in the
// user's runtime folder, and ends. A lock file beside the socket says which
// launch is the first, so that two launches at once never both listen, and
// a first one that crashed leaves nothing in the way.
class InstanceChannel : public QObject
{
    Q_OBJECT
public:
    enum class Role
    {
        // This launch runs the application and listens for others.
        First,
        // A running application took the drawings; this launch ends.
        HandedOver,
        // The running application did not answer; this one runs on its
        // own, without listening.
        Alone,
    };

    // The runtime folder of the user, and a name for the display.
    InstanceChannel(QObject *parent = nullptr);
    InstanceChannel(const QString &folder, const QString &name, QObject *parent = nullptr);
    ~InstanceChannel() override;

    // Becomes the first launch, or hands the drawings (absolute paths; none
    // to just bring the application forward) to the running one.
    Role claim(const QStringList &drawings);

    QString socketPath() const;

signals:
    // On the first launch: another launch handed over these drawings.
    void drawingsReceived(const QStringList &drawings);

private:
    bool listen();
    bool handOver(const QStringList &drawings);
    void receive();

    QString m_folder;
    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QLocalServer> m_server;
};
