#pragma once

#include "TLYEvent.h"

#include "foundation/NotificationCenter.h"

#include <QHash>

#include <memory>

// Install, launch and application-activity events.
class TLYLifecycleEvent : public TLYEvent
{
public:
    // The application activity notifications that have events.
    static inline const QString WillTerminateNotification =
        QStringLiteral("NSApplicationWillTerminateNotification");
    static inline const QString WillResignActiveNotification =
        QStringLiteral("NSApplicationWillResignActiveNotification");
    static inline const QString DidBecomeActiveNotification =
        QStringLiteral("NSApplicationDidBecomeActiveNotification");

    explicit TLYLifecycleEvent(QString name);
    explicit TLYLifecycleEvent(const Notification &notification);

    static std::shared_ptr<TLYLifecycleEvent> installEvent();
    static std::shared_ptr<TLYLifecycleEvent> appLaunchedEvent();
    static std::shared_ptr<TLYLifecycleEvent>
    eventWithNotification(const Notification &notification);

    // Platform notification name -> event name.
    static const QHash<QString, QString> &notificationNameMap();
    // "unknown-notification" for a notification outside the map.
    static QString nameFromNotification(const Notification &notification);

    QString name() const override;
    QVariantMap dictionaryRepresentation() const override;
    // Activity changes and installs are sent at once rather than waiting
    // for the log to fill.
    bool triggersFlush() const override;
    QString className() const override;

private:
    QString m_name;
};
