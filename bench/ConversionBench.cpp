// Conversion benchmark over the shared drawings.
//
// 1. In-process: libcdr's parse into a receiver that does nothing, against
//    the whole conversion (parse, SVG generator, page document). The ratio
//    is what the generator adds on top of libcdr.
// 2. Whole programs: quillmoor-convert against libcdr's cdr2xhtml on the
//    same files, wall time and peak memory, run alternately in this process.
//
// Usage: conversion-bench [--repeat N] [--no-programs] [DRAWING...]

#include "NullDrawingInterface.h"

#include "conversion/CDR2SVG.h"
#include "conversion/TMPManager.h"
#include "foundation/NotificationCenter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QUrl>

#include <libcdr/libcdr.h>
#include <librevenge-stream/librevenge-stream.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double parseOnlyMs(const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    librevenge::RVNGFileStream input(path.toUtf8().constData());
    NullDrawingInterface receiver;
    if (libcdr::CDRDocument::isSupported(&input))
        libcdr::CDRDocument::parse(&input, &receiver);
    return double(timer.nsecsElapsed()) / 1e6;
}

double conversionMs(const QString &path)
{
    QList<QUrl> images;
    int owner = 0;
    NotificationCenter::defaultCenter().addObserver(
        TMPManager::DidSaveFileNotification, nullptr, &owner,
        [&](const Notification &n) { images.append(n.userInfo.value("FilePath").toUrl()); });
    QElapsedTimer timer;
    timer.start();
    CDR2SVG converter(path);
    converter.convertToSVG(nullptr);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    NotificationCenter::defaultCenter().removeObserver(&owner);
    for (const QUrl &url : images)
        QFile::remove(url.toLocalFile());
    return ms;
}

struct ProgramRun
{
    double ms = 0;
    long peakKb = 0;
};

// Runs a program with its output thrown away, under GNU time for its peak
// memory: the rusage of a child spawned from this process would report our
// own high-water mark, which exec does not reset.
ProgramRun runProgram(const std::vector<std::string> &command)
{
    QTemporaryFile report;
    report.open();
    std::vector<std::string> arguments = {"/usr/bin/time", "-f", "%M", "-o",
                                          report.fileName().toStdString()};
    arguments.insert(arguments.end(), command.begin(), command.end());
    std::vector<char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    ProgramRun run;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
    }
    run.ms = double(timer.nsecsElapsed()) / 1e6;
    posix_spawn_file_actions_destroy(&actions);
    run.peakKb = report.readAll().trimmed().split('\n').last().toLong();
    return run;
}

} // namespace

int main(int argc, char *argv[])
{
    int repeat = 5;
    bool programs = true;
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc)
            repeat = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--no-programs") == 0)
            programs = false;
        else
            files.append(QString::fromLocal8Bit(argv[i]));
    }
    if (files.isEmpty()) {
        const QDir corpus(QStringLiteral(QUILLMOOR_CORPUS_DIR "/files"));
        for (const QString &name : corpus.entryList({"*.cdr"}, QDir::Files, QDir::Name))
            files.append(corpus.filePath(name));
    }

    std::printf("In-process, median of %d runs (ms): libcdr parse alone vs whole conversion\n",
                repeat);
    std::printf("%-38s %10s %10s %8s\n", "drawing", "parse", "convert", "ratio");
    double totalParse = 0, totalConvert = 0;
    for (const QString &path : files) {
        std::vector<double> parse, convert;
        for (int r = 0; r < repeat; ++r) {
            parse.push_back(parseOnlyMs(path));
            convert.push_back(conversionMs(path));
        }
        const double p = median(parse), c = median(convert);
        totalParse += p;
        totalConvert += c;
        std::printf("%-38s %10.2f %10.2f %8.3f\n", qPrintable(QFileInfo(path).fileName()), p, c,
                    p > 0 ? c / p : 0);
    }
    std::printf("%-38s %10.2f %10.2f %8.3f\n\n", "total", totalParse, totalConvert,
                totalParse > 0 ? totalConvert / totalParse : 0);

    if (!programs || !QFileInfo::exists("/usr/bin/cdr2xhtml") ||
        !QFileInfo::exists("/usr/bin/time"))
        return 0;
    std::printf("Whole programs, median of %d runs: quillmoor-convert vs cdr2xhtml\n", repeat);
    std::printf("%-38s %9s %9s %7s %10s %10s %7s\n", "drawing", "ours ms", "theirs ms", "time",
                "ours KB", "theirs KB", "memory");
    for (const QString &path : files) {
        const std::string file = path.toStdString();
        std::vector<double> oursMs, theirsMs;
        long oursKb = 0, theirsKb = 0;
        for (int r = 0; r < repeat; ++r) {
            const ProgramRun ours = runProgram({QUILLMOOR_CONVERT, file});
            const ProgramRun theirs = runProgram({"/usr/bin/cdr2xhtml", file});
            oursMs.push_back(ours.ms);
            theirsMs.push_back(theirs.ms);
            oursKb = std::max(oursKb, ours.peakKb);
            theirsKb = std::max(theirsKb, theirs.peakKb);
        }
        const double o = median(oursMs), t = median(theirsMs);
        std::printf("%-38s %9.1f %9.1f %7.3f %10ld %10ld %7.3f\n",
                    qPrintable(QFileInfo(path).fileName()), o, t, t > 0 ? o / t : 0, oursKb,
                    theirsKb, theirsKb > 0 ? double(oursKb) / double(theirsKb) : 0);
    }
    return 0;
}
