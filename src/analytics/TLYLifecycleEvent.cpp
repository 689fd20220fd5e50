#include "TLYLifecycleEvent.h"

TLYLifecycleEvent::TLYLifecycleEvent(QString name)
    : m_name(std::move(name))
{}

TLYLifecycleEvent::TLYLifecycleEvent(const Notification &notification)
    : m_name(nameFromNotification(notification))
{}

std::shared_ptr<TLYLifecycleEvent> TLYLifecycleEvent::installEvent()
{
    return std::make_shared<TLYLifecycleEvent>(QStringLiteral("app_installed"));
}

std::shared_ptr<TLYLifecycleEvent> TLYLifecycleEvent::appLaunchedEvent()
{
    return std::make_shared<TLYLifecycleEvent>(QStringLiteral("app_launched"));
}

std::shared_ptr<TLYLifecycleEvent>
TLYLifecycleEvent::eventWithNotification(const Notification &notification)
{
    return std::make_shared<TLYLifecycleEvent>(notification);
}

const QHash<QString, QString> &TLYLifecycleEvent::notificationNameMap()
{
    static const QHash<QString, QString> map{
        {WillTerminateNotification, QStringLiteral("app_terminated")},
        {WillResignActiveNotification, QStringLiteral("app_became_inactive")},
        {DidBecomeActiveNotification, QStringLiteral("app_became_active")},
    };
    return map;
}

QString TLYLifecycleEvent::nameFromNotification(const Notification &notification)
{
    return notificationNameMap().value(notification.name, QStringLiteral("unknown-notification"));
}

QString TLYLifecycleEvent::name() const
{
    return m_name;
}

QVariantMap TLYLifecycleEvent::dictionaryRepresentation() const
{
    return {{QStringLiteral("eventId"), identifier()}};
}

bool TLYLifecycleEvent::triggersFlush() const
{
    return m_name == QLatin1String("app_became_inactive") ||
           m_name == QLatin1String("app_became_active") || m_name == QLatin1String("app_installed");
}

QString TLYLifecycleEvent::className() const
{
    return QStringLiteral("TLYLifecycleEvent");
}
