#include "URLResponse.h"

#include <QNetworkReply>

URLResponse::URLResponse(QUrl url, int statusCode, QList<QPair<QString, QString>> headerFields)
    : m_url(std::move(url))
    , m_statusCode(statusCode)
    , m_headers(std::move(headerFields))
{}

URLResponse URLResponse::fromReply(const QNetworkReply &reply)
{
    QList<QPair<QString, QString>> headers;
    for (const auto &[name, value] : reply.rawHeaderPairs())
        headers.append({QString::fromLatin1(name), QString::fromLatin1(value)});
    return URLResponse(reply.url(),
                       reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                       std::move(headers));
}

QString URLResponse::valueForHTTPHeaderField(const QString &field) const
{
    for (const auto &[name, value] : m_headers) {
        if (name.compare(field, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

qint64 URLResponse::expectedContentLength() const
{
    bool ok = false;
    const qint64 length = valueForHTTPHeaderField(QStringLiteral("Content-Length")).toLongLong(&ok);
    return ok ? length : -1;
}

QString URLResponse::MIMEType() const
{
    const QString type = valueForHTTPHeaderField(QStringLiteral("Content-Type"));
    if (type.isNull())
        return {};
    return type.section(QLatin1Char(';'), 0, 0).trimmed();
}
