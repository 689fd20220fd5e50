#include "URLRequest.h"

#include <QNetworkRequest>

URLRequest::URLRequest(QUrl url, double timeoutInterval)
    : m_url(std::move(url))
    , m_timeoutInterval(timeoutInterval)
{}

qsizetype URLRequest::indexOfField(const QString &field) const
{
    for (qsizetype i = 0; i < m_headers.size(); ++i) {
        if (m_headers[i].first.compare(field, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString URLRequest::valueForHTTPHeaderField(const QString &field) const
{
    const qsizetype index = indexOfField(field);
    return index < 0 ? QString() : m_headers[index].second;
}

void URLRequest::setValue(const QString &value, const QString &field)
{
    const qsizetype index = indexOfField(field);
    if (value.isNull()) {
        if (index >= 0)
            m_headers.removeAt(index);
    } else if (index >= 0) {
        m_headers[index].second = value;
    } else {
        m_headers.append({field, value});
    }
}

void URLRequest::addValue(const QString &value, const QString &field)
{
    const qsizetype index = indexOfField(field);
    if (index < 0)
        m_headers.append({field, value});
    else
        m_headers[index].second += QStringLiteral(", ") + value;
}

QNetworkRequest URLRequest::toNetworkRequest() const
{
    QNetworkRequest request(m_url);
    for (const auto &[field, value] : m_headers)
        request.setRawHeader(field.toLatin1(), value.toLatin1());
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    if (m_timeoutInterval > 0)
        request.setTransferTimeout(int(m_timeoutInterval * 1000));
    return request;
}
