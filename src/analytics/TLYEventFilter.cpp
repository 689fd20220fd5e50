#include "TLYEventFilter.h"

#include "TLYEvent.h"

bool TLYEventFilter::shouldDiscardEvent(const TLYEvent *event, const QString &betaToken,
                                        const QString &installationID, qint64 factor) const
{
    if (!event)
        return true;
    if (!betaToken.isNull())
        return false;
    if (!samplingEnabledForEventType(event->name()))
        return false;
    return shouldDiscardEventWithInstallationID(installationID, factor);
}

bool TLYEventFilter::samplingEnabledForEventType(const QString &eventName)
{
    return sampledEventNames().contains(eventName);
}

bool TLYEventFilter::shouldDiscardEventWithInstallationID(const QString &installationID,
                                                          qint64 factor) const
{
    if (installationID.isNull() || factor < 2)
        return false;
    const qint64 hash = javaHashCodeForString(installationID);
    return hash % factor != 0;
}

qint32 TLYEventFilter::javaHashCodeForString(const QString &text)
{
    quint32 hash = 0;
    for (const QChar unit : text)
        hash = 31 * hash + unit.unicode();
    return qint32(hash);
}

const QSet<QString> &TLYEventFilter::sampledEventNames()
{
    static const QSet<QString> names{
        QStringLiteral("app_launched"),
        QStringLiteral("app_terminated"),
        QStringLiteral("app_crashed"),
        QStringLiteral("app_memory_warning"),
        QStringLiteral("app_entered_background"),
        QStringLiteral("app_entered_foreground"),
        QStringLiteral("app_became_inactive"),
        QStringLiteral("app_became_active"),
    };
    return names;
}
