#include "TLYAttributeDictionary.h"

#include "foundation/Log.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

bool isDecimal(const QVariant &value)
{
    return value.metaType() == QMetaType::fromType<TLYDecimal>();
}

bool isFloatingPoint(const QVariant &value)
{
    const int type = value.metaType().id();
    return type == QMetaType::Double || type == QMetaType::Float;
}

bool isNumber(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Double:
        return true;
    default:
        return isDecimal(value);
    }
}

bool isText(const QVariant &value)
{
    return value.metaType().id() == QMetaType::QString;
}

bool isNotANumber(const QVariant &value)
{
    if (isDecimal(value))
        return value.value<TLYDecimal>().isNaN();
    return isFloatingPoint(value) && std::isnan(value.toDouble());
}

// How a key or value appears in the log messages.
QString describe(const QVariant &value)
{
    if (isDecimal(value))
        return value.value<TLYDecimal>().toString();
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime().toString(Qt::ISODateWithMs);
    const QJsonValue json = TLYAttributeDictionary::jsonValue(value);
    if (json.isArray())
        return QString::fromUtf8(QJsonDocument(json.toArray()).toJson(QJsonDocument::Compact));
    if (json.isObject())
        return QString::fromUtf8(QJsonDocument(json.toObject()).toJson(QJsonDocument::Compact));
    const QString text = value.toString();
    if (text.isEmpty() && !isText(value))
        return QStringLiteral("<%1>").arg(QString::fromLatin1(value.metaType().name()));
    return text;
}

} // namespace

TLYAttributeDictionary::TLYAttributeDictionary(const QVariantMap &dictionary)
{
    for (auto it = dictionary.cbegin(); it != dictionary.cend(); ++it)
        addAttribute(it.value(), it.key());
}

void TLYAttributeDictionary::addAttribute(const QVariant &value, const QVariant &key)
{
    if (!value.isValid() || !key.isValid())
        return;
    // Checked before the key is looked at, so even replacing an existing key
    // is refused once the dictionary is full.
    if (m_rawDictionary.size() >= MaximumEntryCount) {
        systemLog(QStringLiteral("[Tally] Maximum number of Event attributes exceeded. Ignoring "
                                 "entry %1:%2")
                      .arg(describe(key), describe(value)));
        return;
    }
    if (!isText(key)) {
        systemLog(QStringLiteral("[Tally] Event attribute keys must be of type NSString. Ignoring "
                                 "entry %1:%2")
                      .arg(describe(key), describe(value)));
        return;
    }
    if (!validAttributeValue(value)) {
        systemLog(QStringLiteral("[Tally] Event attribute values must be of type NSString or "
                                 "NSNumber. Ignoring entry %1:%2")
                      .arg(describe(key), describe(value)));
        return;
    }
    const QVariant serialized = serializeAttributeValue(value);
    const QString storedKey = truncateString(key.toString());
    if (serialized.isValid())
        m_rawDictionary.insert(storedKey, serialized);
    else
        m_rawDictionary.remove(storedKey);
}

void TLYAttributeDictionary::addBooleanAttribute(const QVariant &boolean, const QVariant &key)
{
    const QVariant value = serializeSuccess(boolean);
    addAttribute(value, isText(key) ? QVariant(truncateString(key.toString())) : key);
}

void TLYAttributeDictionary::addPriceAttribute(const std::optional<TLYDecimal> &price,
                                               const QVariant &key)
{
    const QVariant value = serializePriceToMicros(price);
    addAttribute(value, isText(key) ? QVariant(truncateString(key.toString())) : key);
}

QString TLYAttributeDictionary::description() const
{
    return QString::fromUtf8(
        QJsonDocument(jsonValue(m_rawDictionary).toObject()).toJson(QJsonDocument::Compact));
}

bool TLYAttributeDictionary::validAttributeValue(const QVariant &value)
{
    // Infinities have no JSON form; refusing them here keeps every stored
    // number writable.
    if (isFloatingPoint(value) && std::isinf(value.toDouble()))
        return false;
    return isNumber(value) || isText(value);
}

QVariant TLYAttributeDictionary::serializeAttributeValue(const QVariant &value)
{
    if (isText(value))
        return truncateString(value.toString());
    if (isNumber(value))
        return serializeNumber(value);
    return {};
}

QString TLYAttributeDictionary::truncateString(const QString &text)
{
    if (text.size() > MaximumTextLength) {
        systemLog(QStringLiteral("[Tally] Maximum length for an Event attributes exceeded. "
                                 "Truncating to %1 characters.")
                      .arg(MaximumTextLength));
        return text.left(MaximumTextLength);
    }
    return text;
}

QVariant TLYAttributeDictionary::serializeSuccess(const QVariant &success)
{
    if (!success.isValid())
        return {};
    return success.toBool() ? QStringLiteral("true") : QStringLiteral("false");
}

QVariant TLYAttributeDictionary::serializePriceToMicros(const std::optional<TLYDecimal> &price)
{
    if (!price)
        return {};
    const TLYDecimal limit = maximumPrice();
    // A price below the negated limit would overflow the multiplication just
    // the same, so it is refused the same way.
    if (*price > limit || price->multipliedBy(TLYDecimal(-1)) > limit) {
        systemLog(QStringLiteral("[Tally] Maximum value for a price attribute exceeded. Ignoring "
                                 "price attribute with value: %1")
                      .arg(price->toString()));
        return {};
    }
    return QVariant::fromValue(price->multipliedBy(TLYDecimal::fromString(u"1000000")));
}

QVariant TLYAttributeDictionary::serializeNumber(const QVariant &number)
{
    if (isNotANumber(number))
        return {};
    return number;
}

TLYDecimal TLYAttributeDictionary::maximumPrice()
{
    // The largest decimal divided by 1000000, done as an exact shift of the
    // exponent.
    return TLYDecimal::maximum().multipliedByPowerOf10(-6);
}

QJsonValue TLYAttributeDictionary::jsonValue(const QVariant &value)
{
    if (isDecimal(value))
        return value.value<TLYDecimal>().toJsonValue();
    switch (value.metaType().id()) {
    case QMetaType::QVariantMap: {
        QJsonObject object;
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            object.insert(it.key(), jsonValue(it.value()));
        return object;
    }
    case QMetaType::QVariantList: {
        QJsonArray array;
        for (const QVariant &item : value.toList())
            array.append(jsonValue(item));
        return array;
    }
    default:
        return QJsonValue::fromVariant(value);
    }
}
