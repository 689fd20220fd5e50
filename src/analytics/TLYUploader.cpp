#include "TLYUploader.h"

#include "TLYLogger.h"

#include "sdk/ORRNetworkResponseHandler.h"

#include <QFileInfo>

// Hands the session's events to the uploader while it lives. A session
// whose uploader has gone refuses every server it is asked about.
class TLYUploader::SessionDelegate : public TWLURLSessionDelegate
{
public:
    using TWLURLSessionDelegate::URLSession;

    explicit SessionDelegate(std::weak_ptr<TLYUploader> uploader)
        : m_uploader(std::move(uploader))
    {}

    bool respondsToSelector(Selector selector) const override
    {
        return selector == Selector::TaskDidComplete || selector == Selector::DidReceiveChallenge;
    }

    void URLSession(const Session &, const std::shared_ptr<TWLURLSessionTask> &task,
                    const Error &error) override
    {
        if (const auto uploader = m_uploader.lock())
            uploader->taskDidComplete(task, error);
    }

    void URLSession(const Session &session, const URLAuthenticationChallenge &challenge,
                    const URLSessionChallengeCompletionHandler &completionHandler) override
    {
        if (const auto uploader = m_uploader.lock())
            uploader->didReceiveChallenge(session, challenge, completionHandler);
        else
            completionHandler(URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge,
                              std::nullopt);
    }

private:
    const std::weak_ptr<TLYUploader> m_uploader;
};

std::shared_ptr<TLYUploader>
TLYUploader::uploaderWithQueue(std::weak_ptr<OperationQueue> queue,
                               std::weak_ptr<TLYUploaderDelegate> delegate)
{
    return std::shared_ptr<TLYUploader>(new TLYUploader(std::move(queue), std::move(delegate)));
}

TLYUploader::TLYUploader(std::weak_ptr<OperationQueue> queue,
                         std::weak_ptr<TLYUploaderDelegate> delegate)
    : m_operationQueue(std::move(queue))
    , m_delegate(std::move(delegate))
{}

void TLYUploader::onQueue(std::function<void()> work) const
{
    if (const std::shared_ptr<OperationQueue> queue = m_operationQueue.lock())
        queue->addOperationWithBlock(std::move(work));
}

TLYUploader::~TLYUploader()
{
    invalidate();
}

void TLYUploader::startUploadRequest(const URLRequest &request, const QString &filePath,
                                     const QString &uniqueName)
{
    auto self = shared_from_this();
    onQueue([self, request, filePath, uniqueName] {
        self->checkForExistingTaskMatchingDescription(uniqueName, [self, request, filePath,
                                                                   uniqueName](bool exists) {
            if (exists) {
                TLYLogger::sharedLogger().logWithLabel(
                    QStringLiteral("TLYUploader"),
                    QStringLiteral("A task currently exists for '%1', skipping").arg(uniqueName));
                return;
            }
            self->startNewUploadRequest(request, filePath, uniqueName);
        });
    });
}

void TLYUploader::checkForExistingTaskMatchingDescription(
    const QString &description, std::function<void(bool exists)> completionBlock)
{
    const std::shared_ptr<TWLURLSession> current = session();
    if (!current) {
        completionBlock(false);
        return;
    }
    // The session lists the transfers really in flight, on this queue.
    current->getTasksWithCompletionHandler(
        [description, completionBlock = std::move(completionBlock)](
            const TWLURLSession::TaskList &dataTasks, const TWLURLSession::TaskList &uploadTasks,
            const TWLURLSession::TaskList &downloadTasks) {
            completionBlock(taskArrayHasTaskMatchingDescription(uploadTasks, description) ||
                            taskArrayHasTaskMatchingDescription(dataTasks, description) ||
                            taskArrayHasTaskMatchingDescription(downloadTasks, description));
        });
}

bool TLYUploader::taskArrayHasTaskMatchingDescription(const TWLURLSession::TaskList &tasks,
                                                      const QString &description)
{
    return std::any_of(tasks.begin(), tasks.end(),
                       [&](const auto &task) { return task->taskDescription() == description; });
}

void TLYUploader::startNewUploadRequest(const URLRequest &request, const QString &filePath,
                                        const QString &uniqueName)
{
    if (!request.url().isValid() || request.url().isRelative() || filePath.isEmpty() ||
        uniqueName.isEmpty()) {
        handleTaskDescriptionCompleted(
            uniqueName,
            errorWithCode(InvalidArguments, errorUserInfoWithFilePath(filePath, uniqueName)));
        return;
    }
    const QFileInfo file(filePath);
    if (!file.isFile() || !file.isReadable()) {
        handleTaskDescriptionCompleted(
            uniqueName,
            errorWithCode(UnreadableFile, errorUserInfoWithFilePath(filePath, uniqueName)));
        return;
    }
    const std::shared_ptr<TWLURLSession> current = session();
    const auto task =
        current ? current->uploadTaskWithRequest(request, QUrl::fromLocalFile(filePath)) : nullptr;
    if (!task)
        return; // invalidated: nothing starts any more
    task->setTaskDescription(uniqueName);
    task->resume();
}

void TLYUploader::taskDidComplete(const std::shared_ptr<TWLURLSessionTask> &task,
                                  const Error &error)
{
    const std::shared_ptr<TLYUploaderDelegate> delegate = m_delegate.lock();
    {
        std::lock_guard lock(m_mutex);
        if (m_invalidated || !delegate)
            return;
    }
    std::weak_ptr<TLYUploader> weakSelf = weak_from_this();
    delegate->uploader(
        *this, task->originalRequest(), task->response(), task->taskDescription(), error,
        [weakSelf, task](bool retry, const Error &outcome) {
            const auto self = weakSelf.lock();
            if (!self)
                return;
            if (retry) {
                TLYLogger::sharedLogger().log(
                    QStringLiteral("Retrying task with name %1").arg(task->taskDescription()));
                self->restartTask(task);
            } else {
                self->handleTaskCompleted(task, outcome);
            }
        });
}

void TLYUploader::restartTask(const std::shared_ptr<TWLURLSessionTask> &task)
{
    auto self = shared_from_this();
    onQueue([self, task] {
        const QString name = task->taskDescription();
        const auto delegate = self->m_delegate.lock();
        if (!delegate)
            return;
        self->startUploadRequest(task->originalRequest(), delegate->uploader(*self, name), name);
    });
}

void TLYUploader::handleTaskCompleted(const std::shared_ptr<TWLURLSessionTask> &task,
                                      const Error &error)
{
    const QString name = task->taskDescription();
    if (OperationQueue::currentQueue() == m_operationQueue.lock().get()) {
        handleTaskDescriptionCompleted(name, error);
        return;
    }
    auto self = shared_from_this();
    onQueue([self, name, error] { self->handleTaskDescriptionCompleted(name, error); });
}

void TLYUploader::handleTaskDescriptionCompleted(const QString &description, const Error &error)
{
    if (const auto delegate = m_delegate.lock())
        delegate->uploader(*this, description, error);
}

void TLYUploader::didReceiveChallenge(const std::shared_ptr<TWLURLSession> &session,
                                      const URLAuthenticationChallenge &challenge,
                                      const URLSessionChallengeCompletionHandler &completionHandler)
{
    const auto delegate = m_delegate.lock();
    if (delegate && delegate->answersChallenges())
        delegate->uploader(*this, session, challenge, completionHandler);
    else
        completionHandler(URLSessionAuthChallengeDisposition::PerformDefaultHandling, std::nullopt);
}

void TLYUploader::attemptToReconnectBackgroundSessionWithCompletionBlock(
    std::function<void()> block)
{
    onQueue(std::move(block));
}

double TLYUploader::defaultUploadTimeout() const
{
    std::lock_guard lock(m_mutex);
    return m_defaultUploadTimeout;
}

void TLYUploader::setDefaultUploadTimeout(double seconds)
{
    auto self = shared_from_this();
    onQueue([self, seconds] {
        {
            std::lock_guard lock(self->m_mutex);
            self->m_defaultUploadTimeout = seconds;
        }
        self->dropSession();
    });
}

double TLYUploader::lowPowerUploadTimeout() const
{
    std::lock_guard lock(m_mutex);
    return m_lowPowerUploadTimeout;
}

void TLYUploader::setLowPowerUploadTimeout(double seconds)
{
    auto self = shared_from_this();
    onQueue([self, seconds] {
        {
            std::lock_guard lock(self->m_mutex);
            self->m_lowPowerUploadTimeout = seconds;
        }
        self->dropSession();
    });
}

std::shared_ptr<TWLURLSession> TLYUploader::session()
{
    const std::shared_ptr<OperationQueue> queue = m_operationQueue.lock();
    std::lock_guard lock(m_mutex);
    if (!m_session && !m_invalidated && queue) {
        TWLURLSessionConfiguration configuration =
            TWLURLSessionConfiguration::defaultSessionConfiguration();
        configuration.setAllowsCellularAccess(!lowPowerMode());
        configuration.setTimeoutIntervalForResource(lowPowerMode() ? m_lowPowerUploadTimeout
                                                                   : m_defaultUploadTimeout);
        m_session = TWLURLSession::sessionWithConfiguration(
            configuration, std::make_shared<SessionDelegate>(weak_from_this()), queue);
    }
    return m_session;
}

void TLYUploader::dropSession()
{
    // Transfers of the old session run on and are still reported; the next
    // transfer makes a session with the new values.
    std::lock_guard lock(m_mutex);
    m_session.reset();
}

void TLYUploader::invalidate()
{
    std::shared_ptr<TWLURLSession> session;
    {
        std::lock_guard lock(m_mutex);
        m_invalidated = true;
        session = std::move(m_session);
    }
    if (session)
        session->invalidateAndCancel();
}

Error TLYUploader::errorWithCode(int code, const QVariantMap &userInfo)
{
    return ORRNetworkResponseHandler::errorForCode(code, userInfo);
}

QVariantMap TLYUploader::errorUserInfoWithFilePath(const QString &filePath,
                                                   const QString &uniqueName)
{
    const QString none = QStringLiteral("(null)");
    return {{FilePathKey, filePath.isEmpty() ? none : filePath},
            {UniqueNameKey, uniqueName.isEmpty() ? none : uniqueName}};
}
