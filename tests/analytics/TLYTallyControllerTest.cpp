#include "AnalyticsTestSupport.h"
#include "EmberlineRecorder.h"
#include "ReferenceService.h"
#include "ScaledBackoffClock.h"
#include "TestWaiting.h"

#include "analytics/TLYCrashEvent.h"
#include "analytics/TLYEventFilter.h"
#include "analytics/TLYEventLogFiles.h"
#include "analytics/TLYLifecycleEvent.h"
#include "analytics/TLYNetworkRetryHandler.h"
#include "analytics/TLYPackageUploads.h"
#include "analytics/TLYTallyController.h"
#include "analytics/Tally.h"

#include "foundation/Log.h"
#include "foundation/OperationQueue.h"
#include "sdk/ORRSettingsOnboardingManager.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <thread>

namespace {

using Endpoint = ReferenceService::Endpoint;
using Answer = ReferenceService::Answer;

QJsonObject json(const QByteArray &payload)
{
    return QJsonDocument::fromJson(payload).object();
}

// "custom:NAME" for a custom event, the event's name for the others.
QStringList eventNames(const QList<LogLine> &lines)
{
    QStringList names;
    for (const LogLine &line : lines.mid(1)) {
        names.append(line.name == "custom"
                         ? "custom:" + json(line.payload)["custom_type"].toString()
                         : line.name);
    }
    return names;
}

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

class TLYTallyControllerTest : public testing::Test
{
protected:
    void TearDown() override { Tally::sharedInstance().setTallyController(nullptr); }

    // A controller as the kit makes it, over this test's home, settings
    // and forwarding target; Tally's recording calls reach it.
    std::shared_ptr<TLYTallyController> start(TLYMetadata::Fields fields = testMetadataFields(),
                                              bool firstInstall = false)
    {
        TLYTallyController::Configuration configuration;
        configuration.rootDirectory = home.analyticsRoot();
        configuration.metadata = std::make_shared<const TLYMetadata>(fields);
        configuration.APIKey = fields.APIKey;
        configuration.isFirstInstall = firstInstall;
        configuration.orrerySettings = [this] {
            std::lock_guard lock(settingsMutex);
            return storedSettings;
        };
        configuration.notificationCenter = &notifications;
        configuration.classRegistry = &registry;
        configuration.networkRetryHandler =
            std::make_shared<TLYNetworkRetryHandler>(std::nullopt, clock);
        auto controller = std::make_shared<TLYTallyController>(configuration);
        Tally::sharedInstance().setTallyController(controller);
        return controller;
    }
    // As the SDK does when a download has been stored.
    void announceSettings(const QVariantMap &settings)
    {
        {
            std::lock_guard lock(settingsMutex);
            storedSettings = settings;
        }
        notifications.post(ORRSettingsOnboardingManager::SettingsAvailableNotification);
    }
    // The service's own settings with these "analytics" values.
    static QVariantMap settingsOf(const ReferenceService &service,
                                  const QVariantMap &analytics = {})
    {
        QVariantMap settings = service.defaultSettings().toVariantMap();
        QVariantMap section = settings.value("analytics").toMap();
        section.insert(analytics);
        settings.insert("analytics", section);
        return settings;
    }

    QStringList files(const QString &pattern) const
    {
        return QDir(home.eventsDirectory()).entryList({pattern}, QDir::Files, QDir::Name);
    }
    QByteArray eventFile(const QString &name) const
    {
        return readFile(QDir(home.eventsDirectory()).filePath(name));
    }
    bool waitForNoPackages() const
    {
        return waitUntil([this] { return files("*.multipartmime").isEmpty(); });
    }
    // The log text inside each package of the events folder.
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
    NotificationCenter notifications;
    ClassRegistry registry;
    std::shared_ptr<ScaledBackoffClock> clock = std::make_shared<ScaledBackoffClock>();
    std::mutex settingsMutex;
    std::optional<QVariantMap> storedSettings;
};

} // namespace

TEST_F(TLYTallyControllerTest, EventsRecordedThroughTallyAreExactLinesOfAFreshLogFile)
{
    const auto controller = start();
    Tally::logCustomEventWithName("Open About Window");
    Tally::logCustomEventWithName("Größe", {{"n", 1}});
    controller->waitUntilIdle();

    const QStringList logs = files("*.log");
    ASSERT_EQ(logs.size(), 1);
    EXPECT_EQ(QDir(home.eventsDirectory()).entryList(QDir::Files).size(), 1);
    const QList<LogLine> lines = parseLogLines(eventFile(logs.first()));
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0].name, "metadata");
    EXPECT_EQ(lines[0].milliseconds, lines[1].milliseconds);
    EXPECT_EQ(lines[0].payload, testMetadataJson(lines[1].milliseconds / 1000));
    EXPECT_EQ(lines[1].name, "app_launched");
    EXPECT_EQ(lines[2].name, "custom");
    EXPECT_TRUE(
        QRegularExpression(R"(^\{"custom_attributes":\{\},"custom_type":"Open About )"
                           R"(Window","eventId":"[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}"\}$)")
            .match(QString::fromUtf8(lines[2].payload))
            .hasMatch())
        << lines[2].payload.toStdString();
    // Three two-byte letters: the byte count is three more than the characters.
    EXPECT_TRUE(
        lines[3].payload.startsWith(R"({"custom_attributes":{"n":1},"custom_type":"Größe",)"));
    EXPECT_EQ(lines[3].byteCount, QString::fromUtf8(lines[3].payload).size() + 2);
    EXPECT_TRUE(
        QFile::exists(TLYEventLogFiles::crashMetadataPathForRootDirectory(home.analyticsRoot())));
}

TEST_F(TLYTallyControllerTest, InstallAndActivityChangesAreSentAtOnceLaunchAndQuitAreNot)
{
    const auto controller = start(testMetadataFields(), true);
    controller->waitUntilIdle();
    // The install went off in a package of its own; the launch waits.
    ASSERT_EQ(packagedLogs().size(), 1);
    EXPECT_EQ(eventNames(parseLogLines(packagedLogs().first())), QStringList{"app_installed"});
    ASSERT_EQ(files("*.log").size(), 1);
    EXPECT_EQ(eventNames(parseLogLines(eventFile(files("*.log").first()))),
              QStringList{"app_launched"});

    for (const QString &notification : {TLYLifecycleEvent::WillResignActiveNotification,
                                        TLYLifecycleEvent::DidBecomeActiveNotification,
                                        TLYLifecycleEvent::WillTerminateNotification}) {
        controller->applicationLifecycleEvent(Notification{notification, nullptr, {}});
    }
    controller->waitUntilIdle();
    QList<QStringList> packaged;
    for (const QByteArray &log : packagedLogs())
        packaged.append(eventNames(parseLogLines(log)));
    std::sort(packaged.begin(), packaged.end());
    EXPECT_EQ(packaged, (QList<QStringList>{{"app_became_active"},
                                            {"app_installed"},
                                            {"app_launched", "app_became_inactive"}}));
    ASSERT_EQ(files("*.log").size(), 1);
    EXPECT_EQ(eventNames(parseLogLines(eventFile(files("*.log").first()))),
              QStringList{"app_terminated"});
}

TEST_F(TLYTallyControllerTest, ALogPastTheSizeLimitIsRotatedRightAfterTheNextEvent)
{
    ReferenceService service;
    storedSettings = settingsOf(service, {{"max_byte_size_per_file", 100}});
    const auto controller = start();
    // The launch event takes the file past 100 bytes.
    Tally::logCustomEventWithName("first");  // still goes in, then the file is rotated
    Tally::logCustomEventWithName("second"); // starts a new file
    controller->waitUntilIdle();

    ASSERT_TRUE(service.waitForRequests(Endpoint::Events, 1));
    ASSERT_TRUE(waitForNoPackages());
    EXPECT_EQ(eventNames(parseLogLines(uploadedLog(service.requests(Endpoint::Events).first()))),
              QStringList({"app_launched", "custom:first"}));
    const QStringList logs = files("*.log");
    ASSERT_EQ(logs.size(), 1);
    const QList<LogLine> current = parseLogLines(eventFile(logs.first()));
    ASSERT_EQ(current.size(), 2);
    EXPECT_EQ(current[0].name, "metadata");
    EXPECT_EQ(eventNames(current), QStringList{"custom:second"});
}

TEST_F(TLYTallyControllerTest, ABurstFromManyThreadsKeepsEachFileNearTheLimit)
{
    ReferenceService service;
    const qint64 limit = 1000;
    storedSettings = settingsOf(service, {{"max_byte_size_per_file", limit}});
    const auto controller = start();
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
    controller->waitUntilIdle();
    ASSERT_TRUE(waitForNoPackages());
    controller->waitUntilIdle();

    QList<QByteArray> logs;
    for (const ReferenceService::Request &upload : service.requests(Endpoint::Events))
        logs.append(uploadedLog(upload));
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
            if (line.name != "custom")
                continue;
            const int n = json(line.payload)["custom_attributes"].toObject()["n"].toInt();
            EXPECT_FALSE(seen.contains(n)) << n;
            seen.insert(n);
        }
    }
    EXPECT_EQ(seen.size(), Threads * PerThread);
    EXPECT_GE(logs.size(), 5);
}

TEST_F(TLYTallyControllerTest, APreviousCrashTravelsAloneWithThatExecutionsMetadata)
{
    TLYMetadata::Fields crashed = testMetadataFields();
    crashed.executionIdentifier = "crashed";
    {
        start(crashed);
        Tally::logCustomEventWithName("before the crash");
        Tally::sharedInstance().setTallyController(nullptr);
    }                                    // the controller is gone, its work done
    EXPECT_EQ(files("*.log").size(), 1); // left for the next start

    TLYMetadata::Fields next = testMetadataFields();
    next.executionIdentifier = "next";
    const auto controller = start(next);
    Tally::logCustomEventWithName("after the restart");
    const QDateTime crashTime = QDateTime::fromMSecsSinceEpoch(1700000000123, Qt::UTC);
    Tally::logPreviousSessionCrashedOnDate(crashTime);
    controller->waitUntilIdle();

    EXPECT_TRUE(files("*.log").isEmpty());
    QMap<QString, QList<LogLine>> byLastEvent;
    for (const QByteArray &log : packagedLogs()) {
        const QList<LogLine> lines = parseLogLines(log);
        byLastEvent.insert(eventNames(lines).last(), lines);
    }
    ASSERT_EQ(byLastEvent.keys(),
              QStringList({"app_crashed", "custom:after the restart", "custom:before the crash"}));
    const QList<LogLine> before = byLastEvent["custom:before the crash"];
    EXPECT_EQ(json(before[0].payload)["session_id"], "crashed");
    EXPECT_EQ(eventNames(before), QStringList({"app_launched", "custom:before the crash"}));
    EXPECT_EQ(json(byLastEvent["custom:after the restart"][0].payload)["session_id"], "next");
    const QList<LogLine> crash = byLastEvent["app_crashed"];
    ASSERT_EQ(crash.size(), 2);
    // The crashed execution's own record, with its own start time.
    const QJsonObject crashMetadata = json(crash[0].payload);
    EXPECT_EQ(crashMetadata["session_id"], "crashed");
    EXPECT_LE(crashMetadata["started_at"].toInteger(), QDateTime::currentSecsSinceEpoch());
    EXPECT_EQ(crash[1].milliseconds, 1700000000123u);
    EXPECT_EQ(json(crash[1].payload)["crash_state"], "unknown");
}

TEST_F(TLYTallyControllerTest, PackagesWaitForSettingsThenReachTheirEventsEndpointOnce)
{
    ReferenceService service;
    const auto controller = start();
    controller->applicationLifecycleEvent(
        Notification{TLYLifecycleEvent::DidBecomeActiveNotification, nullptr, {}});
    Tally::logCustomEventWithName("First");
    controller->waitUntilIdle();
    ASSERT_EQ(files("*.multipartmime").size(), 1);
    EXPECT_TRUE(service.requests().isEmpty());
    EXPECT_FALSE(controller->settings().valid());

    announceSettings(
        settingsOf(service, {{"upload_timeout_secs", 100}, {"low_power_upload_timeout_secs", 50}}));
    ASSERT_TRUE(service.waitForRequests(Endpoint::Events, 1));
    ASSERT_TRUE(waitForNoPackages());
    EXPECT_TRUE(controller->settings().valid());
    EXPECT_EQ(eventNames(parseLogLines(uploadedLog(service.requests().first()))),
              QStringList({"app_launched", "app_became_active"}));
    EXPECT_EQ(service.requests().first().header("X-TARNWELL-API-KEY"),
              "5f0b8e2c41d7a96e3b1c08f4d2a7e95c6b3f1d80");
    EXPECT_EQ(controller->uploads()->uploader()->defaultUploadTimeout(), 100);
    EXPECT_EQ(controller->uploads()->uploader()->lowPowerUploadTimeout(), 50);

    // Later packages go at once; later settings change nothing.
    ReferenceService elsewhere;
    announceSettings(settingsOf(elsewhere));
    controller->applicationLifecycleEvent(
        Notification{TLYLifecycleEvent::WillResignActiveNotification, nullptr, {}});
    ASSERT_TRUE(service.waitForRequests(Endpoint::Events, 2));
    ASSERT_TRUE(waitForNoPackages());
    EXPECT_EQ(eventNames(parseLogLines(uploadedLog(service.requests()[1]))),
              QStringList({"custom:First", "app_became_inactive"}));
    EXPECT_TRUE(elsewhere.requests().isEmpty());
    EXPECT_EQ(service.requests().size(), 2);
}

TEST_F(TLYTallyControllerTest, PackagesOfAnEarlierRunAreSentOnceAndFailuresAreRetried)
{
    ReferenceService service;
    {
        const auto controller = start(testMetadataFields(), true);
        Tally::logCustomEventWithName("Before the restart");
        controller->waitUntilIdle();
        Tally::sharedInstance().setTallyController(nullptr);
    }
    // The install's package, and the log of the rest.
    ASSERT_EQ(files("*.multipartmime").size(), 1);
    ASSERT_EQ(files("*.log").size(), 1);

    service.script(Endpoint::Events, {Answer::withStatus(503), Answer::withStatus(503)});
    storedSettings = settingsOf(service);
    const auto controller = start();
    ASSERT_TRUE(service.waitForRequests(Endpoint::Events, 4));
    ASSERT_TRUE(waitForNoPackages());
    controller->waitUntilIdle();
    EXPECT_TRUE(files("*.gz").isEmpty());
    EXPECT_EQ(files("*.log").size(), 1); // this run's
    const QList<ReferenceService::Request> uploads = service.requests(Endpoint::Events);
    ASSERT_EQ(uploads.size(), 4);
    QMultiMap<QStringList, QByteArray> sent;
    for (const ReferenceService::Request &upload : uploads)
        sent.insert(eventNames(parseLogLines(uploadedLog(upload))), upload.body);
    EXPECT_EQ(
        QSet<QStringList>(sent.keyBegin(), sent.keyEnd()),
        (QSet<QStringList>{{"app_installed"}, {"app_launched", "custom:Before the restart"}}));
    EXPECT_EQ(clock->delays().size(), 2);
}

TEST_F(TLYTallyControllerTest, SettingsThatSwitchAnalyticsOffDeleteEverythingAndRecordNothing)
{
    ReferenceService service;
    const auto controller = start(testMetadataFields(), true);
    Tally::logCustomEventWithName("First");
    controller->waitUntilIdle();
    EXPECT_FALSE(QDir(home.eventsDirectory()).isEmpty());

    QVariantMap settings = settingsOf(service);
    settings["features"] = QVariantMap{{"collect_analytics", false}};
    announceSettings(settings);
    announceSettings(settingsOf(service)); // ignored: settings apply once
    controller->waitUntilIdle();
    EXPECT_EQ(fileNames(home.analyticsRoot()), QStringList{"events"});
    EXPECT_EQ(fileNames(home.eventsDirectory()), QStringList());

    Tally::logCustomEventWithName("Second");
    controller->applicationLifecycleEvent(
        Notification{TLYLifecycleEvent::DidBecomeActiveNotification, nullptr, {}});
    Tally::logPreviousSessionCrashedOnDate(QDateTime::currentDateTimeUtc());
    controller->waitUntilIdle();
    EXPECT_EQ(fileNames(home.eventsDirectory()), QStringList());
    EXPECT_TRUE(service.requests().isEmpty());
}

TEST_F(TLYTallyControllerTest, StoredSettingsThatSwitchAnalyticsOffKeepTheLaunchUnrecorded)
{
    ReferenceService service;
    QVariantMap settings = settingsOf(service);
    settings["features"] = QVariantMap{{"collect_analytics", false}};
    storedSettings = settings;
    const auto controller = start(testMetadataFields(), true);
    Tally::logCustomEventWithName("First");
    controller->waitUntilIdle();
    EXPECT_EQ(fileNames(home.eventsDirectory()), QStringList());
    EXPECT_TRUE(service.requests().isEmpty());
}

TEST_F(TLYTallyControllerTest, SamplingSkipsLifecycleEventsButNotCustomOnes)
{
    // A factor that this installation's identifier is not a multiple of.
    const qint64 hash = TLYEventFilter::javaHashCodeForString(testMetadataFields().installationId);
    qint64 factor = 2;
    while (hash % factor == 0)
        ++factor;
    ReferenceService service;
    QVariantMap settings = settingsOf(service, {{"sampling_rate", factor}});
    storedSettings = settings;
    {
        DebugLogging debug;
        LogCapture log;
        const auto controller = start();
        Tally::logCustomEventWithName("Kept");
        Tally::logSearchWithQuery("kept too");
        controller->applicationLifecycleEvent(
            Notification{TLYLifecycleEvent::WillTerminateNotification, nullptr, {}});
        Tally::logPreviousSessionCrashedOnDate(QDateTime::currentDateTimeUtc());
        controller->waitUntilIdle();
        Tally::sharedInstance().setTallyController(nullptr);

        ASSERT_EQ(files("*.log").size(), 1);
        const QList<LogLine> lines = parseLogLines(eventFile(files("*.log").first()));
        EXPECT_EQ(eventNames(lines), QStringList({"custom:Kept", "predefined"}));
        EXPECT_TRUE(files("*.multipartmime").isEmpty());
        int skipped = 0;
        for (const QString &line : log.lines())
            skipped += line.startsWith("[Tally] Application is enabled for sampling, skipping");
        EXPECT_EQ(skipped, 3);
        QFile::remove(QDir(home.eventsDirectory()).filePath(files("*.log").first()));
    }

    // A tester's installation keeps everything.
    TLYMetadata::Fields tester = testMetadataFields();
    tester.betaToken = "tester";
    const auto controller = start(tester);
    controller->waitUntilIdle();
    ASSERT_EQ(files("*.log").size(), 1);
    EXPECT_EQ(eventNames(parseLogLines(eventFile(files("*.log").first()))),
              QStringList{"app_launched"});
}

TEST_F(TLYTallyControllerTest, EventsAreForwardedToEmberlineWhenTheSettingsAskForIt)
{
    const auto emberline = std::make_shared<EmberlineRecorder>();
    registry.registerClass(emberline);
    ReferenceService service;
    const auto controller = start();
    Tally::logCustomEventWithName("Before the settings");
    controller->waitUntilIdle();
    announceSettings(settingsOf(service, {{"forward_to_ember_analytics", true}}));
    Tally::logCustomEventWithName("");
    Tally::logCustomEventWithName("Open About Window", {{"from", "menu"}});
    Tally::logPurchaseWithPrice(TLYDecimal::fromString(u"9.99"), "EUR", true, "Pro", {}, {});
    Tally::logSearchWithQuery("stars");
    Tally::logPreviousSessionCrashedOnDate(QDateTime::currentDateTimeUtc());
    controller->applicationLifecycleEvent(
        Notification{TLYLifecycleEvent::WillTerminateNotification, nullptr, {}});
    controller->waitUntilIdle();

    // Purchases only when those are asked for too; nothing that is no
    // custom or predefined event.
    EXPECT_EQ(emberline->calls(),
              (QList<EmberlineRecorder::Call>{{"orr", "orrery_unnamed_event", {}},
                                              {"orr", "Open_About_Window", {{"from", "menu"}}},
                                              {"orr", "search", {{"search_term", "stars"}}}}));
    // Each is also written, the nameless one under its empty name.
    QStringList written;
    for (const QString &name : files("*.log"))
        written += eventNames(parseLogLines(eventFile(name)));
    for (const QByteArray &log : packagedLogs())
        written += eventNames(parseLogLines(log));
    EXPECT_TRUE(written.contains("custom:"));
    EXPECT_EQ(written.count("predefined"), 2);
}

TEST_F(TLYTallyControllerTest, PurchasesAreForwardedWhenTheSettingsIncludeThem)
{
    const auto emberline = std::make_shared<EmberlineRecorder>();
    registry.registerClass(emberline);
    ReferenceService service;
    storedSettings = settingsOf(service, {{"forward_to_ember_analytics", true},
                                          {"include_purchase_events_in_forwarded_events", true}});
    const auto controller = start();
    Tally::logPurchaseWithPrice(TLYDecimal::fromString(u"9.99"), "EUR", false, "Pro", {}, {});
    controller->waitUntilIdle();
    EXPECT_EQ(emberline->calls(),
              (QList<EmberlineRecorder::Call>{{"orr", "failed_ecommerce_purchase", {}}}));
}

TEST_F(TLYTallyControllerTest, ThePeriodicFlushRotatesOnlyAFullLog)
{
    ReferenceService service;
    // A timer that will not fire during the test; its firing is called.
    storedSettings =
        settingsOf(service, {{"max_byte_size_per_file", 1500}, {"flush_interval_secs", 3600}});
    const auto controller = start();
    Tally::logCustomEventWithName("Small");
    controller->waitUntilIdle();
    const auto fire = [&] {
        controller->eventQueue().addOperationWithBlock([&] { controller->flushTimerFired(); });
        controller->waitUntilIdle();
    };
    fire();
    EXPECT_EQ(files("*.log").size(), 1);
    EXPECT_TRUE(service.requests(Endpoint::Events).isEmpty());

    QVariantMap padding;
    for (int n = 0; n < 15; ++n)
        padding.insert(QStringLiteral("padding %1").arg(n), QString(100, 'x'));
    Tally::logCustomEventWithName("Large", padding);
    controller->waitUntilIdle();
    fire();
    ASSERT_TRUE(service.waitForRequests(Endpoint::Events, 1));
    EXPECT_EQ(eventNames(parseLogLines(uploadedLog(service.requests(Endpoint::Events).first()))),
              QStringList({"app_launched", "custom:Small", "custom:Large"}));

    // Called from elsewhere, the flush says so in the debug log.
    DebugLogging debug;
    LogCapture log;
    controller->flushTimerFired();
    EXPECT_TRUE(log.lines().value(0).startsWith(
        "[Tally] queuing bug in -[TLYTallyController flushTimerFired]: io.tally.EventQueue != "))
        << log.lines().join('\n').toStdString();
}

TEST_F(TLYTallyControllerTest, TheFlushTimerRotatesAFullLogByItself)
{
    ReferenceService service;
    storedSettings =
        settingsOf(service, {{"max_byte_size_per_file", 10}, {"flush_interval_secs", 0.05}});
    const auto controller = start();
    // The launch event filled the file; no further event comes.
    ASSERT_TRUE(service.waitForRequests(Endpoint::Events, 1));
    EXPECT_EQ(eventNames(parseLogLines(uploadedLog(service.requests(Endpoint::Events).first()))),
              QStringList{"app_launched"});
}

TEST_F(TLYTallyControllerTest, AStoppedControllerRecordsAndSendsNothingMore)
{
    ReferenceService service;
    // Every upload waits in the service until the controller has stopped.
    service.setStandingAnswer(Endpoint::Events,
                              Answer{202, {}, {}, std::chrono::milliseconds(2000)});
    storedSettings = settingsOf(service);
    const auto controller = start(testMetadataFields(), true);
    ASSERT_TRUE(service.waitForRequests(Endpoint::Events, 1));
    controller->stop();
    const QStringList left = fileNames(home.eventsDirectory());

    Tally::logCustomEventWithName("Not recorded");
    controller->logEvent(std::make_shared<TLYLifecycleEvent>("app_became_active"));
    announceSettings(settingsOf(service));
    controller->waitUntilIdle();
    EXPECT_EQ(fileNames(home.eventsDirectory()), left);
    EXPECT_EQ(Tally::sharedInstance().tallyController(), controller);
    EXPECT_EQ(service.requests(Endpoint::Events).size(), 1);
}
