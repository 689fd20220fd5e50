#pragma once

#include "TLYMetadata.h"
#include "TLYSettings.h"
#include "TLYTallyControllerInterface.h"

#include <QString>
#include <QUrl>

#include <memory>

class OperationQueue;
class TLYEventLogFiles;
class TLYMetadataSource;
class TLYNetworkRetryHandler;
class TLYPackageUploads;

// Records events into the log files and uploads their packages until the
// analytics controller, with its sampling, lifecycle and switching off,
// takes over. Every event becomes a line of the current log file; the file
// is rotated into a package when it has passed the size limit or when the
// event asks for it. Packages wait in the events folder until settings
// name the events endpoint; then they, and every later one, are uploaded.
//
// All its work runs on its serial event queue; the recording calls come
// from any thread and only queue work.
class TLYEventLogWriter : public TLYTallyControllerInterface
{
public:
    struct Limits
    {
        // A log file is rotated once it has grown past this many bytes.
        qint64 maximumPayloadSize = 8000;
        // Packages kept when they cannot be sent; the oldest go first.
        int maxPendingSendFiles = 100;
    };

    // How packages reach the events service.
    struct Uploading
    {
        QString APIKey;
        // Retries and pinning; the kit's own when null.
        std::shared_ptr<TLYNetworkRetryHandler> networkRetryHandler;
    };

    static inline const QString EventQueueName = QStringLiteral("io.tally.EventQueue");

    // Starts at once: the set-up (events folder, crash metadata, clean-up
    // of earlier executions' files) is the queue's first work.
    TLYEventLogWriter(QString rootDirectory, std::shared_ptr<const TLYMetadata> metadata,
                      Limits limits, Uploading uploading);
    TLYEventLogWriter(QString rootDirectory, std::shared_ptr<const TLYMetadata> metadata,
                      Limits limits);
    TLYEventLogWriter(QString rootDirectory, std::shared_ptr<const TLYMetadata> metadata);
    // Waits for the queued work to run and cancels the uploads in flight.
    ~TLYEventLogWriter() override;

    void logEvent(std::shared_ptr<const TLYEvent> event) override;
    void logCrashEvent(std::shared_ptr<const TLYCrashEvent> event) override;

    // Applies the SDK's settings once per execution (later ones are
    // ignored, as is a missing dictionary): with analytics on, the packages
    // in the folder, and all later ones, are uploaded to the settings'
    // events endpoint. Returns at once; the work runs on the event queue.
    void initializeSettingsIfNeededWithOrrerySettings(
        const std::optional<QVariantMap> &settingsDictionary);

    const QString &rootDirectory() const { return m_rootDirectory; }
    OperationQueue &eventQueue() const { return *m_eventQueue; }
    const std::shared_ptr<TLYPackageUploads> &uploads() const { return m_uploads; }
    // Blocks until everything queued so far, and all it queued, has run.
    void waitUntilIdle() const;

private:
    void setUp();
    void enqueueEvent(const std::shared_ptr<const TLYEvent> &event);
    void writeEvent(const std::shared_ptr<const TLYEvent> &event,
                    const TLYMetadataSource &metadata) const;
    bool shouldSubmitLogAtURL(const QUrl &url) const;

    const QString m_rootDirectory;
    const std::shared_ptr<const TLYMetadata> m_metadata;
    const Limits m_limits;
    // Made by the set-up; used on the event queue only.
    std::unique_ptr<TLYEventLogFiles> m_files;
    std::shared_ptr<const TLYCrashMetadata> m_previousExecutionMetadata;
    TLYSettings m_settings;
    // Uses the event queue, which it shares with the uploads' session.
    std::shared_ptr<TLYPackageUploads> m_uploads;
    // Last, so that it is gone, with all its work done, before the fields
    // that its work uses.
    std::shared_ptr<OperationQueue> m_eventQueue;
};
