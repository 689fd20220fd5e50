#include "AnalyticsTestSupport.h"
#include "ChildProcess.h"

#include "analytics/TLYEventLogFiles.h"
#include "analytics/TLYTallyController.h"
#include "analytics/Tally.h"
#include "analytics/TallyKit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <random>
#include <thread>

namespace {

// A controller over root without settings: nothing is uploaded, and the
// default size limit applies.
TLYTallyController::Configuration configurationIn(const QString &root)
{
    TLYTallyController::Configuration configuration;
    configuration.rootDirectory = root;
    configuration.metadata = std::make_shared<const TLYMetadata>(testMetadataFields());
    return configuration;
}

// Large events, so that the child rotates every few of them and a kill
// often lands in compression or packaging.
QVariantMap tick(int round, int n)
{
    return {{"round", round},
            {"n", n},
            {"a", QString(100, 'a')},
            {"b", QString(100, 'b')},
            {"c", QString(100, 'c')}};
}

// Records "tick" events in bursts of 1 to 8, waits after each burst until
// everything is on disk, and then reports "written N" (N events so far).
int recordUntilKilled()
{
    const QString root = qEnvironmentVariable("TALLY_TEST_ROOT");
    const int round = qEnvironmentVariableIntValue("TALLY_TEST_ROUND");
    std::mt19937 random(qEnvironmentVariableIntValue("TALLY_TEST_SEED"));
    const auto controller = std::make_shared<TLYTallyController>(configurationIn(root));
    Tally::sharedInstance().setTallyController(controller);
    std::printf("started\n");
    std::fflush(stdout);
    for (int n = 0; n < 1000000;) {
        for (int burst = std::uniform_int_distribution(1, 8)(random); burst > 0; --burst, ++n)
            Tally::logCustomEventWithName("tick", tick(round, n));
        controller->waitUntilIdle();
        std::printf("written %d\n", n);
        std::fflush(stdout);
    }
    return 3; // never killed
}

// Starts the kit as the SDK core does, records from two threads and quits
// at once.
int recordAndQuit(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    TallyKit::kitClass()->initializeIfNeeded();
    std::vector<std::thread> recorders;
    for (int t = 0; t < 2; ++t) {
        recorders.emplace_back([t] {
            for (int i = 0; i < 50; ++i)
                Tally::logCustomEventWithName("tick", tick(0, t * 50 + i));
        });
    }
    for (std::thread &recorder : recorders)
        recorder.join();
    return 0; // the application object goes now
}

struct Tick
{
    int round;
    int n;
    friend bool operator<(const Tick &a, const Tick &b)
    {
        return std::pair(a.round, a.n) < std::pair(b.round, b.n);
    }
};

// Every event in the events folder, read from log files and packages; fails
// the test on anything that is not whole.
QList<Tick> ticksIn(const QString &eventsDirectory, QSet<QString> *eventIds)
{
    QList<QByteArray> logs;
    const QDir events(eventsDirectory);
    for (const QString &name : events.entryList(QDir::Files, QDir::Name)) {
        const QFileInfo info(events.filePath(name));
        if (info.suffix() == "log") {
            logs.append(readFile(info.filePath()));
            continue;
        }
        EXPECT_EQ(info.suffix(), "multipartmime") << name.toStdString();
        QString error;
        const auto body =
            parseMultipart(readFile(info.filePath()), info.completeBaseName().toUtf8(), &error);
        EXPECT_TRUE(body) << name.toStdString() << ": " << error.toStdString();
        if (!body)
            continue;
        EXPECT_EQ(body->preamble, "MIME-Version: 1.0");
        EXPECT_EQ(body->parts.size(), 1) << name.toStdString();
        if (body->parts.size() != 1)
            continue;
        const MultipartPart &part = body->parts.first();
        EXPECT_TRUE(part.headers.value("content-disposition").endsWith(".gz\""));
        EXPECT_EQ(part.headers.value("content-type"), "application/vnd.tarnwell.mac.events");
        const auto log = gunzip(part.content);
        EXPECT_TRUE(log) << name.toStdString() << " does not hold a whole gzip stream";
        if (log)
            logs.append(*log);
    }
    QList<Tick> ticks;
    for (const QByteArray &log : logs) {
        const QList<LogLine> lines = parseLogLines(log);
        EXPECT_GE(lines.size(), 2);
        if (lines.isEmpty())
            continue;
        EXPECT_EQ(lines[0].name, "metadata");
        for (const LogLine &line : lines.mid(1)) {
            if (line.name.startsWith("app_"))
                continue; // each start's install and launch
            EXPECT_EQ(line.name, "custom");
            const QJsonObject payload = QJsonDocument::fromJson(line.payload).object();
            EXPECT_EQ(payload["custom_type"], "tick");
            const QJsonObject attributes = payload["custom_attributes"].toObject();
            ticks.append({attributes["round"].toInt(), attributes["n"].toInt()});
            const QString id = payload["eventId"].toString();
            EXPECT_FALSE(eventIds->contains(id)) << "event written twice: " << id.toStdString();
            eventIds->insert(id);
        }
    }
    return ticks;
}

} // namespace

int runChildProcess(const QByteArray &mode, int argc, char **argv)
{
    if (mode == "record")
        return recordUntilKilled();
    if (mode == "quit")
        return recordAndQuit(argc, argv);
    if (mode == "kit")
        return recordThroughTheKit(argc, argv);
    return 2;
}

TEST(TLYCrashRecoveryTest, AKilledProcessLosesNoWrittenEventAndLeavesNothingBehind)
{
    TemporaryHome home;
    const unsigned seed = std::random_device()();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 random(seed);
    constexpr int Rounds = 5;
    QList<int> written; // per round, the most the child reported written

    for (int round = 0; round < Rounds; ++round) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(ChildModeVariable, "record");
        environment.insert("TALLY_TEST_ROOT", home.analyticsRoot());
        environment.insert("TALLY_TEST_ROUND", QString::number(round));
        environment.insert("TALLY_TEST_SEED", QString::number(random()));
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {});
        ASSERT_TRUE(child.waitForStarted(-1));

        // Kill after a random number of reports; 0 kills right after the
        // start, while the previous round's files are being resumed.
        const int reports = std::uniform_int_distribution(0, 25)(random);
        int most = 0;
        for (int seen = 0; seen <= reports;) {
            if (!child.canReadLine()) {
                ASSERT_TRUE(child.waitForReadyRead(-1)) << "the child ended early";
                continue;
            }
            const QByteArray line = child.readLine().trimmed();
            if (line.startsWith("written "))
                most = line.mid(8).toInt();
            ++seen;
        }
        // A random moment after that report, so that kills land in every
        // step of the chains (writing, compressing, packaging, renaming,
        // deleting), not only right after a burst.
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution(0, 4000)(random)));
        ::kill(pid_t(child.processId()), SIGKILL);
        ASSERT_TRUE(child.waitForFinished(-1));
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
        // Whatever it reported before it died is on disk too.
        for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
            if (line.startsWith("written "))
                most = std::max(most, line.mid(8).toInt());
        }
        written.append(most);
    }

    // The next start resumes every chain and leaves only packages, beside
    // its own log file.
    {
        TLYTallyController next(configurationIn(home.analyticsRoot()));
        next.waitUntilIdle();
    }
    EXPECT_EQ(fileNames(home.analyticsRoot()), QStringList({"crash_metadata", "events"}));
    int logs = 0;
    for (const QString &name : fileNames(home.eventsDirectory())) {
        logs += name.endsWith(".log");
        EXPECT_TRUE(name.endsWith(".multipartmime") || name.endsWith(".log"))
            << "left over: " << name.toStdString();
    }
    EXPECT_EQ(logs, 1);

    QSet<QString> eventIds;
    QList<Tick> ticks = ticksIn(home.eventsDirectory(), &eventIds);
    std::sort(ticks.begin(), ticks.end());
    // Each round's events are a gapless run from 0, none twice, and hold at
    // least every event the child had seen written.
    for (int round = 0; round < Rounds; ++round) {
        int next = 0;
        for (const Tick &tick : ticks) {
            if (tick.round != round)
                continue;
            EXPECT_EQ(tick.n, next) << "round " << round;
            next = tick.n + 1;
        }
        EXPECT_GE(next, written[round]) << "round " << round;
    }
}

namespace {

// Runs the quitting child in this home; false when it did not end well.
bool runQuittingChild(const QProcessEnvironment &extra = {})
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DO_NOT_TRACK");
    environment.insert(extra);
    environment.insert(ChildModeVariable, "quit");
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {});
    return child.waitForFinished(-1) && child.exitStatus() == QProcess::NormalExit &&
           child.exitCode() == 0;
}

} // namespace

TEST(TLYCrashRecoveryTest, QuittingWaitsForRecordedEventsToBeWritten)
{
    TemporaryHome home; // the child finds its cache and data folders here
    ASSERT_TRUE(runQuittingChild());
    for (const QString &name : fileNames(home.eventsDirectory()))
        EXPECT_TRUE(name.endsWith(".multipartmime") || name.endsWith(".log")) << name.toStdString();
    QSet<QString> eventIds;
    QList<Tick> ticks = ticksIn(home.eventsDirectory(), &eventIds);
    std::sort(ticks.begin(), ticks.end());
    ASSERT_EQ(ticks.size(), 100);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(ticks[i].n, i);
}

TEST(TLYCrashRecoveryTest, DoNotTrackRecordsNothing)
{
    TemporaryHome home;
    QProcessEnvironment doNotTrack;
    doNotTrack.insert("DO_NOT_TRACK", "1");
    ASSERT_TRUE(runQuittingChild(doNotTrack));
    EXPECT_FALSE(QFileInfo::exists(home.cacheDirectory() + "/com.tarnwell.data"));
}
