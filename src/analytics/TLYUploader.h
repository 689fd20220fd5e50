#pragma once

#include "foundation/Error.h"
#include "foundation/OperationQueue.h"
#include "support/TWLURLSession.h"

#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class TLYUploader;

// What the uploader asks of its owner, always on the uploader's queue.
class TLYUploaderDelegate
{
public:
    using CompletionHandler = std::function<void(bool retry, const Error &error)>;

    virtual ~TLYUploaderDelegate() = default;

    // The package file of a unique name.
    virtual QString uploader(TLYUploader &uploader, const QString &filePathForUniqueName) = 0;
    // A transfer has ended (error is its transport error, null for none):
    // should it be tried again? The answer may come later, from any thread.
    virtual void uploader(TLYUploader &uploader, const URLRequest &completedRequest,
                          const std::optional<URLResponse> &withResponse, const QString &uniqueName,
                          const Error &error, CompletionHandler completionHandler) = 0;
    // The package's upload is over for good, sent (null error) or given up.
    virtual void uploader(TLYUploader &uploader, const QString &didFinishUploadWithUniqueName,
                          const Error &error) = 0;
    // Whether the next operation answers server-trust challenges; when not,
    // the system's verdict applies.
    virtual bool answersChallenges() const { return false; }
    virtual void uploader(TLYUploader &uploader, const std::shared_ptr<TWLURLSession> &session,
                          const URLAuthenticationChallenge &didReceiveChallenge,
                          const URLSessionChallengeCompletionHandler &completionHandler)
    {
        Q_UNUSED(uploader);
        Q_UNUSED(session);
        Q_UNUSED(didReceiveChallenge);
        completionHandler(URLSessionAuthChallengeDisposition::PerformDefaultHandling, std::nullopt);
    }
};

// Sends package files to the events endpoint, one transfer per package:
// a package whose transfer is still in flight is not sent again meanwhile,
// and a transfer that the delegate wants retried starts anew from the file.
// Every end of a transfer goes to the delegate, which decides about retries
// and removes the package once its upload is over.
//
// All its work, and every delegate call, runs on its queue (the analytics
// event queue), so it is ordered with the rest of the pipeline. The queue
// belongs to the uploader's owner: once it has gone, nothing more happens.
class TLYUploader : public std::enable_shared_from_this<TLYUploader>
{
public:
    enum ErrorCode
    {
        InvalidArguments = -2,
        UnreadableFile = -8,
    };
    static inline const QString UniqueNameKey = QStringLiteral("TLYUploaderUniqueName");
    static inline const QString FilePathKey = QStringLiteral("NSFilePath");

    // Neither the queue nor the delegate is kept alive by the uploader.
    static std::shared_ptr<TLYUploader>
    uploaderWithQueue(std::weak_ptr<OperationQueue> queue,
                      std::weak_ptr<TLYUploaderDelegate> delegate);
    ~TLYUploader();
    TLYUploader(const TLYUploader &) = delete;
    TLYUploader &operator=(const TLYUploader &) = delete;

    std::shared_ptr<OperationQueue> operationQueue() const { return m_operationQueue.lock(); }

    // Sends the file at filePath as the body of request, unless a transfer
    // named uniqueName is in flight.
    void startUploadRequest(const URLRequest &request, const QString &filePath,
                            const QString &uniqueName);
    // Background transfers do not exist here: block runs at once, on the
    // queue.
    void attemptToReconnectBackgroundSessionWithCompletionBlock(std::function<void()> block);

    // Resource time-outs, in seconds; the next session takes a new value.
    double defaultUploadTimeout() const;
    void setDefaultUploadTimeout(double seconds);
    double lowPowerUploadTimeout() const;
    void setLowPowerUploadTimeout(double seconds);
    // There is no thermal state to read here: always the nominal one.
    bool lowPowerMode() const { return false; }
    static bool supportsThermalNotifications() { return false; }
    bool supportsBackgroundRequests() const { return false; }

    // The session of the transfers, made on first use; queue only.
    std::shared_ptr<TWLURLSession> session();
    // Cancels every transfer; none of them is reported, and no more start.
    void invalidate();

    static Error errorWithCode(int code, const QVariantMap &userInfo);
    static QVariantMap errorUserInfoWithFilePath(const QString &filePath,
                                                 const QString &uniqueName);

private:
    class SessionDelegate;
    TLYUploader(std::weak_ptr<OperationQueue> queue, std::weak_ptr<TLYUploaderDelegate> delegate);
    // Runs work on the queue, unless the queue has gone.
    void onQueue(std::function<void()> work) const;

    void startNewUploadRequest(const URLRequest &request, const QString &filePath,
                               const QString &uniqueName);
    void checkForExistingTaskMatchingDescription(const QString &description,
                                                 std::function<void(bool exists)> completionBlock);
    static bool taskArrayHasTaskMatchingDescription(const TWLURLSession::TaskList &tasks,
                                                    const QString &description);
    void restartTask(const std::shared_ptr<TWLURLSessionTask> &task);
    void handleTaskCompleted(const std::shared_ptr<TWLURLSessionTask> &task, const Error &error);
    void handleTaskDescriptionCompleted(const QString &description, const Error &error);
    void taskDidComplete(const std::shared_ptr<TWLURLSessionTask> &task, const Error &error);
    void didReceiveChallenge(const std::shared_ptr<TWLURLSession> &session,
                             const URLAuthenticationChallenge &challenge,
                             const URLSessionChallengeCompletionHandler &completionHandler);
    void dropSession();

    // Not owned: a queue released by its own last operation could not end.
    const std::weak_ptr<OperationQueue> m_operationQueue;
    const std::weak_ptr<TLYUploaderDelegate> m_delegate;

    mutable std::mutex m_mutex; // guards the fields below
    double m_defaultUploadTimeout = 3600;
    double m_lowPowerUploadTimeout = 21600;
    std::shared_ptr<TWLURLSession> m_session;
    bool m_invalidated = false;
};
