// Time and memory of one thumbnail, as a file manager has it made: the
// thumbnailer run as its own process, without a display, for each drawing
// of the corpus (or the drawings given). Targets for a typical drawing:
// under 0.5 s and 100 MB.

#include <QDir>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace {

constexpr int Runs = 3;
constexpr int Size = 256;
constexpr double TargetSeconds = 0.5;
constexpr double TargetMegabytes = 100;

struct Run
{
    bool ok = false;
    double seconds = 0;
    double megabytes = 0; // largest resident size
};

Run thumbnail(const QString &drawing, const QString &output)
{
    const QByteArray program = QUILLMOOR_THUMBNAILER;
    const QByteArray input = QFile::encodeName(drawing);
    const QByteArray out = QFile::encodeName(output);
    const QByteArray size = QByteArray::number(Size);
    char *argv[] = {const_cast<char *>(program.constData()), const_cast<char *>(input.constData()),
                    const_cast<char *>(out.constData()), const_cast<char *>(size.constData()),
                    nullptr};
    // No display, as in a file manager's sandbox.
    std::vector<char *> environment;
    for (char **variable = environ; *variable; ++variable)
        if (!QByteArray(*variable).startsWith("DISPLAY=") &&
            !QByteArray(*variable).startsWith("WAYLAND_DISPLAY="))
            environment.push_back(*variable);
    environment.push_back(nullptr);

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environment.data()) != 0)
        return {};
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return {};
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return {WIFEXITED(status) && WEXITSTATUS(status) == 0, elapsed.count(),
            double(usage.ru_maxrss) / 1024};
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList drawings;
    for (int i = 1; i < argc; ++i)
        drawings.append(QString::fromLocal8Bit(argv[i]));
    if (drawings.isEmpty()) {
        const QDir corpus(QStringLiteral(QUILLMOOR_CORPUS_DIR "/files"));
        for (const QString &name : corpus.entryList(QDir::Files, QDir::Name))
            drawings.append(corpus.filePath(name));
    }
    QTemporaryDir output;
    std::printf("%-40s %10s %10s\n", "drawing", "seconds", "MB");
    std::vector<double> medians;
    std::vector<double> memories;
    for (const QString &drawing : drawings) {
        std::vector<double> times;
        double memory = 0;
        bool ok = true;
        for (int i = 0; i < Runs; ++i) {
            const Run run = thumbnail(drawing, output.filePath(QStringLiteral("t.png")));
            ok = ok && run.ok;
            times.push_back(run.seconds);
            memory = std::max(memory, run.megabytes);
        }
        std::sort(times.begin(), times.end());
        const double median = times[times.size() / 2];
        medians.push_back(median);
        memories.push_back(memory);
        std::printf("%-40s %10.3f %10.1f%s%s\n", qPrintable(QDir(drawing).dirName()), median,
                    memory, ok ? "" : "  FAILED",
                    median > TargetSeconds || memory > TargetMegabytes ? "  over target" : "");
    }
    if (medians.empty())
        return 1;
    std::sort(medians.begin(), medians.end());
    std::sort(memories.begin(), memories.end());
    std::printf("\ntypical (median of %zu drawings): %.3f s, %.1f MB (targets %.1f s, %.0f MB)\n",
                medians.size(), medians[medians.size() / 2], memories[memories.size() / 2],
                TargetSeconds, TargetMegabytes);
    return 0;
}
