#include "TLYEventLogWriter.h"

#include "TLYActivity.h"
#include "TLYEventLogFiles.h"
#include "TLYFileUtils.h"
#include "TLYLogger.h"
#include "TLYPackageUploads.h"
#include "TLYRotateCrashMetadataOperation.h"
#include "TLYWriteEventOperation.h"

#include "foundation/OperationQueue.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

TLYEventLogWriter::TLYEventLogWriter(QString rootDirectory,
                                     std::shared_ptr<const TLYMetadata> metadata, Limits limits,
                                     Uploading uploading)
    : m_rootDirectory(std::move(rootDirectory))
    , m_metadata(std::move(metadata))
    , m_limits(limits)
    , m_eventQueue(std::make_shared<OperationQueue>(EventQueueName, 1))
{
    m_uploads = TLYPackageUploads::create(
        QUrl::fromLocalFile(TLYEventLogFiles::eventDirectoryForRootDirectory(m_rootDirectory)),
        m_eventQueue, uploading.APIKey, std::move(uploading.networkRetryHandler));
    m_eventQueue->addOperationWithBlock([this] { setUp(); });
}

TLYEventLogWriter::TLYEventLogWriter(QString rootDirectory,
                                     std::shared_ptr<const TLYMetadata> metadata, Limits limits)
    : TLYEventLogWriter(std::move(rootDirectory), std::move(metadata), limits, Uploading())
{}

TLYEventLogWriter::TLYEventLogWriter(QString rootDirectory,
                                     std::shared_ptr<const TLYMetadata> metadata)
    : TLYEventLogWriter(std::move(rootDirectory), std::move(metadata), Limits())
{}

TLYEventLogWriter::~TLYEventLogWriter()
{
    waitUntilIdle();
    // A transfer that ends later has nobody to tell; its package stays for
    // the next start.
    m_uploads->uploader()->invalidate();
}

void TLYEventLogWriter::waitUntilIdle() const
{
    m_eventQueue->waitUntilAllOperationsAreFinished();
}

void TLYEventLogWriter::setUp()
{
    m_files = std::make_unique<TLYEventLogFiles>(
        TLYEventLogFiles::eventDirectoryForRootDirectory(m_rootDirectory), *m_eventQueue);
    m_files->setMaximumPendingMultipartFiles(m_limits.maxPendingSendFiles);

    TLYRotateCrashMetadataOperation swap(
        QUrl::fromLocalFile(TLYEventLogFiles::crashMetadataPathForRootDirectory(m_rootDirectory)),
        m_metadata);
    swap.start();
    m_previousExecutionMetadata = swap.crashMetadata();

    m_files->setUploadOperationFactory(
        [uploads = m_uploads](const QUrl &package, const QString &boundary) {
            return uploads->uploadOperationForFileAtURL(package, boundary);
        });
    m_files->cleanupAndProcessExistingFiles([uploads = m_uploads](const QSet<QUrl> &packages) {
        uploads->uploader()->attemptToReconnectBackgroundSessionWithCompletionBlock(
            [uploads, packages] { uploads->uploadMultipartFiles(packages.values()); });
    });
}

void TLYEventLogWriter::initializeSettingsIfNeededWithOrrerySettings(
    const std::optional<QVariantMap> &settingsDictionary)
{
    m_eventQueue->addOperationWithBlock([this, settingsDictionary] {
        if (!settingsDictionary || m_settings.valid())
            return;
        m_settings = TLYSettings(settingsDictionary);
        // Switching analytics off, with its clean-up, is the controller's.
        if (!m_settings.shouldCollectAnalytics())
            return;
        const TLYLogger &logger = TLYLogger::sharedLogger();
        logger.log(QStringLiteral("Tally enabled with settings: %1")
                       .arg(QString::fromUtf8(
                           QJsonDocument(
                               QJsonObject::fromVariantMap(
                                   settingsDictionary->value(QStringLiteral("analytics")).toMap()))
                               .toJson(QJsonDocument::Compact))));
        logger.log(QStringLiteral("Logging events to %1")
                       .arg(m_files->rootEventDirectory().toLocalFile()));
        const std::shared_ptr<TLYUploader> &uploader = m_uploads->uploader();
        uploader->setDefaultUploadTimeout(m_settings.defaultUploadTimeout());
        uploader->setLowPowerUploadTimeout(m_settings.lowPowerUploadTimeout());
        m_uploads->setTallyURL(m_settings.tallyURL());
        m_uploads->uploadAllMultipartFiles();
    });
}

void TLYEventLogWriter::logEvent(std::shared_ptr<const TLYEvent> event)
{
    if (!event)
        return;
    // A custom event validates its attributes, with their messages, each
    // time it is described: only describe it for a line that is written.
    if (const TLYLogger &logger = TLYLogger::sharedLogger(); logger.debugMode())
        logger.log(QStringLiteral("Logging Tally event: %1").arg(event->description()));
    enqueueEvent(event);
}

void TLYEventLogWriter::enqueueEvent(const std::shared_ptr<const TLYEvent> &event)
{
    // Quitting waits until the event is on disk.
    const auto activity = TLYActivityOperation::operationByStartingActivityName(
        QStringLiteral("io.tally.RecordEvent"), TLYActivity::RecordEventOptions);
    const auto record = BlockOperation::create([this, event] {
        const QUrl log = m_files->currentLogURL();
        // Measured before this event's line: the event that finds the file
        // full still goes into it, and the file is rotated right after.
        const bool full = shouldSubmitLogAtURL(log);
        writeEvent(event, *m_metadata);
        if (full || event->triggersFlush())
            m_files->rotateAndSubmitCurrentLog();
    });
    activity->addDependency(record);
    m_eventQueue->addOperation(record);
    m_eventQueue->addOperation(activity);
}

void TLYEventLogWriter::logCrashEvent(std::shared_ptr<const TLYCrashEvent> event)
{
    if (!event)
        return;
    const auto activity = TLYActivityOperation::operationByStartingActivityName(
        QStringLiteral("io.tally.RecordCrashEvent"), TLYActivity::RecordEventOptions);
    const auto record = BlockOperation::create([this, event] {
        TLYLogger::sharedLogger().log(QStringLiteral("Attempting to log %1").arg(event->name()));
        // This execution's events so far leave first; the crash travels
        // alone in a file whose metadata line describes the crashed
        // execution.
        if (QFileInfo(m_files->currentLogURL().toLocalFile()).isReadable())
            m_files->rotateAndSubmitCurrentLog();
        writeEvent(event, *m_previousExecutionMetadata);
        m_files->rotateAndSubmitCurrentLog();
    });
    activity->addDependency(record);
    m_eventQueue->addOperation(record);
    m_eventQueue->addOperation(activity);
}

void TLYEventLogWriter::writeEvent(const std::shared_ptr<const TLYEvent> &event,
                                   const TLYMetadataSource &metadata) const
{
    // Written at once rather than queued behind the events recorded
    // meanwhile: the next event's size check must see this line, or a burst
    // of events would all land in one file far past the limit.
    TLYWriteEventOperation write(event, metadata, m_files->currentLogURL());
    write.start();
}

bool TLYEventLogWriter::shouldSubmitLogAtURL(const QUrl &url) const
{
    return TLYFileUtils::fileSizeAtURL(url) > m_limits.maximumPayloadSize;
}
