// analytics-start-bench: how long starting the SDK with the analytics kit
// holds the thread that starts it (the GUI thread in the application), and
// how long recording an event holds its caller, with a service that answers
// at once, one that answers after 30 seconds and one that cannot be reached.
// Each case runs in a process of its own, with a home folder of its own.

#include "ReferenceService.h"

#include "analytics/Tally.h"
#include "analytics/TallyKit.h"
#include "sdk/Orrery.h"
#include "support/NetworkThread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>

namespace {

int runCase(const QString &name)
{
    ReferenceService service;
    QByteArray base = service.baseURL().toUtf8();
    if (name == QLatin1String("slow")) {
        ReferenceService::Answer slow = ReferenceService::Answer::json(service.defaultSettings());
        slow.delay = std::chrono::seconds(30);
        service.setStandingAnswer(ReferenceService::Endpoint::Settings, slow);
    } else if (name == QLatin1String("unreachable")) {
        base = "http://127.0.0.1:9";
    }
    qputenv("SettingsEndpoint", base);
    qputenv("ConfigureEndpoint", base);

    TallyKit::registerKit();
    QElapsedTimer timer;
    timer.start();
    // The SDK's identity (installation, executable) is read when it is
    // first used; the start proper follows.
    Orrery::sharedSDK();
    const double identity = timer.nsecsElapsed() / 1e6;
    timer.restart();
    Orrery::with({TallyKit::kitClass()});
    const double start = timer.nsecsElapsed() / 1e6;

    constexpr int Events = 1000;
    timer.restart();
    for (int n = 0; n < Events; ++n)
        Tally::logCustomEventWithName(QStringLiteral("Open About Window"), {{"n", n}});
    const double perEvent = timer.nsecsElapsed() / 1e3 / Events;

    std::printf("%-12s identity %6.2f ms   start %6.2f ms   record %6.2f us per event\n",
                qPrintable(name), identity, start, perEvent);
    std::fflush(stdout);
    NetworkThread::shutdown();
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--case") == 0)
        return runCase(QString::fromLocal8Bit(argv[2]));

    for (const char *name : {"prompt", "slow", "unreachable"}) {
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DO_NOT_TRACK"));
        for (const char *variable : {"HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"})
            environment.insert(QString::fromLatin1(variable),
                               home.filePath(QString::fromLatin1(variable)));
        QProcess run;
        run.setProcessEnvironment(environment);
        run.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        run.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--case"), QString::fromLatin1(name)});
        if (!run.waitForFinished(120000) || run.exitCode() != 0)
            std::fprintf(stderr, "%s: the case did not finish\n", name);
    }
    return 0;
}
