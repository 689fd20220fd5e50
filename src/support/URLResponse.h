#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

class QNetworkReply;

// What the server answered, as far as the head of the answer tells:
// address, HTTP status and header fields.
class URLResponse
{
public:
    URLResponse() = default;
    URLResponse(QUrl url, int statusCode, QList<QPair<QString, QString>> headerFields);

    // The head of a reply whose header has arrived.
    static URLResponse fromReply(const QNetworkReply &reply);

    const QUrl &URL() const { return m_url; }
    int statusCode() const { return m_statusCode; }
    const QList<QPair<QString, QString>> &allHeaderFields() const { return m_headers; }
    // The field's value, or a null string; names compare without regard to case.
    QString valueForHTTPHeaderField(const QString &field) const;
    // The declared body length, or -1 when the server did not say.
    qint64 expectedContentLength() const;
    // The media type of the body without its parameters, or a null string.
    QString MIMEType() const;

    bool operator==(const URLResponse &other) const = default;

private:
    QUrl m_url;
    int m_statusCode = 0;
    QList<QPair<QString, QString>> m_headers;
};
