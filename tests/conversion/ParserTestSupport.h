#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>

#include <chrono>
#include <functional>
#include <sys/types.h>
#include <thread>
#include <unistd.h>

// Runs the conversions of a scope with the test parser, misbehaving as the
// mode says (an empty mode behaves), for every drawing or only for those
// whose path holds the text.
class TestParser
{
public:
    explicit TestParser(const QByteArray &mode, const QByteArray &onlyFor = {})
    {
        qputenv("QUILLMOOR_PARSER", QUILLMOOR_TEST_PARSER);
        qputenv("QUILLMOOR_PARSER_TEST_MODE", mode);
        qputenv("QUILLMOOR_PARSER_TEST_FILE", onlyFor);
    }
    ~TestParser()
    {
        qunsetenv("QUILLMOOR_PARSER");
        qunsetenv("QUILLMOOR_PARSER_TEST_MODE");
        qunsetenv("QUILLMOOR_PARSER_TEST_FILE");
    }
    TestParser(const TestParser &) = delete;
    TestParser &operator=(const TestParser &) = delete;
};

// The parser processes that the process started and that have not been
// reaped, read from /proc.
inline QList<pid_t> parserProcesses(pid_t parent = ::getpid())
{
    QList<pid_t> found;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const pid_t pid = pid_t(entry.toInt(&number));
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // pid (name) state parent ...
        const QByteArray line = stat.readAll();
        const qsizetype open = line.indexOf('('), close = line.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (fields.size() > 1 && fields[1].toInt() == parent &&
            line.mid(open + 1, close - open - 1).startsWith("quillmoor-pars"))
            found.append(pid);
    }
    return found;
}

// Waits, bounded, until the condition holds; whether it did.
inline bool eventually(const std::function<bool()> &condition,
                       std::chrono::milliseconds within = std::chrono::seconds(60))
{
    const auto deadline = std::chrono::steady_clock::now() + within;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
