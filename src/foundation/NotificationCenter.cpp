#include "NotificationCenter.h"

#include <mutex>
#include <vector>

namespace {
struct Observation
{
    NotificationCenter::ObserverToken token;
    QString name;
    const void *sender;
    const void *owner;
    // Shared so that delivery can run outside the lock while the observer
    // is being removed on another thread.
    std::shared_ptr<NotificationCenter::Handler> handler;
};
} // namespace

struct NotificationCenter::Private
{
    std::mutex mutex;
    std::vector<Observation> observations;
    ObserverToken nextToken = 1;
};

NotificationCenter::NotificationCenter()
    : d(std::make_unique<Private>())
{}

NotificationCenter::~NotificationCenter() = default;

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter::ObserverToken NotificationCenter::addObserver(const QString &name,
                                                                  const void *sender,
                                                                  const void *owner,
                                                                  Handler handler)
{
    std::lock_guard lock(d->mutex);
    const ObserverToken token = d->nextToken++;
    d->observations.push_back(
        {token, name, sender, owner, std::make_shared<Handler>(std::move(handler))});
    return token;
}

void NotificationCenter::removeObserver(ObserverToken token)
{
    std::lock_guard lock(d->mutex);
    std::erase_if(d->observations, [token](const Observation &o) { return o.token == token; });
}

void NotificationCenter::removeObserver(const void *owner)
{
    std::lock_guard lock(d->mutex);
    std::erase_if(d->observations, [owner](const Observation &o) { return o.owner == owner; });
}

void NotificationCenter::removeObserver(const void *owner, const QString &name, const void *sender)
{
    std::lock_guard lock(d->mutex);
    std::erase_if(d->observations, [&](const Observation &o) {
        return o.owner == owner && (name.isEmpty() || o.name == name) &&
               (!sender || o.sender == sender);
    });
}

void NotificationCenter::post(const Notification &notification)
{
    std::vector<std::shared_ptr<Handler>> handlers;
    {
        std::lock_guard lock(d->mutex);
        for (const Observation &o : d->observations) {
            if ((o.name.isEmpty() || o.name == notification.name) &&
                (!o.sender || o.sender == notification.object))
                handlers.push_back(o.handler);
        }
    }
    for (const auto &handler : handlers)
        (*handler)(notification);
}

void NotificationCenter::post(const QString &name, const void *sender, const QVariantMap &userInfo)
{
    post(Notification{name, sender, userInfo});
}
