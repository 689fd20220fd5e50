#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// An exception with a name and a reason, raised for faults of the host
// program that callers are not expected to catch.
class NamedException : public std::exception
{
public:
    NamedException(QString name, QString reason);

    const QString &name() const { return m_name; }
    const QString &reason() const { return m_reason; }
    // "name: reason", for whoever reports an uncaught exception.
    const char *what() const noexcept override { return m_what.constData(); }

private:
    QString m_name;
    QString m_reason;
    QByteArray m_what;
};
