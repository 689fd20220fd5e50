#include "ORRURLBuilder.h"

ORRURLBuilder ORRURLBuilder::URLWithBase(const QString &base)
{
    ORRURLBuilder builder;
    builder.m_URLString = base;
    return builder;
}

void ORRURLBuilder::appendComponent(const QString &component)
{
    m_URLString += component;
}

void ORRURLBuilder::escapeAndAppendComponent(const QString &component)
{
    appendComponent(escapeString(component));
}

void ORRURLBuilder::appendValue(const QVariant &value, const QString &queryParam)
{
    if (!value.isValid() || value.isNull())
        return;
    m_URLString += m_queryParams == 0 ? QLatin1Char('?') : QLatin1Char('&');
    ++m_queryParams;
    m_URLString +=
        escapeQueryString(queryParam) + QLatin1Char('=') + escapeQueryString(value.toString());
}

QString ORRURLBuilder::escapeString(const QString &string)
{
    static const QByteArray Legal = QByteArrayLiteral("!#$&'()*+,-./:;=?@_~");
    QString escaped;
    for (const char byte : string.toUtf8()) {
        const auto value = static_cast<unsigned char>(byte);
        const bool alphanumeric = (value >= '0' && value <= '9') ||
                                  (value >= 'A' && value <= 'Z') || (value >= 'a' && value <= 'z');
        if (alphanumeric || (value < 0x80 && Legal.contains(byte)))
            escaped += QLatin1Char(byte);
        else
            escaped += QLatin1Char('%') +
                       QString::number(value, 16).rightJustified(2, QLatin1Char('0')).toUpper();
    }
    return escaped;
}

QString ORRURLBuilder::escapeQueryString(const QString &string)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(string));
}

std::optional<QUrl> ORRURLBuilder::URL() const
{
    const QUrl url = QUrl::fromEncoded(m_URLString.toUtf8(), QUrl::StrictMode);
    if (!url.isValid() || m_URLString.isEmpty())
        return std::nullopt;
    return url;
}
