#include "TLYEventLogFiles.h"

#include "TLYActivity.h"
#include "TLYApplication.h"
#include "TLYCleanupFilesOperation.h"
#include "TLYCompressLogOperation.h"
#include "TLYFileUtils.h"
#include "TLYLogger.h"
#include "TLYPackageLogOperation.h"

#include "foundation/OperationQueue.h"
#include "foundation/Uuid.h"
#include "sdk/ORRMultipartMimeStreamEncoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

namespace {

void logInvalidExtension(const QUrl &url, const QString &expected)
{
    const QString extension = QFileInfo(url.toLocalFile()).suffix();
    if (extension != expected)
        TLYLogger::sharedLogger().log(
            QStringLiteral(
                "Error: attempted to submit file with invalid extension %1, should be %2")
                .arg(extension, expected));
}

// Oldest first, so that chains resume in the order their events happened.
QList<QUrl> byAge(const QSet<QUrl> &urls)
{
    QList<std::pair<QDateTime, QUrl>> dated;
    for (const QUrl &url : urls)
        dated.append({TLYFileUtils::fileCreatedDateAtURL(url, QDateTime()), url});
    std::sort(dated.begin(), dated.end(), [](const auto &a, const auto &b) {
        return a.first != b.first ? a.first < b.first : a.second.path() < b.second.path();
    });
    QList<QUrl> sorted;
    for (const auto &entry : dated)
        sorted.append(entry.second);
    return sorted;
}

} // namespace

QString TLYEventLogFiles::rootDirectory()
{
    return rootDirectoryForBundleIdentifier(
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation),
        TLYApplication::hostApplication().bundleIdentifier());
}

QString TLYEventLogFiles::rootDirectoryForBundleIdentifier(const QString &cachesDirectory,
                                                           const QString &bundleIdentifier)
{
    QString bundle = bundleIdentifier;
    bundle.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QDir(cachesDirectory)
        .filePath(QStringLiteral("com.tarnwell.data/%1/analytics/v2").arg(bundle));
}

QString TLYEventLogFiles::eventDirectoryForRootDirectory(const QString &rootDirectory)
{
    return QDir(rootDirectory).filePath(QStringLiteral("events"));
}

QString TLYEventLogFiles::crashMetadataPathForRootDirectory(const QString &rootDirectory)
{
    return QDir(rootDirectory).filePath(QStringLiteral("crash_metadata"));
}

TLYEventLogFiles::TLYEventLogFiles(const QString &eventDirectory, OperationQueue &eventQueue)
    : m_rootEventDirectory(QUrl::fromLocalFile(eventDirectory))
    , m_eventQueue(eventQueue)
{
    QDir().mkpath(eventDirectory);
    m_currentLogURL = generateNewLogPath();
}

QUrl TLYEventLogFiles::generateNewLogPath() const
{
    return QUrl::fromLocalFile(
        QDir(m_rootEventDirectory.toLocalFile()).filePath(uuidText() + QStringLiteral(".log")));
}

QUrl TLYEventLogFiles::multipartMimeURLWithBoundary(const QString &boundary) const
{
    return QUrl::fromLocalFile(
        QDir(m_rootEventDirectory.toLocalFile())
            .filePath(boundary + QLatin1Char('.') + TLYPackageLogOperation::PackageExtension));
}

void TLYEventLogFiles::setUploadOperationFactory(UploadOperationFactory factory)
{
    m_uploadOperationFactory = std::move(factory);
}

void TLYEventLogFiles::setMaximumPendingMultipartFiles(int maximum)
{
    m_maximumPendingMultipartFiles = maximum;
}

void TLYEventLogFiles::rotateAndSubmitCurrentLog()
{
    // Quitting waits until the chain has run.
    const auto activity = TLYActivityOperation::operationByStartingActivityName(
        RotateActivityName, TLYActivity::RotateOptions);
    const QUrl old = m_currentLogURL;
    m_currentLogURL = generateNewLogPath();
    const auto chain = operationsForUncompressedLog(old);
    for (const auto &operation : chain)
        activity->addDependency(operation);
    queueChain(chain);
    m_eventQueue.addOperation(activity);
}

std::vector<std::shared_ptr<Operation>>
TLYEventLogFiles::operationsForUncompressedLog(const QUrl &logURL)
{
    logInvalidExtension(logURL, QStringLiteral("log"));
    const QUrl compressedURL = TLYCompressLogOperation::compressedURLForUncompressedURL(logURL);
    auto compress = std::make_shared<TLYCompressLogOperation>(logURL, compressedURL);
    // The log goes once its events are safe in the compressed file (or it
    // had none); a failed compression keeps it for the next start.
    compress->setCompletionBlock([weak = std::weak_ptr(compress), logURL] {
        if (const auto operation = weak.lock(); operation && operation->logFileDone())
            QFile::remove(logURL.toLocalFile());
    });
    std::vector<std::shared_ptr<Operation>> chain{compress};
    const auto package = packageOperation(compressedURL);
    package->addDependency(compress);
    chain.push_back(package);
    const auto *packageStep = static_cast<const TLYPackageLogOperation *>(package.get());
    addUploadStep(chain, packageStep->packagedLogURL(), packageStep->multipartMimeBoundary());
    return chain;
}

std::vector<std::shared_ptr<Operation>>
TLYEventLogFiles::operationsForCompressedLog(const QUrl &compressedURL)
{
    logInvalidExtension(compressedURL, QStringLiteral("gz"));
    const auto package = packageOperation(compressedURL);
    std::vector<std::shared_ptr<Operation>> chain{package};
    const auto *packageStep = static_cast<const TLYPackageLogOperation *>(package.get());
    addUploadStep(chain, packageStep->packagedLogURL(), packageStep->multipartMimeBoundary());
    return chain;
}

std::shared_ptr<Operation> TLYEventLogFiles::packageOperation(const QUrl &compressedURL)
{
    const QString boundary = ORRMultipartMimeStreamEncoder::generateBoundary();
    auto package = std::make_shared<TLYPackageLogOperation>(
        compressedURL, multipartMimeURLWithBoundary(boundary), boundary);
    // The compressed file goes once the package is complete; then the
    // folder is held to the maximum number of packages, newest kept.
    package->setCompletionBlock([weak = std::weak_ptr(package), compressedURL,
                                 directory = m_rootEventDirectory,
                                 maximum = m_maximumPendingMultipartFiles] {
        const auto operation = weak.lock();
        if (!operation || !operation->compressedFileDone())
            return;
        QFile::remove(compressedURL.toLocalFile());
        const QSet<QUrl> packages =
            TLYFileUtils::filesWithExtension(TLYPackageLogOperation::PackageExtension, directory);
        TLYCleanupFilesOperation::URLsByRemovingOldFiles(packages.values(), maximum);
    });
    return package;
}

void TLYEventLogFiles::addUploadStep(std::vector<std::shared_ptr<Operation>> &chain,
                                     const QUrl &packageURL, const QString &boundary)
{
    if (!m_uploadOperationFactory)
        return;
    if (auto upload = m_uploadOperationFactory(packageURL, boundary)) {
        upload->addDependency(chain.back());
        chain.push_back(std::move(upload));
    }
}

void TLYEventLogFiles::queueChain(const std::vector<std::shared_ptr<Operation>> &chain)
{
    for (const auto &operation : chain)
        m_eventQueue.addOperation(operation);
}

void TLYEventLogFiles::cleanupAndProcessExistingFiles(PackagesHandler uploadPackages)
{
    auto cleanup = std::make_shared<TLYCleanupFilesOperation>(m_rootEventDirectory,
                                                              m_maximumPendingMultipartFiles);
    cleanup->setSuccessBlock(
        [this, uploadPackages = std::move(uploadPackages)](
            const QSet<QUrl> &logs, const QSet<QUrl> &compressed, const QSet<QUrl> &packages) {
            for (const QUrl &log : byAge(logs)) {
                // The current log file belongs to this execution, not to a chain.
                if (log != m_currentLogURL)
                    queueChain(operationsForUncompressedLog(log));
            }
            for (const QUrl &gz : byAge(compressed))
                queueChain(operationsForCompressedLog(gz));
            if (uploadPackages)
                uploadPackages(packages);
        });
    // Taken at once: queued behind the events recorded meanwhile, it would
    // find this execution's rotated log files and send them down a second
    // chain.
    cleanup->start();
}
