#include "TLYPackageUploads.h"

#include "TLYFileUtils.h"
#include "TLYLogger.h"
#include "TLYPackageLogOperation.h"
#include "TLYUploadOperation.h"

#include "foundation/OperationQueue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

std::shared_ptr<TLYPackageUploads>
TLYPackageUploads::create(const QUrl &eventDirectory, std::weak_ptr<OperationQueue> eventQueue,
                          QString apiKey,
                          std::shared_ptr<TLYNetworkRetryHandler> networkRetryHandler)
{
    std::shared_ptr<TLYPackageUploads> uploads(new TLYPackageUploads(
        eventDirectory, std::move(eventQueue), std::move(apiKey), std::move(networkRetryHandler)));
    uploads->m_uploader = TLYUploader::uploaderWithQueue(uploads->m_eventQueue, uploads);
    return uploads;
}

TLYPackageUploads::TLYPackageUploads(const QUrl &eventDirectory,
                                     std::weak_ptr<OperationQueue> eventQueue, QString apiKey,
                                     std::shared_ptr<TLYNetworkRetryHandler> networkRetryHandler)
    : m_eventDirectory(eventDirectory)
    , m_eventQueue(std::move(eventQueue))
    , m_apiKey(std::move(apiKey))
    , m_networkRetryHandler(networkRetryHandler ? std::move(networkRetryHandler)
                                                : std::make_shared<TLYNetworkRetryHandler>())
{}

std::optional<QUrl> TLYPackageUploads::tallyURL() const
{
    std::lock_guard lock(m_mutex);
    return m_tallyURL;
}

void TLYPackageUploads::setTallyURL(const std::optional<QUrl> &url)
{
    std::lock_guard lock(m_mutex);
    m_tallyURL = url;
}

std::shared_ptr<Operation> TLYPackageUploads::uploadOperationForFileAtURL(const QUrl &packageURL,
                                                                          const QString &boundary)
{
    // The endpoint is looked up when the step runs, not when it is made: a
    // chain made before the settings arrived and packaged after them still
    // sends its package.
    return BlockOperation::create([weakSelf = weak_from_this(), packageURL, boundary] {
        const auto self = weakSelf.lock();
        const std::optional<QUrl> url = self ? self->tallyURL() : std::nullopt;
        if (!url)
            return; // the package waits for the settings
        // A package waiting for its retry has no transfer that the session
        // would find: without this, it would be sent a second time.
        const QString name = QFileInfo(packageURL.toLocalFile()).completeBaseName();
        {
            std::lock_guard lock(self->m_mutex);
            if (self->m_uploading.contains(name)) {
                TLYLogger::sharedLogger().logWithLabel(
                    QStringLiteral("TLYUploader"),
                    QStringLiteral("A task currently exists for '%1', skipping").arg(name));
                return;
            }
            self->m_uploading.insert(name);
        }
        std::make_shared<TLYUploadOperation>(self->m_uploader, *url, self->m_apiKey, packageURL,
                                             boundary)
            ->start();
    });
}

void TLYPackageUploads::uploadMultipartFiles(const QList<QUrl> &packages)
{
    const std::shared_ptr<OperationQueue> queue = m_eventQueue.lock();
    if (!queue)
        return;
    for (const QUrl &package : packages)
        queue->addOperation(uploadOperationForFileAtURL(package, boundaryFromURL(package)));
}

void TLYPackageUploads::uploadAllMultipartFiles()
{
    QList<std::pair<QDateTime, QUrl>> dated;
    for (const QUrl &package : TLYFileUtils::filesWithExtension(
             TLYPackageLogOperation::PackageExtension, m_eventDirectory))
        dated.append({TLYFileUtils::fileCreatedDateAtURL(package, QDateTime()), package});
    std::sort(dated.begin(), dated.end(), [](const auto &a, const auto &b) {
        return a.first != b.first ? a.first < b.first : a.second.path() < b.second.path();
    });
    QList<QUrl> packages;
    for (const auto &entry : dated)
        packages.append(entry.second);
    uploadMultipartFiles(packages);
}

QString TLYPackageUploads::boundaryFromURL(const QUrl &url)
{
    const QFileInfo file(url.toLocalFile());
    return file.suffix() == TLYPackageLogOperation::PackageExtension ? file.completeBaseName()
                                                                     : QString();
}

QString TLYPackageUploads::uploader(TLYUploader &, const QString &uniqueName)
{
    return QDir(m_eventDirectory.toLocalFile())
        .filePath(uniqueName + QLatin1Char('.') + TLYPackageLogOperation::PackageExtension);
}

void TLYPackageUploads::uploader(TLYUploader &, const URLRequest &completedRequest,
                                 const std::optional<URLResponse> &response,
                                 const QString &uniqueName, const Error &error,
                                 CompletionHandler completionHandler)
{
    m_networkRetryHandler->handleCompletedRequest(
        completedRequest, response, uniqueName, error,
        [uniqueName, error,
         completionHandler = std::move(completionHandler)](bool retry, const Error &outcome) {
            const TLYLogger &logger = TLYLogger::sharedLogger();
            if (!error.isNull())
                logger.log(QStringLiteral("Error transmitting '%1': %2")
                               .arg(uniqueName, error.localizedDescription()));
            if (retry)
                logger.log(QStringLiteral("Scheduling retry for '%1'.").arg(uniqueName));
            completionHandler(retry, outcome);
        });
}

void TLYPackageUploads::uploader(TLYUploader &uploader, const QString &uniqueName,
                                 const Error &error)
{
    const TLYLogger &logger = TLYLogger::sharedLogger();
    if (!error.isNull())
        logger.log(QStringLiteral("Failed to upload '%1': %2")
                       .arg(uniqueName, error.localizedDescription()));
    logger.log(QStringLiteral("Finished transmission of '%1'.").arg(uniqueName));
    {
        std::lock_guard lock(m_mutex);
        m_uploading.remove(uniqueName);
    }
    // Sent or given up, the package has had its chance.
    if (!uniqueName.isEmpty())
        QFile::remove(this->uploader(uploader, uniqueName));
}

void TLYPackageUploads::uploader(TLYUploader &, const std::shared_ptr<TWLURLSession> &session,
                                 const URLAuthenticationChallenge &challenge,
                                 const URLSessionChallengeCompletionHandler &completionHandler)
{
    m_networkRetryHandler->handleChallenge(challenge, session.get(), completionHandler);
}
