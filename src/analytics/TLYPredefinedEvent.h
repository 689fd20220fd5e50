#pragma once

#include "TLYAttributeDictionary.h"
#include "TLYEvent.h"

#include <memory>
#include <optional>

// One of the fixed event types the service understands (sign-up, purchase,
// ...), with its own attributes beside the caller's. The factories add the
// attributes of each type in a fixed order. A null text argument is an
// absent attribute; a number or boolean argument is absent when invalid.
class TLYPredefinedEvent : public TLYEvent
{
public:
    using Pointer = std::shared_ptr<const TLYPredefinedEvent>;
    using Price = std::optional<TLYDecimal>;

    TLYPredefinedEvent(QString predefinedEventName, TLYAttributeDictionary predefinedAttributes,
                       TLYAttributeDictionary customAttributes);

    static Pointer signUpEventWithMethod(const QString &method, const QVariant &success,
                                         const QVariantMap &customAttributes);
    static Pointer loginEventWithMethod(const QString &method, const QVariant &success,
                                        const QVariantMap &customAttributes);
    static Pointer shareEventWithMethod(const QString &method, const QString &contentName,
                                        const QString &contentType, const QString &contentId,
                                        const QVariantMap &customAttributes);
    static Pointer inviteEventWithMethod(const QString &method,
                                         const QVariantMap &customAttributes);
    static Pointer purchaseEventWithPrice(const Price &price, const QString &currency,
                                          const QVariant &success, const QString &itemName,
                                          const QString &itemType, const QString &itemId,
                                          const QVariantMap &customAttributes);
    static Pointer levelStartEventWithLevelName(const QString &levelName,
                                                const QVariantMap &customAttributes);
    static Pointer levelEndEventWithLevelName(const QString &levelName, const QVariant &score,
                                              const QVariant &success,
                                              const QVariantMap &customAttributes);
    static Pointer addToCartEventWithPrice(const Price &price, const QString &currency,
                                           const QString &itemName, const QString &itemType,
                                           const QString &itemId,
                                           const QVariantMap &customAttributes);
    static Pointer startCheckoutEventWithPrice(const Price &totalPrice, const QString &currency,
                                               const QVariant &itemCount,
                                               const QVariantMap &customAttributes);
    static Pointer ratingEventWithRating(const QVariant &rating, const QString &contentName,
                                         const QString &contentType, const QString &contentId,
                                         const QVariantMap &customAttributes);
    static Pointer contentViewEventWithName(const QString &contentName, const QString &contentType,
                                            const QString &contentId,
                                            const QVariantMap &customAttributes);
    static Pointer searchEventWithQuery(const QString &query, const QVariantMap &customAttributes);

    const QString &predefinedEventName() const { return m_predefinedEventName; }
    const TLYAttributeDictionary &predefinedAttributes() const { return m_predefinedAttributes; }
    const TLYAttributeDictionary &customAttributes() const { return m_customAttributes; }

    QString name() const override;
    QVariantMap dictionaryRepresentation() const override;
    QString className() const override;
    QString description() const override;

private:
    QString m_predefinedEventName;
    TLYAttributeDictionary m_predefinedAttributes;
    TLYAttributeDictionary m_customAttributes;
};
