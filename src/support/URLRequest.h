#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

class QNetworkRequest;

// An HTTP request as the session layer takes it: address, method, header
// fields (names compared without regard to case), a body held in memory or
// read from a file, and a time-out.
class URLRequest
{
public:
    // Seconds a request may stay idle before it fails as timed out.
    static constexpr double DefaultTimeoutInterval = 60.0;

    URLRequest() = default;
    explicit URLRequest(QUrl url, double timeoutInterval = DefaultTimeoutInterval);

    const QUrl &url() const { return m_url; }
    void setURL(const QUrl &url) { m_url = url; }
    const QString &HTTPMethod() const { return m_method; }
    void setHTTPMethod(const QString &method) { m_method = method; }
    double timeoutInterval() const { return m_timeoutInterval; }
    void setTimeoutInterval(double seconds) { m_timeoutInterval = seconds; }

    // Header fields in the order they were first set.
    const QList<QPair<QString, QString>> &allHTTPHeaderFields() const { return m_headers; }
    // The field's value, or a null string when the request lacks it.
    QString valueForHTTPHeaderField(const QString &field) const;
    // Replaces the field's value; a null value removes the field.
    void setValue(const QString &value, const QString &field);
    // Appends to the field's value, separated by a comma, as HTTP allows for
    // repeated fields.
    void addValue(const QString &value, const QString &field);

    const QByteArray &HTTPBody() const { return m_body; }
    void setHTTPBody(const QByteArray &body) { m_body = body; }
    // A file whose contents are sent as the body instead of HTTPBody().
    const QString &HTTPBodyFile() const { return m_bodyFile; }
    void setHTTPBodyFile(const QString &path) { m_bodyFile = path; }

    QNetworkRequest toNetworkRequest() const;

    bool operator==(const URLRequest &other) const = default;

private:
    qsizetype indexOfField(const QString &field) const;

    QUrl m_url;
    QString m_method = QStringLiteral("GET");
    QList<QPair<QString, QString>> m_headers;
    QByteArray m_body;
    QString m_bodyFile;
    double m_timeoutInterval = DefaultTimeoutInterval;
};
