#include "Log.h"

#include <QStringList>

#include <cstdio>
#include <mutex>
#include <syslog.h>
#include <vector>

struct LogCapture::Private
{
    mutable std::mutex mutex;
    QStringList lines;
};

namespace {

struct CaptureRegistry
{
    std::mutex mutex;
    std::vector<LogCapture *> captures;
};

CaptureRegistry &registry()
{
    static CaptureRegistry instance;
    return instance;
}

void openSyslogOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { openlog("quillmoor", LOG_PID, LOG_USER); });
}

} // namespace

void systemLog(const QString &line)
{
    const QByteArray utf8 = line.toUtf8();
    std::fprintf(stderr, "%s\n", utf8.constData());
    openSyslogOnce();
    syslog(LOG_NOTICE, "%s", utf8.constData());

    CaptureRegistry &reg = registry();
    std::lock_guard lock(reg.mutex);
    for (LogCapture *capture : reg.captures)
        capture->append(line);
}

LogCapture::LogCapture()
    : d(std::make_unique<Private>())
{
    CaptureRegistry &reg = registry();
    std::lock_guard lock(reg.mutex);
    reg.captures.push_back(this);
}

LogCapture::~LogCapture()
{
    {
        CaptureRegistry &reg = registry();
        std::lock_guard lock(reg.mutex);
        std::erase(reg.captures, this);
    }
}

void LogCapture::append(const QString &line)
{
    std::lock_guard lock(d->mutex);
    d->lines.append(line);
}

QStringList LogCapture::lines() const
{
    std::lock_guard lock(d->mutex);
    return d->lines;
}

bool LogCapture::contains(const QString &line) const
{
    return count(line) > 0;
}

int LogCapture::count(const QString &line) const
{
    std::lock_guard lock(d->mutex);
    return int(d->lines.count(line));
}

void LogCapture::clear()
{
    std::lock_guard lock(d->mutex);
    d->lines.clear();
}
