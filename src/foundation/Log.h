#pragma once

#include <QString>

#include <memory>

// The system log: every line goes to standard error and to syslog.
void systemLog(const QString &line);

// Lets tests read what was logged. While an instance lives, every line is
// also handed to it (from whatever thread logs it).
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList lines() const;
    bool contains(const QString &line) const;
    int count(const QString &line) const;
    void clear();

private:
    friend void systemLog(const QString &line);
    void append(const QString &line);

    struct Private;
    std::unique_ptr<Private> d;
};
