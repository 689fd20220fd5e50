// The analytics pipeline end to end: the application, driven as a user
// drives it (or the installed program itself), on Qt's offscreen display,
// against the reference service program recording what it receives.

#include "AnalyticsTestSupport.h"
#include "ApplicationDriver.h"

#include "analytics/TLYEventFilter.h"
#include "analytics/TLYEventLogFiles.h"
#include "foundation/PropertyList.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>

namespace {

const QString BundleIdentifier = QStringLiteral("com.ferrowby.Quillmoor");
const QByteArray APIKey = "5f0b8e2c41d7a96e3b1c08f4d2a7e95c6b3f1d80";

QString drawing()
{
    return QStringLiteral(QUILLMOOR_CORPUS_DIR "/x7_dblab_test.cdr");
}

QStringList entriesUnder(const QString &path)
{
    QStringList found;
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found.append(QDir(path).relativeFilePath(it.next()));
    found.sort();
    return found;
}

// One user: settings, data, caches, temporary and runtime folders of their
// own.
class Home
{
public:
    Home()
    {
        for (const QString &folder : {config(), data(), cache(), temporary(), runtime()})
            QDir().mkpath(folder);
        QFile(runtime()).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QString config() const { return m_home.filePath("config"); }
    QString data() const { return m_home.filePath("data"); }
    QString cache() const { return m_home.filePath("cache"); }
    QString temporary() const { return m_home.filePath("tmp"); }
    QString runtime() const { return m_home.filePath("runtime"); }
    QString analyticsRoot() const
    {
        return TLYEventLogFiles::rootDirectoryForBundleIdentifier(cache(), BundleIdentifier);
    }
    QString eventsDirectory() const
    {
        return TLYEventLogFiles::eventDirectoryForRootDirectory(analyticsRoot());
    }
    QString storeFile() const
    {
        return data() + "/" + BundleIdentifier + "/com.tarnwell/TWLUserDefaults.plist";
    }
    QString settingsFile() const
    {
        return cache() + "/io.orrery.sdk.mac.data/" + BundleIdentifier + "/settings.json";
    }

    // The user's yes to usage statistics, as the tour or the menu stores it.
    void allowUsageStatistics() const
    {
        QSettings settings(config() + "/Quillmoor/Quillmoor.conf", QSettings::IniFormat);
        settings.setValue("sendUsageStatistics", true);
    }
    // What the analytics kit and its SDK keep in this home (other parts of
    // the application, and the libraries, have caches of their own).
    QStringList analyticsFiles() const
    {
        QStringList files;
        for (const QString &folder :
             {cache() + "/com.tarnwell.data", cache() + "/io.orrery.sdk.mac.data",
              data() + "/" + BundleIdentifier}) {
            if (QFileInfo::exists(folder))
                files.append(QDir(m_home.path()).relativeFilePath(folder));
            for (const QString &entry : entriesUnder(folder))
                files.append(QDir(m_home.path()).relativeFilePath(folder + "/" + entry));
        }
        return files;
    }
    // The kit's event files: logs, compressed logs, packages.
    QStringList eventFiles() const { return entriesUnder(eventsDirectory()); }

private:
    QTemporaryDir m_home;
};

// An event found in a log: the execution that recorded it, and its name
// ("custom:NAME" for a custom event).
struct Event
{
    QString session;
    QString name;
    QString identifier;
};

QList<Event> eventsInLog(const QByteArray &log)
{
    QList<Event> events;
    const QList<LogLine> lines = parseLogLines(log);
    if (lines.isEmpty())
        return events;
    EXPECT_EQ(lines.first().name, "metadata");
    const QJsonObject metadata = QJsonDocument::fromJson(lines.first().payload).object();
    for (const LogLine &line : lines.mid(1)) {
        const QJsonObject payload = QJsonDocument::fromJson(line.payload).object();
        events.append(
            {metadata["session_id"].toString(),
             line.name == "custom" ? "custom:" + payload["custom_type"].toString() : line.name,
             payload["eventId"].toString()});
    }
    return events;
}

// The names of an execution's events, in the order found. Whether the
// application became active or inactive depends on the display's focus,
// not on the test; those events are left out.
QStringList namesOf(const QList<Event> &events, const QString &session)
{
    QStringList names;
    for (const Event &event : events) {
        if (event.session == session && event.name != "app_became_active" &&
            event.name != "app_became_inactive")
            names.append(event.name);
    }
    return names;
}

// The reference service program, recording every request into a folder.
class RecordingService
{
public:
    struct Record
    {
        QString endpoint; // from the file name: "settings", "events", ...
        QByteArray requestLine;
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;
    };

    explicit RecordingService(const QStringList &options = {})
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(QUILLMOOR_REFERENCE_SERVICE),
                        QStringList{"--record", directory()} + options);
        EXPECT_TRUE(m_process.waitForStarted(120000));
        while (!m_process.canReadLine() && m_process.waitForReadyRead(120000)) {
        }
        m_base = QString::fromUtf8(m_process.readLine().trimmed());
        EXPECT_TRUE(m_base.startsWith("http://127.0.0.1:")) << m_base.toStdString();
    }
    ~RecordingService()
    {
        m_process.kill();
        m_process.waitForFinished(30000);
    }

    QString base() const { return m_base; }
    QString directory() const { return m_records.path(); }

    QList<Record> records() const
    {
        QList<Record> records;
        const QDir folder(directory());
        for (const QString &name : folder.entryList({"*.http"}, QDir::Files, QDir::Name)) {
            const QByteArray text = readFile(folder.filePath(name));
            const qsizetype end = text.indexOf("\r\n\r\n");
            Record record;
            record.endpoint = name.mid(5).chopped(5);
            const QList<QByteArray> head = text.left(end).split('\n');
            record.requestLine = head.value(0).trimmed();
            for (const QByteArray &line : head.mid(1)) {
                const qsizetype colon = line.indexOf(':');
                record.headers.insert(line.left(colon).trimmed().toLower(),
                                      line.mid(colon + 1).trimmed());
            }
            record.body = text.mid(end + 4);
            records.append(record);
        }
        return records;
    }
    QList<Record> records(const QString &endpoint) const
    {
        QList<Record> found;
        for (const Record &record : records()) {
            if (record.endpoint == endpoint)
                found.append(record);
        }
        return found;
    }
    // Every event of every package uploaded, checking each upload's form
    // on the way. A package whose transfer was under way when its process
    // ended is sent again by the next start, byte for byte the same: it
    // counts once.
    QList<Event> uploadedEvents() const
    {
        QList<Event> events;
        QSet<QByteArray> packages;
        for (const Record &upload : records("events")) {
            EXPECT_TRUE(upload.requestLine.startsWith("POST /spi/v2/events "));
            EXPECT_EQ(upload.headers.value("x-tarnwell-api-key"), APIKey);
            EXPECT_EQ(upload.headers.value("user-agent"), "Tally Mac SDK/1.3.6");
            if (packages.contains(upload.body))
                continue;
            packages.insert(upload.body);
            const QByteArray type = upload.headers.value("content-type");
            const auto body = parseMultipart(upload.body, type.mid(type.indexOf("boundary=") + 9));
            EXPECT_TRUE(body && body->parts.size() == 1);
            if (!body || body->parts.size() != 1)
                continue;
            EXPECT_EQ(body->parts.first().headers.value("content-type"),
                      "application/vnd.tarnwell.mac.events");
            const std::optional<QByteArray> log = gunzip(body->parts.first().content);
            EXPECT_TRUE(log);
            events += eventsInLog(log.value_or(""));
        }
        return events;
    }

private:
    QTemporaryDir m_records;
    QProcess m_process;
    QString m_base;
};

// One run of the application in a home, against a service: driven through
// the test program, or the Quillmoor program itself.
class ApplicationRun
{
public:
    enum Program
    {
        Driven,
        Installed,
    };

    ApplicationRun(const Home &home, const RecordingService &service,
                   const QStringList &drawings = {}, const QProcessEnvironment &extra = {},
                   Program program = Driven)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DO_NOT_TRACK");
        environment.insert("XDG_CONFIG_HOME", home.config());
        environment.insert("XDG_DATA_HOME", home.data());
        environment.insert("XDG_CACHE_HOME", home.cache());
        environment.insert("XDG_RUNTIME_DIR", home.runtime());
        environment.insert("TMPDIR", home.temporary());
        // Windows of their own, off the test's display, so that they never
        // take the keyboard from other tests on it.
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("SettingsEndpoint", service.base());
        environment.insert("ConfigureEndpoint", service.base());
        if (program == Driven)
            environment.insert(DriveVariable, "1");
        environment.insert(extra);
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program == Driven ? QCoreApplication::applicationFilePath()
                                          : QStringLiteral(QUILLMOOR_EXECUTABLE),
                        drawings);
        EXPECT_TRUE(m_process.waitForStarted(60000));
        if (program == Driven) {
            EXPECT_EQ(nextReply(), "launched");
        }
    }
    ~ApplicationRun()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(60000);
        }
    }

    // Sends a command and returns the driver's answer.
    QByteArray ask(const QByteArray &command)
    {
        m_process.write(command + '\n');
        return nextReply();
    }
    // Quits as the user does; succeeds when the application ended well.
    testing::AssertionResult quit()
    {
        m_process.closeWriteChannel();
        return ended();
    }
    // Asks the program to end as the system does at logout.
    testing::AssertionResult terminate()
    {
        if (!sendSignal(SIGTERM))
            return testing::AssertionFailure() << "the program was no longer running";
        return ended();
    }
    // Ends it at once, whatever it was doing.
    void kill()
    {
        ASSERT_TRUE(sendSignal(SIGKILL));
        EXPECT_TRUE(m_process.waitForFinished(60000));
        EXPECT_EQ(m_process.exitStatus(), QProcess::CrashExit);
    }
    // Looks again every few milliseconds until condition holds, the
    // program has ended or the bound has passed: for what the program and
    // the service do meanwhile.
    template <typename Condition> bool waitUntil(Condition condition)
    {
        const QDeadlineTimer deadline(std::chrono::minutes(2));
        for (;;) {
            if (condition())
                return true;
            if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning ||
                m_process.waitForFinished(20))
                return condition();
        }
    }

private:
    // Only to a program still running: a pid of 0 would reach the test's
    // own process group.
    bool sendSignal(int number)
    {
        const qint64 pid = m_process.processId();
        return pid > 0 && ::kill(pid_t(pid), number) == 0;
    }
    QByteArray nextReply()
    {
        for (;;) {
            while (!m_process.canReadLine()) {
                if (!m_process.waitForReadyRead(180000))
                    return "no answer";
            }
            const QByteArray line = m_process.readLine().trimmed();
            if (line.startsWith("driver: "))
                return line.mid(8);
        }
    }
    testing::AssertionResult ended()
    {
        if (!m_process.waitForFinished(180000))
            return testing::AssertionFailure() << "still running";
        if (m_process.exitStatus() != QProcess::NormalExit)
            return testing::AssertionFailure() << "crashed";
        if (m_process.exitCode() != 0)
            return testing::AssertionFailure() << "exit status " << m_process.exitCode();
        return testing::AssertionSuccess();
    }

    QProcess m_process;
};

QProcessEnvironment withVariable(const QString &name, const QString &value)
{
    QProcessEnvironment environment;
    environment.insert(name, value);
    return environment;
}

} // namespace

TEST(ApplicationPipeline, TheFirstLaunchsEventsReachTheServiceByTheSecondLaunch)
{
    Home home;
    home.allowUsageStatistics();
    RecordingService service;
    QString first;
    {
        ApplicationRun run(home, service, {drawing()});
        first = QString::fromUtf8(run.ask("session"));
        ASSERT_NE(first, "none");
        EXPECT_EQ(run.ask("trigger actionShowAboutWindow"), "done");
        EXPECT_EQ(run.ask("trigger actionShowTourWindow"), "done");
        EXPECT_EQ(run.ask("idle"), "idle");
        ASSERT_TRUE(run.quit());
    }
    const QStringList expected{"app_installed", "app_launched", "custom:Open About Window",
                               "custom:Open Introduction", "app_terminated"};
    const auto firstLaunchArrived = [&] {
        const QStringList names = namesOf(service.uploadedEvents(), first);
        return std::all_of(expected.cbegin(), expected.cend(),
                           [&](const QString &name) { return names.contains(name); });
    };
    {
        // The program itself, ended as the system ends it. The first
        // launch's last events can only have been sent by this one, once it
        // has launched: only then does it take the signal as a request to
        // quit.
        ApplicationRun run(home, service, {}, {}, ApplicationRun::Installed);
        ASSERT_TRUE(run.waitUntil(firstLaunchArrived));
        ASSERT_TRUE(run.terminate());
    }

    const QList<RecordingService::Record> records = service.records();
    ASSERT_FALSE(records.isEmpty());
    EXPECT_EQ(records.first().endpoint, "settings");
    EXPECT_TRUE(records.first().requestLine.startsWith(
        "GET /spi/v2/platforms/mac/apps/com.ferrowby.Quillmoor/settings?"));
    EXPECT_EQ(records.first().headers.value("x-tarnwell-api-key"), APIKey);

    const QList<Event> uploaded = service.uploadedEvents();
    QStringList names = namesOf(uploaded, first);
    names.sort();
    QStringList sortedExpected = expected;
    sortedExpected.sort();
    EXPECT_EQ(names, sortedExpected);
    QSet<QString> identifiers;
    for (const Event &event : uploaded) {
        EXPECT_FALSE(identifiers.contains(event.identifier))
            << "sent twice: " << event.name.toStdString();
        identifiers.insert(event.identifier);
    }
    // The second launch was no install.
    EXPECT_EQ(std::count_if(uploaded.cbegin(), uploaded.cend(),
                            [](const Event &event) { return event.name == "app_installed"; }),
              1);
}

TEST(ApplicationPipeline, AKilledRunLosesNoWrittenEventAndTheNextStartSendsIt)
{
    Home home;
    home.allowUsageStatistics();
    RecordingService service;
    QString killed;
    {
        ApplicationRun run(home, service, {drawing()});
        killed = QString::fromUtf8(run.ask("session"));
        EXPECT_EQ(run.ask("trigger actionShowAboutWindow"), "done");
        EXPECT_EQ(run.ask("idle"), "idle");
        // More events on their way to the disk as the process dies.
        for (int n = 0; n < 5; ++n)
            EXPECT_EQ(run.ask("trigger actionShowTourWindow"), "done");
        run.kill();
    }
    {
        // Once the settings are in force and the kit has nothing left to
        // do, what the killed run left has been sent.
        ApplicationRun run(home, service);
        EXPECT_EQ(run.ask("settled"), "settled");
        ASSERT_TRUE(run.quit());
    }
    // Every event written before the kill arrived, once; of those still
    // being written, each arrived whole or not at all.
    QStringList names = namesOf(service.uploadedEvents(), killed);
    const qsizetype unfinished = names.removeAll("custom:Open Introduction");
    EXPECT_LE(unfinished, 5);
    names.sort();
    EXPECT_EQ(names, QStringList({"app_installed", "app_launched", "custom:Open About Window"}));
}

TEST(ApplicationPipeline, SettingsThatSwitchAnalyticsOffDeleteEverythingAndNothingMoreIsWritten)
{
    Home home;
    home.allowUsageStatistics();
    RecordingService service({"--set", "features.collect_analytics=false"});
    for (int launch = 0; launch < 2; ++launch) {
        SCOPED_TRACE(launch == 0 ? "first launch" : "second launch, the settings stored");
        ApplicationRun run(home, service, {drawing()});
        EXPECT_EQ(run.ask("settled"), "settled");
        EXPECT_EQ(entriesUnder(home.analyticsRoot()), QStringList{"events"});
        EXPECT_EQ(run.ask("trigger actionShowAboutWindow"), "done");
        EXPECT_EQ(run.ask("idle"), "idle");
        EXPECT_EQ(entriesUnder(home.analyticsRoot()), QStringList{"events"});
        ASSERT_TRUE(run.quit());
        EXPECT_EQ(entriesUnder(home.analyticsRoot()), QStringList{"events"});
    }
    EXPECT_TRUE(service.records("events").isEmpty());
    EXPECT_FALSE(service.records("settings").isEmpty());
}

TEST(ApplicationPipeline, DoNotTrackRecordsAndSendsNothingAndDeletesWhatWasKept)
{
    Home home;
    home.allowUsageStatistics();
    RecordingService service;
    const QProcessEnvironment doNotTrack = withVariable("DO_NOT_TRACK", "1");
    {
        // Before any run with reporting: nothing appears at all.
        ApplicationRun run(home, service, {drawing()}, doNotTrack);
        EXPECT_EQ(run.ask("session"), "none");
        EXPECT_EQ(run.ask("trigger actionShowAboutWindow"), "done");
        ASSERT_TRUE(run.quit());
        EXPECT_EQ(home.analyticsFiles(), QStringList());
        EXPECT_TRUE(service.records().isEmpty());
    }
    {
        ApplicationRun run(home, service, {drawing()});
        EXPECT_EQ(run.ask("settled"), "settled");
        EXPECT_EQ(run.ask("trigger actionShowAboutWindow"), "done");
        EXPECT_EQ(run.ask("idle"), "idle");
        ASSERT_TRUE(run.quit());
    }
    ASSERT_TRUE(QFileInfo::exists(home.storeFile()));
    ASSERT_TRUE(QFileInfo::exists(home.settingsFile()));
    ASSERT_TRUE(QFileInfo::exists(home.analyticsRoot() + "/crash_metadata"));
    const qsizetype sent = service.records().size();
    {
        ApplicationRun run(home, service, {drawing()}, doNotTrack);
        // Deleted as the launch ended.
        EXPECT_EQ(home.analyticsFiles(), QStringList());
        EXPECT_EQ(run.ask("trigger actionShowAboutWindow"), "done");
        ASSERT_TRUE(run.quit());
    }
    EXPECT_EQ(home.analyticsFiles(), QStringList());
    EXPECT_EQ(service.records().size(), sent);
}

TEST(ApplicationPipeline, NothingIsRecordedOrSentUntilTheUserSaysYesAndNothingAfterTheirNo)
{
    Home home; // no choice made: the default, off
    RecordingService service;
    ApplicationRun run(home, service, {drawing()});
    EXPECT_EQ(run.ask("session"), "none");
    EXPECT_EQ(run.ask("trigger actionShowAboutWindow"), "done");
    EXPECT_EQ(home.analyticsFiles(), QStringList());
    EXPECT_TRUE(service.records().isEmpty());

    // Yes in the tour: the kit starts at once, with the install.
    EXPECT_EQ(run.ask("click usageStatisticsBox"), "done");
    const QString session = QString::fromUtf8(run.ask("session"));
    EXPECT_NE(session, "none");
    EXPECT_EQ(run.ask("trigger actionShowTourWindow"), "done");
    EXPECT_EQ(run.ask("settled"), "settled");
    ASSERT_TRUE(run.waitUntil([&] {
        return home.eventFiles().filter(".multipartmime").isEmpty() &&
               namesOf(service.uploadedEvents(), session).contains("app_installed");
    }));
    EXPECT_TRUE(QFileInfo::exists(home.storeFile()));

    // No from the menu: everything goes at once. A transfer under way just
    // then may still arrive; nothing recorded or fetched afterwards does.
    EXPECT_EQ(run.ask("trigger actionSendUsageStatistics"), "done");
    EXPECT_EQ(home.analyticsFiles(), QStringList());
    const qsizetype sent = service.records().size();
    EXPECT_EQ(run.ask("trigger actionShowAboutWindow"), "done");
    ASSERT_TRUE(run.quit());
    EXPECT_EQ(home.analyticsFiles(), QStringList());
    for (const RecordingService::Record &record : service.records().mid(sent))
        EXPECT_EQ(record.endpoint, "events");
    EXPECT_FALSE(namesOf(service.uploadedEvents(), session).contains("custom:Open About Window"));
}

TEST(ApplicationPipeline, SamplingSkipsLifecycleEventsButNotCustomOnes)
{
    Home home;
    home.allowUsageStatistics();
    // An installation that a sampling factor leaves out.
    const QString installation = "4A6B2C1D-0000-4000-8000-0000000000AA";
    ASSERT_TRUE(QDir().mkpath(QFileInfo(home.storeFile()).path()));
    ASSERT_TRUE(PropertyList::writeFile(home.storeFile(),
                                        QVariantMap{{"com.tarnwell.iuuid", installation}}));
    const qint32 hash = TLYEventFilter::javaHashCodeForString(installation);
    int factor = 2;
    while (hash % factor == 0)
        ++factor;
    // Every second event fills a file, which then goes at once.
    RecordingService service({"--set", QStringLiteral("analytics.sampling_rate=%1").arg(factor),
                              "--set", "analytics.max_byte_size_per_file=1"});
    QString first;
    {
        // Until the settings are there, nothing is sampled.
        ApplicationRun run(home, service, {drawing()});
        first = QString::fromUtf8(run.ask("session"));
        EXPECT_EQ(run.ask("settled"), "settled");
        EXPECT_EQ(run.ask("trigger actionShowAboutWindow"), "done");
        EXPECT_EQ(run.ask("idle"), "idle");
        ASSERT_TRUE(run.quit());
    }
    QString second;
    {
        // The stored settings apply from the start.
        ApplicationRun run(home, service, {drawing()});
        second = QString::fromUtf8(run.ask("session"));
        EXPECT_EQ(run.ask("trigger actionShowAboutWindow"), "done");
        EXPECT_EQ(run.ask("trigger actionShowTourWindow"), "done");
        EXPECT_EQ(run.ask("settled"), "settled");
        // Both launches' packages have gone: the first one's two events
        // filled its file, and so did the two of this one.
        ASSERT_TRUE(run.waitUntil([&] {
            const QList<Event> uploaded = service.uploadedEvents();
            return namesOf(uploaded, first).size() >= 2 && namesOf(uploaded, second).size() >= 2;
        }));
        ASSERT_TRUE(run.quit());
    }
    QList<Event> events = service.uploadedEvents();
    for (const QString &name : home.eventFiles()) {
        if (name.endsWith(".log"))
            events += eventsInLog(readFile(home.eventsDirectory() + "/" + name));
    }
    EXPECT_EQ(namesOf(events, first), QStringList({"app_launched", "custom:Open About Window"}));
    EXPECT_EQ(namesOf(events, second),
              QStringList({"custom:Open About Window", "custom:Open Introduction"}));
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet(DriveVariable))
        driveApplication(argc, argv);
    // Child processes are started and read through QProcess.
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
