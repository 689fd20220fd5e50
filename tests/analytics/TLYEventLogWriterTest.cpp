#include "AnalyticsTestSupport.h"
#include "ReferenceService.h"
#include "ScaledBackoffClock.h"
#include "TestWaiting.h"

#include "analytics/TLYCrashEvent.h"
#include "analytics/TLYEventLogFiles.h"
#include "analytics/TLYEventLogWriter.h"
#include "analytics/TLYLifecycleEvent.h"
#include "analytics/TLYNetworkRetryHandler.h"
#include "analytics/TLYPackageUploads.h"
#include "analytics/Tally.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <thread>

namespace {

class TLYEventLogWriterTest : public testing::Test
{
protected:
    void TearDown() override { Tally::sharedInstance().setTallyController(nullptr); }

    std::shared_ptr<TLYEventLogWriter> start(TLYEventLogWriter::Limits limits = {},
                                             TLYMetadata::Fields fields = testMetadataFields())
    {
        // Packages go nowhere but to a local service, even if a test gives
        // the writer settings.
        auto writer = std::make_shared<TLYEventLogWriter>(
            home.analyticsRoot(), std::make_shared<const TLYMetadata>(fields), limits,
            TLYEventLogWriter::Uploading{
                "5f0b8e2c41d7a96e3b1c08f4d2a7e95c6b3f1d80",
                std::make_shared<TLYNetworkRetryHandler>(std::nullopt, clock)});
        Tally::sharedInstance().setTallyController(writer);
        return writer;
    }
    bool waitForNoPackages() const
    {
        return waitUntil([this] { return files("*.multipartmime").isEmpty(); });
    }

    QStringList files(const QString &pattern) const
    {
        return QDir(home.eventsDirectory()).entryList({pattern}, QDir::Files, QDir::Name);
    }
    QByteArray eventFile(const QString &name) const
    {
        return readFile(QDir(home.eventsDirectory()).filePath(name));
    }
    // The log text inside each package.
    QList<QByteArray> packagedLogs() const
    {
        QList<QByteArray> logs;
        for (const QString &name : files("*.multipartmime")) {
            const auto body =
                parseMultipart(eventFile(name), QFileInfo(name).completeBaseName().toUtf8());
            EXPECT_TRUE(body && body->parts.size() == 1);
            if (body && body->parts.size() == 1)
                logs.append(gunzip(body->parts.first().content).value_or("not gzip"));
        }
        return logs;
    }

    TemporaryHome home;
    std::shared_ptr<ScaledBackoffClock> clock = std::make_shared<ScaledBackoffClock>();
};

// The log text in an uploaded package.
QByteArray uploadedLog(const ReferenceService::Request &upload)
{
    const QByteArray contentType = upload.header("Content-Type");
    const auto body =
        parseMultipart(upload.body, contentType.mid(contentType.indexOf("boundary=") + 9));
    EXPECT_TRUE(body && body->parts.size() == 1);
    if (!body || body->parts.size() != 1)
        return {};
    EXPECT_EQ(body->parts.first().headers.value("content-type"),
              "application/vnd.tarnwell.mac.events");
    return gunzip(body->parts.first().content).value_or("not gzip");
}

QVariantMap settingsOf(const ReferenceService &service)
{
    return service.defaultSettings().toVariantMap();
}

using Endpoint = ReferenceService::Endpoint;
using Answer = ReferenceService::Answer;

QJsonObject json(const QByteArray &payload)
{
    return QJsonDocument::fromJson(payload).object();
}

} // namespace

TEST_F(TLYEventLogWriterTest, EventsRecordedThroughTallyAreExactLinesOfAFreshLogFile)
{
    const auto writer = start();
    Tally::logCustomEventWithName("Open About Window");
    Tally::logCustomEventWithName("Größe", {{"n", 1}});
    writer->waitUntilIdle();

    const QStringList logs = files("*.log");
    ASSERT_EQ(logs.size(), 1);
    EXPECT_EQ(QDir(home.eventsDirectory()).entryList(QDir::Files).size(), 1);
    const QList<LogLine> lines = parseLogLines(eventFile(logs.first()));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0].name, "metadata");
    EXPECT_EQ(lines[0].milliseconds, lines[1].milliseconds);
    EXPECT_EQ(lines[0].payload, testMetadataJson(lines[1].milliseconds / 1000));
    EXPECT_EQ(lines[1].name, "custom");
    EXPECT_TRUE(
        QRegularExpression(R"(^\{"custom_attributes":\{\},"custom_type":"Open About )"
                           R"(Window","eventId":"[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}"\}$)")
            .match(QString::fromUtf8(lines[1].payload))
            .hasMatch())
        << lines[1].payload.toStdString();
    // Three two-byte letters: the byte count is three more than the characters.
    EXPECT_TRUE(
        lines[2].payload.startsWith(R"({"custom_attributes":{"n":1},"custom_type":"Größe",)"));
    EXPECT_EQ(lines[2].byteCount, QString::fromUtf8(lines[2].payload).size() + 2);
    EXPECT_TRUE(
        QFile::exists(TLYEventLogFiles::crashMetadataPathForRootDirectory(home.analyticsRoot())));
}

TEST_F(TLYEventLogWriterTest, ALogPastTheSizeLimitIsRotatedRightAfterTheNextEvent)
{
    const auto writer = start({100, 100});
    Tally::logCustomEventWithName("first");  // the file passes 100 bytes
    Tally::logCustomEventWithName("second"); // still goes in, then the file is rotated
    Tally::logCustomEventWithName("third");  // starts a new file
    writer->waitUntilIdle();

    const QList<QByteArray> packaged = packagedLogs();
    ASSERT_EQ(packaged.size(), 1);
    const QList<LogLine> rotated = parseLogLines(packaged.first());
    ASSERT_EQ(rotated.size(), 3);
    EXPECT_EQ(json(rotated[2].payload)["custom_type"], "second");
    const QStringList logs = files("*.log");
    ASSERT_EQ(logs.size(), 1);
    const QList<LogLine> current = parseLogLines(eventFile(logs.first()));
    ASSERT_EQ(current.size(), 2);
    EXPECT_EQ(current[0].name, "metadata");
    EXPECT_EQ(json(current[1].payload)["custom_type"], "third");
}

TEST_F(TLYEventLogWriterTest, ABurstFromManyThreadsKeepsEachFileNearTheLimit)
{
    const qint64 limit = 1000;
    const auto writer = start({limit, 1000});
    constexpr int Threads = 4;
    constexpr int PerThread = 50;
    std::vector<std::thread> recorders;
    for (int t = 0; t < Threads; ++t) {
        recorders.emplace_back([t] {
            for (int i = 0; i < PerThread; ++i)
                Tally::logCustomEventWithName("burst", {{"n", t * PerThread + i}});
        });
    }
    for (std::thread &recorder : recorders)
        recorder.join();
    writer->waitUntilIdle();

    QList<QByteArray> logs = packagedLogs();
    for (const QString &name : files("*.log"))
        logs.append(eventFile(name));
    QSet<int> seen;
    for (const QByteArray &log : logs) {
        const QList<LogLine> lines = parseLogLines(log);
        ASSERT_GE(lines.size(), 2);
        // Rotated once past the limit: at most two lines beyond it.
        const qsizetype lastTwo = lines[lines.size() - 1].payload.size() +
                                  lines[lines.size() - 2].payload.size() + 2 * 40;
        EXPECT_LE(log.size(), limit + lastTwo);
        for (const LogLine &line : lines.mid(1)) {
            const int n = json(line.payload)["custom_attributes"].toObject()["n"].toInt();
            EXPECT_FALSE(seen.contains(n)) << n;
            seen.insert(n);
        }
    }
    EXPECT_EQ(seen.size(), Threads * PerThread);
    EXPECT_GE(logs.size(), 5);
}

TEST_F(TLYEventLogWriterTest, ActivityChangesAndInstallsAreSentAtOnce)
{
    const auto writer = start();
    writer->logEvent(TLYLifecycleEvent::appLaunchedEvent());
    writer->waitUntilIdle();
    EXPECT_TRUE(files("*.multipartmime").isEmpty());
    writer->logEvent(std::make_shared<TLYLifecycleEvent>("app_became_active"));
    writer->waitUntilIdle();
    ASSERT_EQ(files("*.multipartmime").size(), 1);
    EXPECT_TRUE(files("*.log").isEmpty());
    const QList<LogLine> lines = parseLogLines(packagedLogs().first());
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[1].name, "app_launched");
    EXPECT_EQ(lines[2].name, "app_became_active");
}

TEST_F(TLYEventLogWriterTest, APreviousCrashTravelsAloneWithThatExecutionsMetadata)
{
    TLYMetadata::Fields crashed = testMetadataFields();
    crashed.executionIdentifier = "crashed";
    {
        const auto writer = start({}, crashed);
        Tally::logCustomEventWithName("before the crash");
        Tally::sharedInstance().setTallyController(nullptr);
    }                                    // the writer is gone, its work done
    EXPECT_EQ(files("*.log").size(), 1); // left for the next start

    TLYMetadata::Fields next = testMetadataFields();
    next.executionIdentifier = "next";
    const auto writer = start({}, next);
    Tally::logCustomEventWithName("after the restart");
    const QDateTime crashTime = QDateTime::fromMSecsSinceEpoch(1700000000123, Qt::UTC);
    Tally::logPreviousSessionCrashedOnDate(crashTime);
    writer->waitUntilIdle();

    EXPECT_TRUE(files("*.log").isEmpty());
    QMap<QString, QList<LogLine>> byFirstEvent;
    for (const QByteArray &log : packagedLogs()) {
        const QList<LogLine> lines = parseLogLines(log);
        ASSERT_EQ(lines.size(), 2);
        byFirstEvent.insert(lines[1].name == "custom"
                                ? json(lines[1].payload)["custom_type"].toString()
                                : lines[1].name,
                            lines);
    }
    ASSERT_EQ(byFirstEvent.keys(),
              QStringList({"after the restart", "app_crashed", "before the crash"}));
    EXPECT_EQ(json(byFirstEvent["before the crash"][0].payload)["session_id"], "crashed");
    EXPECT_EQ(json(byFirstEvent["after the restart"][0].payload)["session_id"], "next");
    const QList<LogLine> crash = byFirstEvent["app_crashed"];
    // The crashed execution's own record, with its own start time.
    const QJsonObject crashMetadata = json(crash[0].payload);
    EXPECT_EQ(crashMetadata["session_id"], "crashed");
    EXPECT_LE(crashMetadata["started_at"].toInteger(), QDateTime::currentSecsSinceEpoch());
    EXPECT_EQ(crash[1].milliseconds, 1700000000123u);
    EXPECT_EQ(json(crash[1].payload)["crash_state"], "unknown");
}

TEST_F(TLYEventLogWriterTest, PackagesWaitForSettingsThenReachTheirEventsEndpoint)
{
    ReferenceService service;
    const auto writer = start({100, 100});
    Tally::logCustomEventWithName("First");
    Tally::logCustomEventWithName("Second");
    writer->waitUntilIdle();
    ASSERT_EQ(files("*.multipartmime").size(), 1);
    EXPECT_TRUE(service.requests().isEmpty());

    writer->initializeSettingsIfNeededWithOrrerySettings(settingsOf(service));
    ASSERT_TRUE(waitForNoPackages());
    ASSERT_TRUE(service.waitForRequests(Endpoint::Events, 1));
    const QList<LogLine> first = parseLogLines(uploadedLog(service.requests().first()));
    ASSERT_EQ(first.size(), 3);
    EXPECT_EQ(first[1].name, "custom");
    EXPECT_TRUE(first[1].payload.contains("First"));
    EXPECT_TRUE(first[2].payload.contains("Second"));

    // Later packages go at once; later settings change nothing.
    ReferenceService elsewhere;
    writer->initializeSettingsIfNeededWithOrrerySettings(settingsOf(elsewhere));
    Tally::logCustomEventWithName("Third");
    Tally::logCustomEventWithName("Fourth");
    ASSERT_TRUE(service.waitForRequests(Endpoint::Events, 2));
    ASSERT_TRUE(waitForNoPackages());
    EXPECT_TRUE(uploadedLog(service.requests()[1]).contains("Fourth"));
    EXPECT_TRUE(elsewhere.requests().isEmpty());
    EXPECT_EQ(service.requests().size(), 2);
}

TEST_F(TLYEventLogWriterTest, PackagesOfAnEarlierRunAreSentOnceAndFailuresAreRetried)
{
    ReferenceService service;
    {
        const auto writer = start({100, 100});
        Tally::logCustomEventWithName("Before the restart");
        Tally::logCustomEventWithName("Also before");
        writer->waitUntilIdle();
        Tally::sharedInstance().setTallyController(nullptr);
    }
    ASSERT_EQ(files("*.multipartmime").size(), 1);

    service.script(Endpoint::Events, {Answer::withStatus(503), Answer::withStatus(503)});
    const auto writer = start({100, 100});
    writer->initializeSettingsIfNeededWithOrrerySettings(settingsOf(service));
    ASSERT_TRUE(waitForNoPackages());
    writer->waitUntilIdle();
    ASSERT_EQ(service.requests().size(), 3);
    EXPECT_TRUE(uploadedLog(service.requests()[2]).contains("Before the restart"));
    ASSERT_EQ(clock->delays().size(), 2);
}

TEST_F(TLYEventLogWriterTest, SettingsThatSwitchAnalyticsOffSendNothing)
{
    ReferenceService service;
    const auto writer = start({100, 100});
    QVariantMap settings = settingsOf(service);
    settings["features"] = QVariantMap{{"collect_analytics", false}};
    writer->initializeSettingsIfNeededWithOrrerySettings(settings);
    writer->initializeSettingsIfNeededWithOrrerySettings(settingsOf(service));
    Tally::logCustomEventWithName("First");
    Tally::logCustomEventWithName("Second");
    writer->waitUntilIdle();
    EXPECT_EQ(files("*.multipartmime").size(), 1);
    EXPECT_TRUE(service.requests().isEmpty());
}
