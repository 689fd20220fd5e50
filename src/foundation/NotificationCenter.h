#pragma once

#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <memory>

struct Notification
{
    QString name;
    const void *object = nullptr; // the sender, or none
    QVariantMap userInfo;
};

// Named notifications delivered synchronously, on the posting thread, to
// every observer registered for the name and for the sender (or for any
// sender). Registration and removal are safe from any thread.
class NotificationCenter
{
public:
    using ObserverToken = std::uint64_t;
    using Handler = std::function<void(const Notification &)>;

    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter &) = delete;
    NotificationCenter &operator=(const NotificationCenter &) = delete;

    // The process-wide centre.
    static NotificationCenter &defaultCenter();

    // An empty name observes every notification; a null sender observes
    // every sender. The owner groups observations for removeObserver(owner).
    ObserverToken addObserver(const QString &name, const void *sender, const void *owner,
                              Handler handler);
    void removeObserver(ObserverToken token);
    void removeObserver(const void *owner);
    void removeObserver(const void *owner, const QString &name, const void *sender = nullptr);

    void post(const Notification &notification);
    void post(const QString &name, const void *sender = nullptr, const QVariantMap &userInfo = {});

private:
    struct Private;
    std::unique_ptr<Private> d;
};
