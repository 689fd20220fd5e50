#include "TLYCrashEvent.h"

TLYCrashEvent::TLYCrashEvent(QDateTime crashTimestamp, uint crashState)
    : m_crashTimestamp(std::move(crashTimestamp))
    , m_crashState(crashState)
{}

QString TLYCrashEvent::name() const
{
    return QStringLiteral("app_crashed");
}

QDateTime TLYCrashEvent::timestamp() const
{
    return m_crashTimestamp;
}

QVariantMap TLYCrashEvent::dictionaryRepresentation() const
{
    QString state = QStringLiteral("unknown");
    if (m_crashState == ForegroundState)
        state = QStringLiteral("foreground");
    else if (m_crashState == BackgroundState)
        state = QStringLiteral("background");
    return {{QStringLiteral("eventId"), identifier()}, {QStringLiteral("crash_state"), state}};
}

QString TLYCrashEvent::className() const
{
    return QStringLiteral("TLYCrashEvent");
}
