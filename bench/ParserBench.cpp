// What parsing in a process of its own costs, over the shared drawings.
//
// 1. The conversion inside this process (libcdr, generator, page document,
//    image files) against the same conversion through quillmoor-parser,
//    best of N runs each, run alternately: with a parser started for the
//    conversion, as quillmoor-convert does, and with one waiting, started
//    ahead of need, as the viewer does. The difference is the cost of the
//    parser process: its start (unless it waits), its confinement, a fresh
//    process's first use of its memory and of libcdr, and the streaming of
//    images and pages. Shown per drawing, then for small (under 100 KiB)
//    and large drawings apart.
// 2. The parser alone: an empty file, which libcdr rejects at once.
// 3. How soon a parser that fails in the middle of a large drawing becomes
//    a failed conversion: killed (SIGKILL, SIGSEGV), stopped (standing for
//    a hang, under a one-second limit), or cancelled as a closing document
//    does.
// 4. The smallest address-space limit under which each drawing still
//    converts, against the default limit.
//
// Usage: parser-bench [--repeat N] [--no-memory] [DRAWING...]

#include "conversion/CDR2SVG.h"
#include "conversion/CDRStringVector.h"
#include "conversion/CMX2SVG.h"
#include "conversion/GenerateSVG.h"
#include "conversion/PageDocument.h"
#include "conversion/TMPManager.h"
#include "foundation/NotificationCenter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QUrl>

#include <librevenge-stream/librevenge-stream.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

constexpr qint64 SmallDrawing = 100 * 1024;

// The best of the runs: the one least disturbed by other work on the machine.
double best(const std::vector<double> &values)
{
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

// Times the work and removes the images it wrote.
double timedMs(const std::function<void()> &work)
{
    QList<QUrl> images;
    int owner = 0;
    NotificationCenter::defaultCenter().addObserver(
        TMPManager::DidSaveFileNotification, nullptr, &owner, [&](const Notification &n) {
            images.append(n.userInfo.value(TMPManager::FilePathKey).toUrl());
        });
    QElapsedTimer timer;
    timer.start();
    work();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    NotificationCenter::defaultCenter().removeObserver(&owner);
    for (const QUrl &url : images)
        QFile::remove(url.toLocalFile());
    return ms;
}

void convertInProcess(const QString &path)
{
    const ParserProtocol::Format format = DrawingConverter::isExchangeFile(path)
                                              ? ParserProtocol::Format::CorelExchange
                                              : ParserProtocol::Format::CorelDraw;
    librevenge::RVNGFileStream input(path.toUtf8().constData());
    CDRStringVector pages;
    if (isSupported(input, format) && generateSVG(input, pages, format) && !pages.empty())
        PageDocument::write(pages);
}

std::unique_ptr<ParserConverter> converterFor(const QString &path, ParserLimits limits)
{
    if (DrawingConverter::isExchangeFile(path))
        return std::make_unique<CMX2SVG>(path, limits);
    return std::make_unique<CDR2SVG>(path, limits);
}

bool convertByParser(const QString &path, ParserLimits limits = {})
{
    return converterFor(path, limits)->convertToSVG(nullptr);
}

// The parser processes this process started, from /proc.
QList<pid_t> parsers()
{
    QList<pid_t> found;
    const QByteArray self = QByteArray::number(::getpid());
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // pid (name) state parent ...
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (line.contains("(quillmoor-pars") && fields.size() > 1 && fields[1] == self)
            found.append(pid_t(entry.toInt()));
    }
    return found;
}

// From the moment the parser is hit, when its first image arrives, to the
// failed conversion, and the whole failed conversion (ms; the best runs).
struct FailureTimes
{
    double sinceHit = 0;
    double total = 0;
};

FailureTimes failureMs(const QString &path, ParserLimits limits,
                       const std::function<void(pid_t)> &hit,
                       const std::function<void(ParserConverter &)> &cancel, int repeat)
{
    std::vector<double> sinceHits, totals;
    for (int r = 0; r < repeat; ++r) {
        const std::unique_ptr<ParserConverter> converter = converterFor(path, limits);
        QElapsedTimer sinceHit;
        bool failed = false;
        int owner = 0;
        NotificationCenter::defaultCenter().addObserver(TMPManager::DidSaveFileNotification,
                                                        nullptr, &owner, [&](const Notification &) {
                                                            if (sinceHit.isValid())
                                                                return;
                                                            for (pid_t pid : parsers())
                                                                hit(pid);
                                                            if (cancel)
                                                                cancel(*converter);
                                                            sinceHit.start();
                                                        });
        const double total = timedMs([&] { failed = !converter->convertToSVG(nullptr); });
        NotificationCenter::defaultCenter().removeObserver(&owner);
        if (failed && sinceHit.isValid()) {
            sinceHits.push_back(double(sinceHit.nsecsElapsed()) / 1e6);
            totals.push_back(total);
        }
    }
    return {best(sinceHits), best(totals)};
}

struct Group
{
    double inProcess = 0;
    double started = 0;
    double waiting = 0;
    int drawings = 0;
    void add(double a, double b, double c)
    {
        inProcess += a;
        started += b;
        waiting += c;
        ++drawings;
    }
    void print(const QString &name) const { printRow(name, inProcess, started, waiting); }
    static void printRow(const QString &name, double a, double b, double c)
    {
        std::printf("%-38s %10.2f %10.2f %10.2f %8.1f%% %8.1f%%\n", qPrintable(name), a, b, c,
                    a > 0 ? 100 * (b - a) / a : 0, a > 0 ? 100 * (c - a) / a : 0);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    int repeat = 7;
    bool memory = true;
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc)
            repeat = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--no-memory") == 0)
            memory = false;
        else
            files.append(QString::fromLocal8Bit(argv[i]));
    }
    if (files.isEmpty()) {
        const QDir corpus(QStringLiteral(QUILLMOOR_CORPUS_DIR "/files"));
        for (const QString &name : corpus.entryList({"*.cdr", "*.cmx"}, QDir::Files, QDir::Name))
            files.append(corpus.filePath(name));
    }
    std::printf("parser: %s\n\n", qPrintable(ParserProcess::executablePath()));

    std::printf("Conversion, best of %d runs (ms): in this process, through a parser started "
                "for it, through a waiting one; cost of each parser against in-process\n",
                repeat);
    std::printf("%-38s %10s %10s %10s %9s %9s\n", "drawing", "in-process", "started", "waiting",
                "started", "waiting");
    // Spares serve conversions under the default limits only: the others
    // start a parser of their own.
    ParserLimits ownParser;
    ownParser.time += std::chrono::seconds(1);
    QTemporaryFile empty;
    empty.open();
    std::vector<double> emptyStarted, emptyWaiting;
    ParserProcess::keepSpare();
    for (int r = 0; r < 4 * repeat; ++r) {
        emptyStarted.push_back(timedMs([&] { convertByParser(empty.fileName(), ownParser); }));
        emptyWaiting.push_back(timedMs([&] { convertByParser(empty.fileName()); }));
    }
    std::vector<std::vector<double>> inProcess(files.size()), started(files.size()),
        waiting(files.size());
    for (qsizetype i = 0; i < files.size(); ++i) {
        convertInProcess(files[i]); // libcdr's first use of its tables in this process
        for (int r = 0; r < repeat; ++r) {
            inProcess[i].push_back(timedMs([&] { convertInProcess(files[i]); }));
            started[i].push_back(timedMs([&] { convertByParser(files[i], ownParser); }));
            waiting[i].push_back(timedMs([&] { convertByParser(files[i]); }));
        }
    }
    Group small, large, all;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const double a = best(inProcess[i]), b = best(started[i]), c = best(waiting[i]);
        (QFileInfo(files[i]).size() < SmallDrawing ? small : large).add(a, b, c);
        all.add(a, b, c);
        Group::printRow(QFileInfo(files[i]).fileName(), a, b, c);
    }
    std::printf("\n%-38s %10s %10s %10s %9s %9s\n", "sums", "in-process", "started", "waiting",
                "started", "waiting");
    small.print(QStringLiteral("small drawings (%1, < 100 KiB)").arg(small.drawings));
    large.print(QStringLiteral("large drawings (%1)").arg(large.drawings));
    all.print(QStringLiteral("whole corpus"));
    std::printf("\nAn empty file, which libcdr rejects at once (best of %d, ms): started %.2f, "
                "waiting %.2f\n",
                4 * repeat, best(emptyStarted), best(emptyWaiting));

    // Only the parser of the conversion runs from here on.
    ParserProcess::keepSpare(false);
    const QString largeDrawing =
        QStringLiteral(QUILLMOOR_CORPUS_DIR "/files/v23_2021_corolDrow_zakaz.cdr");
    ParserLimits oneSecond;
    oneSecond.time = std::chrono::seconds(1);
    auto signal = [](int number) { return [number](pid_t pid) { ::kill(pid, number); }; };
    std::printf("\nFrom a parser's failure in the middle of %s to the failed conversion "
                "(best of %d, ms)\n",
                qPrintable(QFileInfo(largeDrawing).fileName()), repeat);
    const FailureTimes killed = failureMs(largeDrawing, {}, signal(SIGKILL), {}, repeat);
    const FailureTimes crashed = failureMs(largeDrawing, {}, signal(SIGSEGV), {}, repeat);
    const FailureTimes cancelled = failureMs(
        largeDrawing, {}, [](pid_t) {}, [](ParserConverter &c) { c.cancel(); }, repeat);
    const FailureTimes hanging = failureMs(largeDrawing, oneSecond, signal(SIGSTOP), {}, 3);
    std::printf("  killed with SIGKILL                 %8.2f\n", killed.sinceHit);
    std::printf("  crashed (SIGSEGV)                   %8.2f\n", crashed.sinceHit);
    std::printf("  cancelled, as by closing its window %8.2f\n", cancelled.sinceHit);
    std::printf("  hanging (SIGSTOP), 1 s time limit   %8.2f, %.2f from the start\n",
                hanging.sinceHit, hanging.total);

    if (!memory)
        return 0;
    const std::uint64_t ladder[] = {96, 128, 192, 256, 384, 512, 768, 1024, 1536, 2048};
    std::printf("\nSmallest address-space limit under which each drawing converts "
                "(default %llu MiB)\n",
                static_cast<unsigned long long>(ParserLimits().memoryBytes >> 20));
    for (const QString &path : files) {
        bool converts = false;
        timedMs([&] { converts = convertByParser(path); });
        if (!converts)
            continue;
        const auto fits = std::find_if(std::begin(ladder), std::end(ladder), [&](auto mib) {
            ParserLimits limits;
            limits.memoryBytes = mib << 20;
            bool converted = false;
            timedMs([&] { converted = convertByParser(path, limits); });
            return converted;
        });
        std::printf("%-38s %8s MiB\n", qPrintable(QFileInfo(path).fileName()),
                    fits == std::end(ladder) ? "> 2048"
                                             : qPrintable(QString::number(qulonglong(*fits))));
    }
    return 0;
}
