#include "AnalyticsTestSupport.h"

#include "analytics/TLYCleanupFilesOperation.h"
#include "analytics/TLYCompressLogOperation.h"
#include "analytics/TLYCrashEvent.h"
#include "analytics/TLYEventLogFiles.h"
#include "analytics/TLYPackageLogOperation.h"
#include "analytics/TLYWriteEventOperation.h"

#include "foundation/Log.h"
#include "foundation/OperationQueue.h"
#include "sdk/ORRMultipartMimeStreamEncoder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <mutex>
#include <zlib.h>

namespace {

const QByteArray SampleLog = "1000\tmetadata\t2\t{}\n1000\tcustom\t8\t{\"n\":12}\n";

QByteArray gzip(const QByteArray &data, const QString &scratchPath)
{
    gzFile file = gzopen(QFile::encodeName(scratchPath).constData(), "w");
    EXPECT_NE(file, nullptr);
    gzwrite(file, data.constData(), unsigned(data.size()));
    gzclose(file);
    QByteArray bytes = readFile(scratchPath);
    QFile::remove(scratchPath);
    return bytes;
}

// A package's one file part, checked against the layout of a package.
struct Package
{
    QString boundary;
    QString compressedName;
    QByteArray compressed;
};

Package readPackage(const QString &path)
{
    Package package;
    package.boundary = QFileInfo(path).completeBaseName();
    QString error;
    const auto body = parseMultipart(readFile(path), package.boundary.toUtf8(), &error);
    EXPECT_TRUE(body) << error.toStdString();
    if (!body)
        return package;
    EXPECT_EQ(body->preamble, "MIME-Version: 1.0");
    EXPECT_EQ(body->epilogue, "");
    EXPECT_EQ(body->parts.size(), 1);
    if (body->parts.size() != 1)
        return package;
    const MultipartPart &part = body->parts.first();
    const QByteArray disposition = part.headers.value("content-disposition");
    const QRegularExpressionMatch match =
        QRegularExpression(R"re(^form-data; name="([^"]+)"; filename="([^"]+)"$)re")
            .match(QString::fromUtf8(disposition));
    EXPECT_TRUE(match.hasMatch()) << disposition.toStdString();
    EXPECT_EQ(match.captured(1), match.captured(2));
    EXPECT_EQ(part.headers.value("content-type"), "application/vnd.tarnwell.mac.events");
    EXPECT_EQ(part.headers.value("content-transfer-encoding"), "binary");
    package.compressedName = match.captured(2);
    package.compressed = part.content;
    return package;
}

class TLYRotationTest : public testing::Test
{
protected:
    void SetUp() override
    {
        files = std::make_unique<TLYEventLogFiles>(home.eventsDirectory(), queue);
    }

    QString eventsPath(const QString &name) const
    {
        return QDir(home.eventsDirectory()).filePath(name);
    }
    QStringList eventFiles() const { return fileNames(home.eventsDirectory()); }
    QStringList packages() const
    {
        return QDir(home.eventsDirectory()).entryList({"*.multipartmime"}, QDir::Files, QDir::Name);
    }

    // Runs the work as the event queue would, and waits for all of it.
    void onQueue(const std::function<void()> &work)
    {
        queue.addOperationWithBlock(work);
        queue.waitUntilAllOperationsAreFinished();
    }

    void recordTo(const QUrl &log, int count)
    {
        for (int i = 0; i < count; ++i) {
            TLYWriteEventOperation write(
                std::make_shared<TLYCrashEvent>(QDateTime::fromMSecsSinceEpoch(1000 + i), 1),
                metadata, log);
            write.start();
            ASSERT_TRUE(write.success());
        }
    }

    TemporaryHome home;
    DebugLogging debug;
    TLYMetadata metadata{testMetadataFields()};
    OperationQueue queue{"io.tally.EventQueue", 1};
    std::unique_ptr<TLYEventLogFiles> files;
};

} // namespace

TEST_F(TLYRotationTest, ARotatedLogBecomesAPackageHoldingItsGzip)
{
    const QUrl log = files->currentLogURL();
    EXPECT_TRUE(QRegularExpression(R"(/[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\.log$)")
                    .match(log.path())
                    .hasMatch());
    recordTo(log, 3);
    const QByteArray logText = readFile(log.toLocalFile());
    onQueue([&] { files->rotateAndSubmitCurrentLog(); });

    EXPECT_NE(files->currentLogURL(), log);
    EXPECT_FALSE(QFile::exists(files->currentLogURL().toLocalFile()));
    const QStringList names = packages();
    ASSERT_EQ(names.size(), 1);
    EXPECT_EQ(eventFiles(), names); // the log and its gzip are gone
    const Package package = readPackage(eventsPath(names.first()));
    EXPECT_TRUE(QRegularExpression(R"(^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$)")
                    .match(package.boundary)
                    .hasMatch());
    EXPECT_EQ(package.compressedName, QFileInfo(log.path()).completeBaseName() + ".gz");
    EXPECT_EQ(gunzip(package.compressed), logText);

    // The system's gzip accepts the part and gives back the log.
    QTemporaryDir scratch;
    const QString gzPath = scratch.filePath(package.compressedName);
    writeFile(gzPath, package.compressed);
    EXPECT_EQ(QProcess::execute("gzip", {"-t", gzPath}), 0);
    QProcess gunzipTool;
    gunzipTool.start("gzip", {"-dc", gzPath});
    ASSERT_TRUE(gunzipTool.waitForFinished(-1));
    EXPECT_EQ(gunzipTool.readAllStandardOutput(), logText);
}

TEST_F(TLYRotationTest, TheUploadStepFollowsThePackagingOfItsChain)
{
    std::mutex mutex;
    QList<std::pair<QUrl, QString>> requested;
    bool packageExistedForUpload = false;
    files->setUploadOperationFactory([&](const QUrl &package, const QString &boundary) {
        std::lock_guard lock(mutex);
        requested.append({package, boundary});
        return BlockOperation::create(
            [&, package] { packageExistedForUpload = QFile::exists(package.toLocalFile()); });
    });
    recordTo(files->currentLogURL(), 1);
    onQueue([&] { files->rotateAndSubmitCurrentLog(); });

    ASSERT_EQ(requested.size(), 1);
    EXPECT_EQ(QFileInfo(requested[0].first.path()).fileName(),
              requested[0].second + ".multipartmime");
    EXPECT_EQ(requested[0].first, files->multipartMimeURLWithBoundary(requested[0].second));
    EXPECT_TRUE(packageExistedForUpload);
    EXPECT_EQ(files->operationsForUncompressedLog(files->currentLogURL()).size(), 3u);
    EXPECT_EQ(files->operationsForCompressedLog(QUrl::fromLocalFile(eventsPath("X.gz"))).size(),
              2u);
}

TEST_F(TLYRotationTest, TheStartResumesEveryChainAtItsStep)
{
    QTemporaryDir scratch;
    const QByteArray bGzip = gzip(SampleLog, scratch.filePath("b"));
    writeFile(eventsPath("A.log"), SampleLog);
    writeFile(eventsPath("A.gz"), "\x1f\x8b half"); // an interrupted compression
    writeFile(eventsPath("B.gz"), bGzip);
    writeFile(eventsPath("C.multipartmime"), "a package");
    writeFile(eventsPath("notes.txt"), "stray");
    writeFile(eventsPath("D.gz.partial"), "an interrupted compression");
    writeFile(eventsPath("E.multipartmime.partial"), "an interrupted packaging");
    // A package whose compressed file and log were not deleted yet: they
    // must not be sent again.
    writeFile(eventsPath("F.log"), SampleLog);
    writeFile(eventsPath("F.gz"), bGzip);
    {
        auto stream = std::make_shared<QFile>(eventsPath("G.multipartmime"));
        ORRMultipartMimeStreamEncoder encoder(stream, "G");
        ASSERT_TRUE(encoder.encode([&] {
            encoder.addFileData(bGzip, "F.gz", TLYPackageLogOperation::EventsMimeType, "F.gz");
        }));
    }
    EXPECT_EQ(TLYPackageLogOperation::compressedFileNameInPackage(
                  QUrl::fromLocalFile(eventsPath("G.multipartmime"))),
              "F.gz");

    QSet<QUrl> handed;
    onQueue(
        [&] { files->cleanupAndProcessExistingFiles([&](const QSet<QUrl> &p) { handed = p; }); });

    EXPECT_EQ(handed, QSet<QUrl>({QUrl::fromLocalFile(eventsPath("C.multipartmime")),
                                  QUrl::fromLocalFile(eventsPath("G.multipartmime"))}));
    QStringList made = packages();
    made.removeOne("C.multipartmime");
    made.removeOne("G.multipartmime");
    EXPECT_EQ(eventFiles().size(), 4) << eventFiles().join(' ').toStdString();
    ASSERT_EQ(made.size(), 2);
    QMap<QString, QByteArray> contents;
    for (const QString &name : made) {
        const Package package = readPackage(eventsPath(name));
        contents.insert(package.compressedName, package.compressed);
    }
    EXPECT_EQ(contents.keys(), QStringList({"A.gz", "B.gz"}));
    EXPECT_EQ(gunzip(contents["A.gz"]), SampleLog);
    EXPECT_EQ(contents["B.gz"], bGzip); // packaged as it was
}

TEST_F(TLYRotationTest, PackagesAreTrimmedToTheNewestAtStartAndAfterEachPackaging)
{
    const QDateTime base = QDateTime::fromSecsSinceEpoch(1700000000);
    for (int i = 0; i < 120; ++i) {
        const QString path =
            eventsPath(QStringLiteral("P%1.multipartmime").arg(i, 3, 10, QChar('0')));
        writeFile(path, "package");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(base.addSecs(i), QFileDevice::FileModificationTime));
    }
    QSet<QUrl> handed;
    onQueue(
        [&] { files->cleanupAndProcessExistingFiles([&](const QSet<QUrl> &p) { handed = p; }); });
    const QStringList kept = packages();
    ASSERT_EQ(kept.size(), 100);
    EXPECT_EQ(kept.first(), "P020.multipartmime");
    EXPECT_EQ(kept.last(), "P119.multipartmime");
    EXPECT_EQ(handed.size(), 100);

    // Each new package pushes the oldest out.
    files->setMaximumPendingMultipartFiles(100);
    recordTo(files->currentLogURL(), 1);
    onQueue([&] { files->rotateAndSubmitCurrentLog(); });
    const QStringList after = packages();
    ASSERT_EQ(after.size(), 100);
    EXPECT_FALSE(after.contains("P020.multipartmime"));
    EXPECT_TRUE(after.contains("P021.multipartmime"));
}

TEST_F(TLYRotationTest, ALogNeverWrittenLeavesNothingBehind)
{
    LogCapture log;
    const QUrl never = files->currentLogURL();
    onQueue([&] { files->rotateAndSubmitCurrentLog(); });
    EXPECT_TRUE(eventFiles().isEmpty());
    EXPECT_TRUE(log.contains("[Tally] Error: attempting to compress nonexistent file: " +
                             never.toString()));
    const QUrl gz = TLYCompressLogOperation::compressedURLForUncompressedURL(never);
    EXPECT_TRUE(
        log.contains("[Tally] Error: attempting to package nonexistent file: " + gz.toString()));
}

TEST_F(TLYRotationTest, ACompressedFileAlreadyThereIsPackagedAsItIs)
{
    QTemporaryDir scratch;
    const QByteArray existing = gzip("earlier\n", scratch.filePath("e"));
    const QUrl log = files->currentLogURL();
    recordTo(log, 2);
    writeFile(TLYCompressLogOperation::compressedURLForUncompressedURL(log).toLocalFile(),
              existing);
    onQueue([&] { files->rotateAndSubmitCurrentLog(); });
    ASSERT_EQ(eventFiles().size(), 1);
    EXPECT_EQ(readPackage(eventsPath(eventFiles().first())).compressed, existing);
}

TEST_F(TLYRotationTest, OnlyCompleteLinesAreCompressed)
{
    // A crash cut the last line short.
    const QUrl log = files->currentLogURL();
    writeFile(log.toLocalFile(), SampleLog + "1001\tcustom\t8\t{\"n");
    onQueue([&] { files->rotateAndSubmitCurrentLog(); });
    ASSERT_EQ(packages().size(), 1);
    EXPECT_EQ(gunzip(readPackage(eventsPath(packages().first())).compressed), SampleLog);

    // A file whose first line was cut holds no event: nothing to send.
    LogCapture messages;
    const QUrl cut = files->currentLogURL();
    writeFile(cut.toLocalFile(), "1001\tmeta");
    onQueue([&] { files->rotateAndSubmitCurrentLog(); });
    EXPECT_EQ(eventFiles(), packages());
    EXPECT_EQ(packages().size(), 1);
    EXPECT_TRUE(
        messages.contains("[Tally] Error: no complete event to compress in " + cut.toString()));
}

TEST_F(TLYRotationTest, AFailedStepKeepsItsInputForTheNextStart)
{
    LogCapture log;
    const QUrl current = files->currentLogURL();
    recordTo(current, 2);
    const QByteArray text = readFile(current.toLocalFile());
    // Something stands where the compressed file is written.
    const QString blocked =
        TLYCompressLogOperation::compressedURLForUncompressedURL(current).toLocalFile() +
        ".partial";
    ASSERT_TRUE(QDir().mkpath(blocked));
    onQueue([&] { files->rotateAndSubmitCurrentLog(); });
    EXPECT_TRUE(log.contains("[Tally] Failed to compress file at " + current.toString()));
    EXPECT_EQ(readFile(current.toLocalFile()), text);
    EXPECT_TRUE(packages().isEmpty());

    // Once the way is clear, the next start sends the events.
    ASSERT_TRUE(QDir(blocked).removeRecursively());
    TLYEventLogFiles nextStart(home.eventsDirectory(), queue);
    onQueue([&] { nextStart.cleanupAndProcessExistingFiles(); });
    ASSERT_EQ(packages().size(), 1);
    EXPECT_EQ(eventFiles(), packages());
    EXPECT_EQ(gunzip(readPackage(eventsPath(packages().first())).compressed), text);

    // The same for packaging.
    QTemporaryDir scratch;
    const QString gz = eventsPath("H.gz");
    writeFile(gz, gzip(SampleLog, scratch.filePath("h")));
    const QUrl package = QUrl::fromLocalFile(eventsPath("BOUNDARY.multipartmime"));
    ASSERT_TRUE(QDir().mkpath(package.toLocalFile() + ".partial"));
    TLYPackageLogOperation packaging(QUrl::fromLocalFile(gz), package, "BOUNDARY");
    packaging.start();
    EXPECT_EQ(packaging.outcome(), TLYPackageLogOperation::Outcome::Failed);
    EXPECT_FALSE(packaging.compressedFileDone());
    EXPECT_FALSE(QFile::exists(package.toLocalFile()));
    EXPECT_TRUE(
        log.contains("[Tally] Failed to package file at " + QUrl::fromLocalFile(gz).toString()));
}
