#include "TLYPredefinedEvent.h"

#include <functional>

namespace {

using Pointer = TLYPredefinedEvent::Pointer;

QVariant text(const QString &value)
{
    return value.isNull() ? QVariant() : QVariant(value);
}

// The caller's attributes are validated first, then the type's own are
// added in order; the messages of both appear in that order.
Pointer make(const QString &type, const QVariantMap &customAttributes,
             const std::function<void(TLYAttributeDictionary &)> &addPredefined)
{
    TLYAttributeDictionary custom(customAttributes);
    TLYAttributeDictionary predefined;
    addPredefined(predefined);
    return std::make_shared<const TLYPredefinedEvent>(type, std::move(predefined),
                                                      std::move(custom));
}

} // namespace

TLYPredefinedEvent::TLYPredefinedEvent(QString predefinedEventName,
                                       TLYAttributeDictionary predefinedAttributes,
                                       TLYAttributeDictionary customAttributes)
    : m_predefinedEventName(std::move(predefinedEventName))
    , m_predefinedAttributes(std::move(predefinedAttributes))
    , m_customAttributes(std::move(customAttributes))
{}

Pointer TLYPredefinedEvent::signUpEventWithMethod(const QString &method, const QVariant &success,
                                                  const QVariantMap &customAttributes)
{
    return make(QStringLiteral("sign_up"), customAttributes, [&](TLYAttributeDictionary &d) {
        d.addAttribute(text(method), QStringLiteral("method"));
        d.addBooleanAttribute(success, QStringLiteral("success"));
    });
}

Pointer TLYPredefinedEvent::loginEventWithMethod(const QString &method, const QVariant &success,
                                                 const QVariantMap &customAttributes)
{
    return make(QStringLiteral("login"), customAttributes, [&](TLYAttributeDictionary &d) {
        d.addAttribute(text(method), QStringLiteral("method"));
        d.addBooleanAttribute(success, QStringLiteral("success"));
    });
}

Pointer TLYPredefinedEvent::shareEventWithMethod(const QString &method, const QString &contentName,
                                                 const QString &contentType,
                                                 const QString &contentId,
                                                 const QVariantMap &customAttributes)
{
    return make(QStringLiteral("share"), customAttributes, [&](TLYAttributeDictionary &d) {
        d.addAttribute(text(method), QStringLiteral("method"));
        d.addAttribute(text(contentName), QStringLiteral("content_name"));
        d.addAttribute(text(contentType), QStringLiteral("content_type"));
        d.addAttribute(text(contentId), QStringLiteral("content_id"));
    });
}

Pointer TLYPredefinedEvent::inviteEventWithMethod(const QString &method,
                                                  const QVariantMap &customAttributes)
{
    return make(QStringLiteral("invite"), customAttributes, [&](TLYAttributeDictionary &d) {
        d.addAttribute(text(method), QStringLiteral("method"));
    });
}

Pointer TLYPredefinedEvent::purchaseEventWithPrice(const Price &price, const QString &currency,
                                                   const QVariant &success, const QString &itemName,
                                                   const QString &itemType, const QString &itemId,
                                                   const QVariantMap &customAttributes)
{
    return make(QStringLiteral("purchase"), customAttributes, [&](TLYAttributeDictionary &d) {
        d.addPriceAttribute(price, QStringLiteral("item_price"));
        d.addAttribute(text(currency), QStringLiteral("currency"));
        d.addBooleanAttribute(success, QStringLiteral("success"));
        d.addAttribute(text(itemName), QStringLiteral("item_name"));
        d.addAttribute(text(itemType), QStringLiteral("item_type"));
        d.addAttribute(text(itemId), QStringLiteral("item_id"));
    });
}

Pointer TLYPredefinedEvent::levelStartEventWithLevelName(const QString &levelName,
                                                         const QVariantMap &customAttributes)
{
    return make(QStringLiteral("level_start"), customAttributes, [&](TLYAttributeDictionary &d) {
        d.addAttribute(text(levelName), QStringLiteral("level_name"));
    });
}

Pointer TLYPredefinedEvent::levelEndEventWithLevelName(const QString &levelName,
                                                       const QVariant &score,
                                                       const QVariant &success,
                                                       const QVariantMap &customAttributes)
{
    return make(QStringLiteral("level_end"), customAttributes, [&](TLYAttributeDictionary &d) {
        d.addAttribute(text(levelName), QStringLiteral("level_name"));
        d.addAttribute(score, QStringLiteral("score"));
        d.addBooleanAttribute(success, QStringLiteral("success"));
    });
}

Pointer TLYPredefinedEvent::addToCartEventWithPrice(const Price &price, const QString &currency,
                                                    const QString &itemName,
                                                    const QString &itemType, const QString &itemId,
                                                    const QVariantMap &customAttributes)
{
    return make(QStringLiteral("add_to_cart"), customAttributes, [&](TLYAttributeDictionary &d) {
        d.addPriceAttribute(price, QStringLiteral("item_price"));
        d.addAttribute(text(currency), QStringLiteral("currency"));
        d.addAttribute(text(itemName), QStringLiteral("item_name"));
        d.addAttribute(text(itemType), QStringLiteral("item_type"));
        d.addAttribute(text(itemId), QStringLiteral("item_id"));
    });
}

Pointer TLYPredefinedEvent::startCheckoutEventWithPrice(const Price &totalPrice,
                                                        const QString &currency,
                                                        const QVariant &itemCount,
                                                        const QVariantMap &customAttributes)
{
    return make(QStringLiteral("start_checkout"), customAttributes, [&](TLYAttributeDictionary &d) {
        d.addPriceAttribute(totalPrice, QStringLiteral("total_price"));
        d.addAttribute(text(currency), QStringLiteral("currency"));
        d.addAttribute(itemCount, QStringLiteral("item_count"));
    });
}

Pointer TLYPredefinedEvent::ratingEventWithRating(const QVariant &rating,
                                                  const QString &contentName,
                                                  const QString &contentType,
                                                  const QString &contentId,
                                                  const QVariantMap &customAttributes)
{
    return make(QStringLiteral("rating"), customAttributes, [&](TLYAttributeDictionary &d) {
        d.addAttribute(rating, QStringLiteral("rating"));
        d.addAttribute(text(contentName), QStringLiteral("content_name"));
        d.addAttribute(text(contentType), QStringLiteral("content_type"));
        d.addAttribute(text(contentId), QStringLiteral("content_id"));
    });
}

Pointer TLYPredefinedEvent::contentViewEventWithName(const QString &contentName,
                                                     const QString &contentType,
                                                     const QString &contentId,
                                                     const QVariantMap &customAttributes)
{
    return make(QStringLiteral("content_view"), customAttributes, [&](TLYAttributeDictionary &d) {
        d.addAttribute(text(contentName), QStringLiteral("content_name"));
        d.addAttribute(text(contentType), QStringLiteral("content_type"));
        d.addAttribute(text(contentId), QStringLiteral("content_id"));
    });
}

Pointer TLYPredefinedEvent::searchEventWithQuery(const QString &query,
                                                 const QVariantMap &customAttributes)
{
    return make(QStringLiteral("search"), customAttributes, [&](TLYAttributeDictionary &d) {
        d.addAttribute(text(query), QStringLiteral("query"));
    });
}

QString TLYPredefinedEvent::name() const
{
    return QStringLiteral("predefined");
}

QVariantMap TLYPredefinedEvent::dictionaryRepresentation() const
{
    return {
        {QStringLiteral("eventId"), identifier()},
        {QStringLiteral("predefined_type"), m_predefinedEventName},
        {QStringLiteral("custom_attributes"), m_customAttributes.dictionaryRepresentation()},
        {QStringLiteral("predefined_attributes"),
         m_predefinedAttributes.dictionaryRepresentation()},
    };
}

QString TLYPredefinedEvent::className() const
{
    return QStringLiteral("TLYPredefinedEvent");
}

QString TLYPredefinedEvent::description() const
{
    return QStringLiteral("<%1: %2\n%3\n%4>")
        .arg(className(), m_predefinedEventName, m_predefinedAttributes.description(),
             m_customAttributes.description());
}
