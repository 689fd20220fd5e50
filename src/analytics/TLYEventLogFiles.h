#pragma once

#include "foundation/Operation.h"

#include <QSet>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <vector>

class OperationQueue;

// The events folder: which log file is current, and the chain of steps that
// takes every rotated log file to a package ready to upload:
//
//   U.log --compress--> U.gz --package--> B.multipartmime --upload--> (gone)
//
// Each step deletes its input once its output is complete, so the folder
// only holds the current log file and the files of unfinished chains; a
// start resumes each of those at its step. A step that fails keeps its
// input for the next start. After each packaging, and at start, packages
// beyond the maximum are trimmed to the newest: that bounds the folder when
// packages cannot be sent.
//
// The analytics controller owns one and uses it on its event queue only;
// the queue must have run everything it was given before this goes away.
class TLYEventLogFiles
{
public:
    // The upload step of a chain: an operation that sends the package, or
    // null while there is nothing to send it with (the package then waits).
    using UploadOperationFactory =
        std::function<std::shared_ptr<Operation>(const QUrl &packageURL, const QString &boundary)>;
    // Receives the packages left from earlier executions, after the start-up
    // clean-up, on the event queue.
    using PackagesHandler = std::function<void(const QSet<QUrl> &packages)>;

    static constexpr int DefaultMaximumPendingMultipartFiles = 100;
    static inline const QString RotateActivityName = QStringLiteral("io.tally.RotateAndSubmit");

    // caches/"com.tarnwell.data"/bundle identifier/"analytics"/"v2", in the
    // user's cache folder (XDG).
    static QString rootDirectory();
    static QString rootDirectoryForBundleIdentifier(const QString &cachesDirectory,
                                                    const QString &bundleIdentifier);
    static QString eventDirectoryForRootDirectory(const QString &rootDirectory);
    static QString crashMetadataPathForRootDirectory(const QString &rootDirectory);

    // Creates the events folder; the current log file is a new path, made
    // on disk by the first event written to it.
    TLYEventLogFiles(const QString &eventDirectory, OperationQueue &eventQueue);
    TLYEventLogFiles(const TLYEventLogFiles &) = delete;
    TLYEventLogFiles &operator=(const TLYEventLogFiles &) = delete;

    QUrl rootEventDirectory() const { return m_rootEventDirectory; }
    const QUrl &currentLogURL() const { return m_currentLogURL; }
    // events/new UUID.log
    QUrl generateNewLogPath() const;
    // events/boundary.multipartmime
    QUrl multipartMimeURLWithBoundary(const QString &boundary) const;

    void setUploadOperationFactory(UploadOperationFactory factory);
    int maximumPendingMultipartFiles() const { return m_maximumPendingMultipartFiles; }
    void setMaximumPendingMultipartFiles(int maximum);

    // Makes a new log file current and queues the chain of the old one.
    void rotateAndSubmitCurrentLog();
    // [compress, package, upload], linked by dependencies, not yet queued;
    // without an upload step [compress, package].
    std::vector<std::shared_ptr<Operation>> operationsForUncompressedLog(const QUrl &logURL);
    // [package, upload] for a compressed file left by an earlier execution.
    std::vector<std::shared_ptr<Operation>> operationsForCompressedLog(const QUrl &compressedURL);
    // Cleans up what earlier executions left, at once: call it on the event
    // queue before this execution writes its first event. The chains of
    // their log and compressed files are queued and their packages handed
    // to uploadPackages.
    void cleanupAndProcessExistingFiles(PackagesHandler uploadPackages = {});

private:
    std::shared_ptr<Operation> packageOperation(const QUrl &compressedURL);
    void addUploadStep(std::vector<std::shared_ptr<Operation>> &chain, const QUrl &packageURL,
                       const QString &boundary);
    void queueChain(const std::vector<std::shared_ptr<Operation>> &chain);

    const QUrl m_rootEventDirectory;
    OperationQueue &m_eventQueue;
    QUrl m_currentLogURL;
    UploadOperationFactory m_uploadOperationFactory;
    int m_maximumPendingMultipartFiles = DefaultMaximumPendingMultipartFiles;
};
