#include "TLYEvent.h"

#include "foundation/Uuid.h"

TLYEvent::TLYEvent()
    : m_timestamp(QDateTime::currentDateTimeUtc())
    , m_identifier(uuidText())
{}

TLYEvent::~TLYEvent() = default;

QString TLYEvent::name() const
{
    return QStringLiteral("unknown");
}

QDateTime TLYEvent::timestamp() const
{
    return m_timestamp;
}

QVariantMap TLYEvent::dictionaryRepresentation() const
{
    return {};
}

bool TLYEvent::triggersFlush() const
{
    return false;
}

QString TLYEvent::className() const
{
    return QStringLiteral("TLYEvent");
}

QString TLYEvent::description() const
{
    return QStringLiteral("<%1: %2>").arg(className(), name());
}
