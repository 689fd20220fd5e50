#pragma once

#include <QString>
#include <QUrl>
#include <QVariant>

#include <optional>

// Builds a URL text from a base, path components and query parameters
// whose names and values are escaped.
class ORRURLBuilder
{
public:
    static ORRURLBuilder URLWithBase(const QString &base);

    const QString &URLString() const { return m_URLString; }
    unsigned queryParams() const { return m_queryParams; }

    void appendComponent(const QString &component);
    void escapeAndAppendComponent(const QString &component);
    // Nothing for an invalid (absent) value; other values than text are
    // written as their text (a number as its decimal text). Name and value
    // are escaped with escapeQueryString().
    void appendValue(const QVariant &value, const QString &queryParam);

    // Percent-escapes (as UTF-8) what may not stand in a URL: blanks,
    // quotes, angle brackets, "%" and non-ASCII. Reserved characters such
    // as "&", "=", "/", "?" and "+" stay as they are, for path components.
    static QString escapeString(const QString &string);
    // Percent-escapes (as UTF-8) everything but letters, digits and "-",
    // ".", "_", "~", so that a query name or value cannot end itself, add
    // parameters or start a fragment.
    static QString escapeQueryString(const QString &string);

    // The URL, or nothing when the text is not one.
    std::optional<QUrl> URL() const;

private:
    QString m_URLString;
    unsigned m_queryParams = 0;
};
