#pragma once

#include "CDRStringVector.h"
#include "ParserProtocol.h"
#include "ParserStream.h"

#include <QString>

#include <mutex>

// What a parser process made of a drawing.
struct ParseResult
{
    enum class Status
    {
        Parsed,
        // libcdr does not take the file for one of the format.
        NotSupported,
        // libcdr took the file but could not parse it.
        ParseFailed,
        // The parser did not come to an end of its own: it died, or sent
        // what no sound parser sends.
        Crashed,
        // It ran past the time limit, or used up its processor time.
        TimedOut,
        // It ran out of memory under the memory limit.
        OutOfMemory,
        // The parse was cancelled.
        Cancelled,
        // No parser could be started.
        NotStarted,
    };
    Status status = Status::Crashed;
    CDRStringVector pages;
    // Why it failed, in a sentence for logs.
    QString detail;
};

// Parses drawings in a process of their own (quillmoor-parser), so that a
// drawing that crashes libcdr, keeps it busy or makes it allocate without
// end costs one failed conversion and never the application. The parser
// runs with no network, under the memory limit, and is killed when it
// runs past the time limit or is cancelled. Drawn images reach the
// calling thread, which writes them as they arrive, in drawing order.
class ParserProcess
{
public:
    explicit ParserProcess(ParserLimits limits = {});
    ~ParserProcess();
    ParserProcess(const ParserProcess &) = delete;
    ParserProcess &operator=(const ParserProcess &) = delete;

    const ParserLimits &limits() const { return m_limits; }

    // Runs one parse and waits for it; the parser has ended, one way or
    // another, when this returns.
    ParseResult parse(const QString &path, ParserProtocol::Format format,
                      const ParserStream::ImageWriter &writeImage);

    // From any thread: kills the parser of a parse in progress, which
    // fails at once, and lets no later parse start.
    void cancel();
    bool isCancelled() const;

    // The parser program: $QUILLMOOR_PARSER when set, else the one
    // installed beside the running program, else the one of the build.
    static QString executablePath();

    // For programs that convert one drawing after another: from now on a
    // parser waits, started ahead of need, for the next parse under the
    // default limits, so that it need not wait for a process to start.
    // With false, no more parsers wait, and the one waiting ends.
    static void keepSpare(bool keep = true);

private:
    struct Child;
    class Spare;
    ParseResult run(Child &child, const QString &path, ParserProtocol::Format format,
                    const ParserStream::ImageWriter &writeImage);
    bool start(Child &child, QString *why);
    static bool spawn(const ParserLimits &limits, Child &child, QString *why);

    ParserLimits m_limits;
    mutable std::mutex m_mutex;
    // The running parser, as a process file descriptor, which names that
    // process alone even after it has ended; -1 when none runs.
    int m_pidfd = -1;
    bool m_cancelled = false;
};
