#pragma once

#include "TLYAttributeDictionary.h"
#include "TLYEvent.h"

// An event the application names itself. The caller's attributes are kept
// as given and validated each time they are needed, so their messages are
// logged each time the event is represented.
class TLYCustomEvent : public TLYEvent
{
public:
    TLYCustomEvent(QString customEventName, QVariantMap customAttributes);

    const QString &customEventName() const { return m_customEventName; }
    const QVariantMap &customAttributes() const { return m_customAttributes; }
    TLYAttributeDictionary attributesDictionary() const;

    QString name() const override;
    QVariantMap dictionaryRepresentation() const override;
    QString className() const override;
    QString description() const override;

private:
    QString m_customEventName;
    QVariantMap m_customAttributes;
};
