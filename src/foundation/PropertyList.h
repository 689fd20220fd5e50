#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <optional>

// Property lists as QVariant values: dictionaries are QVariantMap, arrays
// QVariantList, and strings, integers, reals, booleans, dates (QDateTime)
// and data (QByteArray) map to their plain Qt types. Both the XML and the
// binary form are read; either can be written.
class PropertyList
{
public:
    enum class Format
    {
        Xml,
        Binary
    };

    // The value held by the bytes, or nothing when they are not a property list.
    static std::optional<QVariant> fromData(const QByteArray &data);
    // The encoded value, or nothing when the value holds a type that has no
    // property-list form (null values, pointers and the like).
    static std::optional<QByteArray> toData(const QVariant &value, Format format = Format::Xml);

    static std::optional<QVariant> readFile(const QString &path);
    // Writes through a temporary file that replaces the target only once it
    // is complete, so readers never see a half-written list.
    static bool writeFile(const QString &path, const QVariant &value, Format format = Format::Xml);
};
