#include "AnalyticsTestSupport.h"

#include "analytics/TLYCrashEvent.h"
#include "analytics/TLYCustomEvent.h"
#include "analytics/TLYEventLogFiles.h"
#include "analytics/TLYFileUtils.h"
#include "analytics/TLYRotateCrashMetadataOperation.h"
#include "analytics/TLYWriteEventOperation.h"

#include "foundation/Log.h"
#include "foundation/SystemInformation.h"
#include "sdk/Orrery.h"
#include "support/TWLUserDefaults.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSysInfo>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <thread>

namespace {

class TLYEventLogTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(home.eventsDirectory())); }

    QUrl logURL(const QString &name = "0F0E0D0C-0000-4000-8000-000000000001.log") const
    {
        return QUrl::fromLocalFile(QDir(home.eventsDirectory()).filePath(name));
    }

    bool write(std::shared_ptr<const TLYEvent> event, const TLYMetadataSource &source,
               const QUrl &url)
    {
        TLYWriteEventOperation operation(std::move(event), source, url);
        operation.start();
        return operation.success();
    }

    TemporaryHome home;
    TLYMetadata metadata{testMetadataFields()};
};

std::shared_ptr<const TLYCrashEvent> crashAt(qint64 milliseconds)
{
    return std::make_shared<const TLYCrashEvent>(
        QDateTime::fromMSecsSinceEpoch(milliseconds, Qt::UTC), TLYCrashEvent::ForegroundState);
}

// Sets the largest file this process may write, for as long as it lives.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_previousHandler);
    }

private:
    rlimit m_saved{};
    void (*m_previousHandler)(int) = nullptr;
};

} // namespace

TEST_F(TLYEventLogTest, TheFirstEventOfAFileBringsTheMetadataLine)
{
    const auto crash = crashAt(1500);
    TLYWriteEventOperation first(crash, metadata, logURL());
    first.start();
    ASSERT_TRUE(first.success());
    const QByteArray crashJson =
        R"({"crash_state":"foreground","eventId":")" + crash->identifier().toUtf8() + R"("})";
    const QByteArray metadataLine = "1500\tmetadata\t" +
                                    QByteArray::number(testMetadataJson(1).size()) + "\t" +
                                    testMetadataJson(1);
    const QByteArray crashLine = "1500\tapp_crashed\t77\t" + crashJson;
    EXPECT_EQ(first.formattedMetadata().toUtf8(), metadataLine);
    EXPECT_EQ(first.formattedEvent().toUtf8(), crashLine);
    EXPECT_EQ(readFile(logURL().toLocalFile()), metadataLine + "\n" + crashLine + "\n");

    // The second event adds its own line only. Field 3 counts UTF-8 bytes:
    // "é" is one character and two bytes.
    const auto custom = std::make_shared<const TLYCustomEvent>("é", QVariantMap());
    ASSERT_TRUE(write(custom, metadata, logURL()));
    const QByteArray customLine = QByteArray::number(custom->timestamp().toMSecsSinceEpoch()) +
                                  "\tcustom\t92\t"
                                  R"({"custom_attributes":{},"custom_type":"é","eventId":")" +
                                  custom->identifier().toUtf8() + R"("})";
    EXPECT_EQ(readFile(logURL().toLocalFile()),
              metadataLine + "\n" + crashLine + "\n" + customLine + "\n");
    EXPECT_EQ(QString::fromUtf8(customLine.split('\t').last()).size(), 91);
}

TEST_F(TLYEventLogTest, AnExistingFileGetsNoMetadataLineWhateverItHolds)
{
    writeFile(logURL().toLocalFile(), "not a log line\n");
    const auto crash = crashAt(2000);
    ASSERT_TRUE(write(crash, metadata, logURL()));
    const QList<QByteArray> lines = readFile(logURL().toLocalFile()).split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "not a log line");
    EXPECT_TRUE(lines[1].startsWith("2000\tapp_crashed\t77\t"));

    // An empty file has no metadata line yet: it gets one.
    const QUrl empty = logURL("EMPTY.log");
    writeFile(empty.toLocalFile(), "");
    ASSERT_TRUE(write(crash, metadata, empty));
    EXPECT_TRUE(readFile(empty.toLocalFile()).startsWith("2000\tmetadata\t"));
}

TEST_F(TLYEventLogTest, ADirectoryAtThePathBlocksTheWrite)
{
    LogCapture log;
    ASSERT_TRUE(QDir().mkpath(logURL().toLocalFile()));
    EXPECT_FALSE(write(crashAt(1500), metadata, logURL()));
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_TRUE(QFileInfo(logURL().toLocalFile()).isDir());
}

TEST_F(TLYEventLogTest, AFailedAppendLeavesTheFileAsItWas)
{
    DebugLogging debug;
    LogCapture log;
    const QByteArray before = "1\tmetadata\t2\t{}\n1\tcustom\t2\t{}\n";
    writeFile(logURL().toLocalFile(), before);
    const auto crash = crashAt(1500);
    const qsizetype lineLength =
        TLYWriteEventOperation(crash, metadata, logURL()).formattedEvent().toUtf8().size() + 1;
    bool appended;
    {
        // The disk takes 10 bytes of the line, then refuses the rest.
        FileSizeLimit limit(before.size() + 10);
        appended = write(crash, metadata, logURL());
    }
    EXPECT_FALSE(appended);
    EXPECT_EQ(readFile(logURL().toLocalFile()), before);
    EXPECT_TRUE(log.contains("[Tally:WriteOperation] Failed to write: File too large\n"));
    EXPECT_TRUE(log.contains(
        QStringLiteral("[Tally:WriteOperation] Error: length doesn't make sense (-1, %1)\n")
            .arg(lineLength - 10)));

    // A new file that cannot take its first lines is not left behind.
    {
        FileSizeLimit limit(10);
        appended = write(crash, metadata, logURL("NEW.log"));
    }
    EXPECT_FALSE(appended);
    EXPECT_FALSE(QFile::exists(logURL("NEW.log").toLocalFile()));
}

TEST_F(TLYEventLogTest, TheMetadataRecordDescribesTheRunningLinuxSystem)
{
    TWLUserDefaults store(home.path() + "/store");
    Orrery::Environment environment;
    environment.userDefaults = &store;
    Orrery orrery(environment);
    const TLYApplication application({{"CFBundleIdentifier", "com.example/odd"},
                                      {"CFBundleVersion", "7"},
                                      {"CFBundleShortVersionString", "0.7"}});
    const auto current = TLYMetadata::initWithOrrery(orrery, "2:tester", application);
    const QVariantMap record = current->dictionaryRepresentationWithStartTime(1700000000).value();

    EXPECT_EQ(record["generator"], "Tally Mac SDK/1.3.6");
    EXPECT_EQ(record["api_key"], orrery.APIKey());
    EXPECT_EQ(record["session_id"], orrery.executionIdentifier());
    EXPECT_EQ(record["install_id"], orrery.installID());
    EXPECT_EQ(record["instance_id"], orrery.instanceIdentifier());
    EXPECT_EQ(record["started_at"].toULongLong(), 1700000000u);
    EXPECT_EQ(record["beta_tester_token"], "tester");
    EXPECT_EQ(record["platform"], "Linux");
    EXPECT_EQ(record["platform_code"].toUInt(), 0u);
    EXPECT_EQ(record["jailbroken"], false);
    EXPECT_EQ(record["links_ad_support"], false);
    EXPECT_EQ(record["advertising_tracking_enabled"], false);
    EXPECT_FALSE(record.contains("advertising_id"));
    EXPECT_EQ(record["model"], SystemInformation::hardwareModel());
    EXPECT_EQ(record["machine"], record["model"]);
    EXPECT_EQ(record["os_build"], QSysInfo::kernelVersion());
    EXPECT_TRUE(QRegularExpression("^\\d+\\.\\d+\\.\\d+$")
                    .match(record["os_version"].toString())
                    .hasMatch());
    EXPECT_EQ(record["cores"].toUInt(), std::thread::hardware_concurrency());
    EXPECT_EQ(record["bundle_id"], "com.example_odd");
    EXPECT_EQ(record["bundle_version"], "7");
    EXPECT_EQ(record["bundle_short_version"], "0.7");
    EXPECT_FALSE(record["locale"].toString().isEmpty());
    EXPECT_FALSE(record["api_key"].toString().isEmpty());
}

TEST_F(TLYEventLogTest, OnlyAVersionTwoTokenMakesABetaTester)
{
    EXPECT_EQ(TLYMetadata::unwrapBetaToken("2:abc"), "abc");
    EXPECT_TRUE(TLYMetadata::unwrapBetaToken("3:abc").isNull());
    EXPECT_TRUE(TLYMetadata::unwrapBetaToken("abc").isNull());
    EXPECT_TRUE(TLYMetadata::unwrapBetaToken("2:a:b").isNull());
    EXPECT_TRUE(TLYMetadata::unwrapBetaToken(QString()).isNull());

    TLYMetadata::Fields fields = testMetadataFields();
    EXPECT_FALSE(TLYMetadata(fields).dictionaryRepresentationWithStartTime(1)->contains(
        "beta_tester_token"));
    fields.betaToken = TLYMetadata::unwrapBetaToken("2:abc");
    EXPECT_EQ(
        TLYMetadata(fields).dictionaryRepresentationWithStartTime(1)->value("beta_tester_token"),
        "abc");
}

TEST_F(TLYEventLogTest, CrashMetadataPassesFromOneExecutionToTheNext)
{
    const QString root = home.analyticsRoot();
    const QUrl file =
        QUrl::fromLocalFile(TLYEventLogFiles::crashMetadataPathForRootDirectory(root));

    // No previous execution: an empty record, which makes the payload {}.
    const auto first = std::make_shared<const TLYMetadata>(testMetadataFields());
    TLYRotateCrashMetadataOperation firstSwap(file, first);
    firstSwap.start();
    ASSERT_TRUE(firstSwap.crashMetadata());
    EXPECT_EQ(firstSwap.crashMetadata()->rawMetadataDictionary(), QVariantMap());
    const auto crash = crashAt(1500);
    ASSERT_TRUE(write(crash, *firstSwap.crashMetadata(), logURL()));
    EXPECT_TRUE(readFile(logURL().toLocalFile()).startsWith("1500\tmetadata\t2\t{}\n"));

    // The file now holds this execution's record, started now.
    const QJsonObject stored = QJsonDocument::fromJson(readFile(file.toLocalFile())).object();
    EXPECT_EQ(stored, QJsonObject::fromVariantMap(firstSwap.currentMetadataDictionary()));
    EXPECT_GE(stored["started_at"].toInteger(), QDateTime::currentSecsSinceEpoch() - 60);
    EXPECT_EQ(stored["session_id"], "0c1d2e3f40516273");

    // The next execution gets it back, unchanged, and leaves its own.
    TLYMetadata::Fields nextFields = testMetadataFields();
    nextFields.executionIdentifier = "next";
    TLYRotateCrashMetadataOperation secondSwap(file,
                                               std::make_shared<const TLYMetadata>(nextFields));
    secondSwap.start();
    EXPECT_EQ(secondSwap.crashMetadata()->dictionaryRepresentationWithStartTime(99),
              firstSwap.currentMetadataDictionary());
    EXPECT_EQ(QJsonDocument::fromJson(readFile(file.toLocalFile())).object()["session_id"], "next");
    EXPECT_EQ(fileNames(root), QStringList({"crash_metadata", "events"}));

    // An unreadable record describes nothing: a crash event cannot be
    // written with it.
    writeFile(file.toLocalFile(), "{broken");
    TLYRotateCrashMetadataOperation thirdSwap(file, first);
    thirdSwap.start();
    EXPECT_FALSE(thirdSwap.crashMetadata()->rawMetadataDictionary().has_value());
    EXPECT_FALSE(write(crash, *thirdSwap.crashMetadata(), logURL("OTHER.log")));
    EXPECT_FALSE(QFile::exists(logURL("OTHER.log").toLocalFile()));
}

TEST_F(TLYEventLogTest, FileHelpersSeeFilesOnly)
{
    DebugLogging debug;
    LogCapture log;
    const QDir events(home.eventsDirectory());
    writeFile(events.filePath("A.log"), "12345");
    writeFile(events.filePath("A.log.partial"), "");
    writeFile(events.filePath(".hidden"), "");
    ASSERT_TRUE(events.mkpath("folder.log"));
    const QUrl directory = QUrl::fromLocalFile(events.path());

    EXPECT_EQ(TLYFileUtils::allFilesInDirectory(directory),
              QSet<QUrl>({QUrl::fromLocalFile(events.filePath("A.log")),
                          QUrl::fromLocalFile(events.filePath("A.log.partial")),
                          QUrl::fromLocalFile(events.filePath(".hidden"))}));
    EXPECT_EQ(TLYFileUtils::filesWithExtension("log", directory),
              QSet<QUrl>({QUrl::fromLocalFile(events.filePath("A.log"))}));
    EXPECT_EQ(TLYFileUtils::fileSizeAtURL(QUrl::fromLocalFile(events.filePath("A.log"))), 5);
    EXPECT_EQ(TLYFileUtils::fileSizeAtURL(QUrl::fromLocalFile(events.filePath("none"))), 0);
    const QDateTime fallback = QDateTime::fromSecsSinceEpoch(7);
    EXPECT_EQ(
        TLYFileUtils::fileCreatedDateAtURL(QUrl::fromLocalFile(events.filePath("none")), fallback),
        fallback);

    const QUrl missing = QUrl::fromLocalFile(events.filePath("missing"));
    EXPECT_TRUE(TLYFileUtils::allFilesInDirectory(missing).isEmpty());
    EXPECT_TRUE(log.contains("[Tally] Unable to read contents of " + missing.toString() +
                             ": No such file or directory"));
    EXPECT_EQ(TLYFileUtils::allFilesInDirectory(QUrl(events.path())).size(), 3);
    EXPECT_TRUE(log.contains("[Tally] " + QUrl(events.path()).toString() +
                             " is not a file URL, will attempt to enumerate files."));
}
