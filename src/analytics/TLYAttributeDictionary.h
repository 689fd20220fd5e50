#pragma once

#include "TLYDecimal.h"

#include <QJsonValue>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

// The attributes of one event: text keys to text or number values, kept
// within the sizes the events service accepts. A bad entry is dropped (or
// cut) with a line in the system log, whatever the debug setting, and the
// rest stays; adding never fails.
//
// Numbers are the integer and floating-point types, booleans and
// TLYDecimal. A not-a-number value removes the entry under its key.
class TLYAttributeDictionary
{
public:
    static constexpr int MaximumEntryCount = 21;
    static constexpr int MaximumTextLength = 100; // UTF-16 code units

    TLYAttributeDictionary() = default;
    // Adds every pair in the map's order (sorted by key).
    explicit TLYAttributeDictionary(const QVariantMap &dictionary);

    // An invalid QVariant is an absent value or key.
    void addAttribute(const QVariant &value, const QVariant &key);
    // Stores "true" or "false" from the value's boolean reading.
    void addBooleanAttribute(const QVariant &boolean, const QVariant &key);
    // Stores the price in micro-units (9.99 -> 9990000) as a TLYDecimal.
    void addPriceAttribute(const std::optional<TLYDecimal> &price, const QVariant &key);

    const QVariantMap &rawDictionary() const { return m_rawDictionary; }
    const QVariantMap &dictionaryRepresentation() const { return m_rawDictionary; }
    // The entries as compact JSON.
    QString description() const;

    static bool validAttributeValue(const QVariant &value);
    // Absent (invalid) when the value must not be stored.
    static QVariant serializeAttributeValue(const QVariant &value);
    static QString truncateString(const QString &text);
    static QVariant serializeSuccess(const QVariant &success);
    static QVariant serializePriceToMicros(const std::optional<TLYDecimal> &price);
    static QVariant serializeNumber(const QVariant &number);
    // Prices above this, or below its negation, cannot be held in micro-units.
    static TLYDecimal maximumPrice();

    // The JSON form of an attribute value, or of a whole event payload:
    // maps and lists are converted recursively and TLYDecimal values become
    // JSON numbers.
    static QJsonValue jsonValue(const QVariant &value);

private:
    QVariantMap m_rawDictionary;
};
