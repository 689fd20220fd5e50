#include "TLYCustomEvent.h"

TLYCustomEvent::TLYCustomEvent(QString customEventName, QVariantMap customAttributes)
    : m_customEventName(std::move(customEventName))
    , m_customAttributes(std::move(customAttributes))
{}

TLYAttributeDictionary TLYCustomEvent::attributesDictionary() const
{
    return TLYAttributeDictionary(m_customAttributes);
}

QString TLYCustomEvent::name() const
{
    return QStringLiteral("custom");
}

QVariantMap TLYCustomEvent::dictionaryRepresentation() const
{
    return {
        {QStringLiteral("eventId"), identifier()},
        {QStringLiteral("custom_type"), m_customEventName},
        {QStringLiteral("custom_attributes"), attributesDictionary().dictionaryRepresentation()},
    };
}

QString TLYCustomEvent::className() const
{
    return QStringLiteral("TLYCustomEvent");
}

QString TLYCustomEvent::description() const
{
    return QStringLiteral("<%1: %2\n%3>")
        .arg(className(), m_customEventName, attributesDictionary().description());
}
