#pragma once

#include "TLYNetworkRetryHandler.h"
#include "TLYUploader.h"

#include "foundation/Operation.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QUrl>

#include <memory>
#include <mutex>
#include <optional>

class OperationQueue;

// The analytics controller's side of uploading packages: it makes the
// upload operations for the packages of the events folder, answers the
// uploader (the package of a name, whether a finished transfer is tried
// again, trust challenges) and deletes a package once its upload is over,
// sent or given up.
//
// Until there are settings that name the events endpoint, upload steps do
// nothing and their packages wait in the folder; uploadAllMultipartFiles()
// sends them when the endpoint is known. A package whose upload has begun
// and not yet ended (in flight, or waiting to be retried) is not sent again
// meanwhile.
//
// Used on the event queue, where the uploader also calls it. The queue
// belongs to the owner; once it has gone, nothing more is queued.
class TLYPackageUploads : public TLYUploaderDelegate,
                          public std::enable_shared_from_this<TLYPackageUploads>
{
public:
    static std::shared_ptr<TLYPackageUploads>
    create(const QUrl &eventDirectory, std::weak_ptr<OperationQueue> eventQueue, QString apiKey,
           std::shared_ptr<TLYNetworkRetryHandler> networkRetryHandler);
    TLYPackageUploads(const TLYPackageUploads &) = delete;
    TLYPackageUploads &operator=(const TLYPackageUploads &) = delete;

    const std::shared_ptr<TLYUploader> &uploader() const { return m_uploader; }
    const std::shared_ptr<TLYNetworkRetryHandler> &networkRetryHandler() const
    {
        return m_networkRetryHandler;
    }

    // Where packages go; none until the settings are known.
    std::optional<QUrl> tallyURL() const;
    void setTallyURL(const std::optional<QUrl> &url);

    // The upload step of a package, not yet queued. When it runs it sends
    // the package, unless there is no events endpoint yet.
    std::shared_ptr<Operation> uploadOperationForFileAtURL(const QUrl &packageURL,
                                                           const QString &boundary);
    // Queues an upload operation for each package.
    void uploadMultipartFiles(const QList<QUrl> &packages);
    // ... for every package in the events folder, oldest first.
    void uploadAllMultipartFiles();
    // The file name without its extension for a package file; a null
    // string for any other file.
    static QString boundaryFromURL(const QUrl &url);

    QString uploader(TLYUploader &uploader, const QString &filePathForUniqueName) override;
    void uploader(TLYUploader &uploader, const URLRequest &completedRequest,
                  const std::optional<URLResponse> &withResponse, const QString &uniqueName,
                  const Error &error, CompletionHandler completionHandler) override;
    void uploader(TLYUploader &uploader, const QString &didFinishUploadWithUniqueName,
                  const Error &error) override;
    bool answersChallenges() const override { return true; }
    void uploader(TLYUploader &uploader, const std::shared_ptr<TWLURLSession> &session,
                  const URLAuthenticationChallenge &didReceiveChallenge,
                  const URLSessionChallengeCompletionHandler &completionHandler) override;

private:
    TLYPackageUploads(const QUrl &eventDirectory, std::weak_ptr<OperationQueue> eventQueue,
                      QString apiKey, std::shared_ptr<TLYNetworkRetryHandler> networkRetryHandler);

    const QUrl m_eventDirectory;
    const std::weak_ptr<OperationQueue> m_eventQueue;
    const QString m_apiKey;
    const std::shared_ptr<TLYNetworkRetryHandler> m_networkRetryHandler;
    std::shared_ptr<TLYUploader> m_uploader;
    mutable std::mutex m_mutex; // guards the fields below
    std::optional<QUrl> m_tallyURL;
    // Packages whose upload has started and not yet ended for good: in
    // flight or waiting for a retry.
    QSet<QString> m_uploading;
};
