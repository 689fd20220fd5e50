#pragma once

#include "TLYMetadata.h"
#include "TLYTallyControllerInterface.h"

#include <QString>
#include <QUrl>

#include <memory>

class OperationQueue;
class TLYEventLogFiles;
class TLYMetadataSource;

// Records events into the log files until the analytics controller, with
// its settings, sampling and uploads, takes over. Every event becomes a line
// of the current log file; the file is rotated into a package when it has
// passed the size limit or when the event asks for it. Packages wait in the
// events folder.
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

    static inline const QString EventQueueName = QStringLiteral("io.tally.EventQueue");

    // Starts at once: the set-up (events folder, crash metadata, clean-up
    // of earlier executions' files) is the queue's first work.
    TLYEventLogWriter(QString rootDirectory, std::shared_ptr<const TLYMetadata> metadata,
                      Limits limits);
    TLYEventLogWriter(QString rootDirectory, std::shared_ptr<const TLYMetadata> metadata);
    // Waits for the queued work to run.
    ~TLYEventLogWriter() override;

    void logEvent(std::shared_ptr<const TLYEvent> event) override;
    void logCrashEvent(std::shared_ptr<const TLYCrashEvent> event) override;

    const QString &rootDirectory() const { return m_rootDirectory; }
    OperationQueue &eventQueue() const { return *m_eventQueue; }
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
    // Last, so that it is gone, with all its work done, before the fields
    // that its work uses.
    std::unique_ptr<OperationQueue> m_eventQueue;
};
