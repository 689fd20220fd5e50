#include "TWLURLSession.h"

#include "NetworkThread.h"

#include <QAuthenticator>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <chrono>
#include <thread>

namespace {

// How long a transfer waits for its delegate to answer a challenge before
// it gives up on the connection.
constexpr std::chrono::seconds ChallengeAnswerTimeout(60);

// The answer to one challenge, handed to the network thread once, by
// whoever gives it first. Let go without an answer, it refuses.
class PendingChallengeAnswer
{
public:
    explicit PendingChallengeAnswer(URLSessionChallengeCompletionHandler answer)
        : m_answer(std::move(answer))
    {}
    ~PendingChallengeAnswer()
    {
        deliver(URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge, std::nullopt);
    }
    PendingChallengeAnswer(const PendingChallengeAnswer &) = delete;
    PendingChallengeAnswer &operator=(const PendingChallengeAnswer &) = delete;

    void deliver(URLSessionAuthChallengeDisposition disposition,
                 std::optional<URLCredential> credential)
    {
        URLSessionChallengeCompletionHandler answer;
        {
            std::lock_guard lock(m_mutex);
            answer = std::exchange(m_answer, {});
        }
        if (answer) {
            NetworkThread::shared().post(
                [answer = std::move(answer), disposition, credential = std::move(credential)] {
                    answer(disposition, credential);
                });
        }
    }

private:
    std::mutex m_mutex;
    URLSessionChallengeCompletionHandler m_answer;
};

} // namespace

std::shared_ptr<TWLURLSession> TWLURLSession::sessionWithConfiguration(
    const std::optional<TWLURLSessionConfiguration> &configuration,
    std::shared_ptr<TWLURLSessionDelegate> delegate, std::shared_ptr<OperationQueue> delegateQueue)
{
    if (!configuration)
        return nullptr;
    if (!delegateQueue)
        delegateQueue = newDefaultDelegateQueue();
    std::shared_ptr<TWLURLSession> session(
        new TWLURLSession(*configuration, std::move(delegate), std::move(delegateQueue)));
    // Once the network thread has shut down, there is no session to be had.
    if (!session->m_manager)
        return nullptr;
    session->connectManager();
    return session;
}

std::shared_ptr<OperationQueue> TWLURLSession::newDefaultDelegateQueue()
{
    static const char classTag = 0;
    const QString name = QStringLiteral("TWLURLSession %1")
                             .arg(QStringLiteral("0x%1").arg(quintptr(&classTag), 0, 16));
    return std::make_shared<OperationQueue>(name, 1);
}

TWLURLSession::TWLURLSession(const TWLURLSessionConfiguration &configuration,
                             std::shared_ptr<TWLURLSessionDelegate> delegate,
                             std::shared_ptr<OperationQueue> delegateQueue)
    : m_configuration(configuration)
    , m_delegateQueue(std::move(delegateQueue))
    , m_delegate(std::move(delegate))
{
    NetworkThread &network = NetworkThread::shared();
    network.runAndWait(
        [this, &network] { m_manager = new QNetworkAccessManager(network.context()); });
}

void TWLURLSession::connectManager()
{
    // Authentication requests name only the reply; the task that owns the
    // reply answers them.
    NetworkThread::shared().runAndWait([weakSelf = weak_from_this(), manager = m_manager] {
        QObject::connect(manager, &QNetworkAccessManager::authenticationRequired, manager,
                         [weakSelf](QNetworkReply *reply, QAuthenticator *authenticator) {
                             std::shared_ptr<TWLURLSession> self = weakSelf.lock();
                             if (!self)
                                 return;
                             std::shared_ptr<TWLURLSessionDataTask> owner;
                             {
                                 std::lock_guard lock(self->m_mutex);
                                 for (const auto &task : self->m_taskSet) {
                                     auto dataTask =
                                         std::dynamic_pointer_cast<TWLURLSessionDataTask>(task);
                                     if (dataTask && dataTask->reply() == reply)
                                         owner = dataTask;
                                 }
                             }
                             if (owner)
                                 owner->handleAuthentication(authenticator);
                         });
    });
}

TWLURLSession::~TWLURLSession()
{
    // The manager's replies have gone with their tasks; the manager itself
    // is deleted on its own thread (or went with it, when it has shut down).
    if (QNetworkAccessManager *manager = m_manager)
        NetworkThread::shared().post([manager] { delete manager; });

    // A session released by the last operation of its own delegate queue
    // must not make that queue wait for itself: the queue goes elsewhere.
    if (OperationQueue::currentQueue() == m_delegateQueue.get() && m_delegateQueue.use_count() == 1)
        std::thread([queue = std::move(m_delegateQueue)] {}).detach();
}

std::shared_ptr<TWLURLSessionDelegate> TWLURLSession::delegate() const
{
    std::lock_guard lock(m_mutex);
    return m_delegate;
}

QString TWLURLSession::sessionDescription() const
{
    std::lock_guard lock(m_mutex);
    return m_sessionDescription;
}

void TWLURLSession::setSessionDescription(const QString &description)
{
    std::lock_guard lock(m_mutex);
    m_sessionDescription = description;
}

template <typename Task>
std::shared_ptr<Task> TWLURLSession::configureTask(std::shared_ptr<Task> task, URLRequest request,
                                                   bool hasCompletionHandler)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_invalidated)
            return nullptr;
        m_taskSet.insert(task);
    }
    // Decided once: a task made to be judged by the delegate is never left
    // to the system's verdict, even when the delegate has gone by the time
    // its server is asked.
    task->m_delegateJudgesTrust = delegateAnswersChallenges();
    const QVariantMap &headers = m_configuration.HTTPAdditionalHeaders();
    for (auto it = headers.cbegin(); it != headers.cend(); ++it)
        request.addValue(it.value().toString(), it.key());
    task->configure(request, shared_from_this(), !hasCompletionHandler);
    return task;
}

std::shared_ptr<TWLURLSessionDataTask>
TWLURLSession::dataTaskWithRequest(const URLRequest &request, DataCompletionHandler handler)
{
    auto task = TWLURLSessionDataTask::task();
    const bool hasHandler = bool(handler);
    task->setCompletionHandler(std::move(handler));
    return configureTask(task, request, hasHandler);
}

std::shared_ptr<TWLURLSessionDownloadTask>
TWLURLSession::downloadTaskWithRequest(const URLRequest &request, DownloadCompletionHandler handler)
{
    auto task = TWLURLSessionDownloadTask::task();
    const bool hasHandler = bool(handler);
    task->setDownloadCompletionHandler(std::move(handler));
    return configureTask(task, request, hasHandler);
}

std::shared_ptr<TWLURLSessionDownloadTask> TWLURLSession::downloadTaskWithURL(const QUrl &url)
{
    return downloadTaskWithRequest(URLRequest(url));
}

std::shared_ptr<TWLURLSessionUploadTask>
TWLURLSession::uploadTaskWithRequest(const URLRequest &request, const QUrl &fileURL,
                                     DataCompletionHandler handler)
{
    URLRequest upload = request;
    upload.setHTTPBody({});
    upload.setHTTPBodyFile(fileURL.toLocalFile());
    auto task = TWLURLSessionUploadTask::task();
    const bool hasHandler = bool(handler);
    task->setCompletionHandler(std::move(handler));
    return configureTask(task, upload, hasHandler);
}

void TWLURLSession::invalidateAndCancel()
{
    std::set<std::shared_ptr<TWLURLSessionTask>> tasks;
    std::shared_ptr<TWLURLSessionDelegate> delegate;
    {
        std::lock_guard lock(m_mutex);
        m_invalidated = true;
        tasks = m_taskSet;
        delegate = std::move(m_delegate);
    }
    for (const auto &task : tasks)
        task->cancel();
}

void TWLURLSession::finishTasksAndInvalidate()
{
    std::shared_ptr<TWLURLSessionDelegate> delegate;
    std::lock_guard lock(m_mutex);
    m_invalidated = true;
    delegate = std::move(m_delegate);
}

void TWLURLSession::getTasksWithCompletionHandler(TasksHandler handler)
{
    auto self = shared_from_this();
    m_delegateQueue->addOperationWithBlock([self, handler = std::move(handler)] {
        TaskList dataTasks;
        TaskList uploadTasks;
        TaskList downloadTasks;
        {
            std::lock_guard lock(self->m_mutex);
            for (const auto &task : self->m_taskSet) {
                if (std::dynamic_pointer_cast<TWLURLSessionUploadTask>(task))
                    uploadTasks.push_back(task);
                else if (std::dynamic_pointer_cast<TWLURLSessionDownloadTask>(task))
                    downloadTasks.push_back(task);
                else
                    dataTasks.push_back(task);
            }
        }
        handler(dataTasks, uploadTasks, downloadTasks);
    });
}

void TWLURLSession::removeTaskFromSet(const std::shared_ptr<TWLURLSessionTask> &task)
{
    std::lock_guard lock(m_mutex);
    m_taskSet.erase(task);
}

bool TWLURLSession::shouldInvokeDelegateSelector(TWLURLSessionDelegate::Selector selector,
                                                 const TWLURLSessionTask &task) const
{
    if (!task.invokesDelegate())
        return false;
    const std::shared_ptr<TWLURLSessionDelegate> current = delegate();
    return current && current->respondsToSelector(selector);
}

void TWLURLSession::task(const std::shared_ptr<TWLURLSessionDataTask> &task,
                         const URLResponse &response)
{
    if (!shouldInvokeDelegateSelector(TWLURLSessionDelegate::Selector::DataTaskDidReceiveResponse,
                                      *task))
        return;
    m_delegateQueue->addOperationWithBlock([self = shared_from_this(), task, response] {
        if (auto delegate = self->delegate())
            delegate->URLSession(self, task, response, [](auto) {});
    });
}

void TWLURLSession::task(const std::shared_ptr<TWLURLSessionDataTask> &task, const QByteArray &data)
{
    if (!shouldInvokeDelegateSelector(TWLURLSessionDelegate::Selector::DataTaskDidReceiveData,
                                      *task))
        return;
    m_delegateQueue->addOperationWithBlock([self = shared_from_this(), task, data] {
        if (auto delegate = self->delegate())
            delegate->URLSession(self, task, data);
    });
}

void TWLURLSession::downloadTask(const std::shared_ptr<TWLURLSessionDownloadTask> &task,
                                 const QUrl &location)
{
    if (!shouldInvokeDelegateSelector(
            TWLURLSessionDelegate::Selector::DownloadTaskDidFinishDownloading, *task)) {
        task->cleanup();
        return;
    }
    m_delegateQueue->addOperationWithBlock([self = shared_from_this(), task, location] {
        if (auto delegate = self->delegate())
            delegate->URLSession(self, task, location);
        task->cleanup();
    });
}

void TWLURLSession::task(const std::shared_ptr<TWLURLSessionTask> &task, const Error &error)
{
    if (!shouldInvokeDelegateSelector(TWLURLSessionDelegate::Selector::TaskDidComplete, *task)) {
        removeTaskFromSet(task);
        return;
    }
    m_delegateQueue->addOperationWithBlock([self = shared_from_this(), task, error] {
        if (auto delegate = self->delegate())
            delegate->URLSession(self, task, error);
        self->removeTaskFromSet(task);
    });
}

bool TWLURLSession::delegateAnswersChallenges() const
{
    const std::shared_ptr<TWLURLSessionDelegate> current = delegate();
    return current &&
           current->respondsToSelector(TWLURLSessionDelegate::Selector::DidReceiveChallenge);
}

bool TWLURLSession::askDelegate(const URLAuthenticationChallenge &challenge,
                                URLSessionChallengeCompletionHandler answer)
{
    const std::shared_ptr<TWLURLSessionDelegate> current = delegate();
    if (!current ||
        !current->respondsToSelector(TWLURLSessionDelegate::Selector::DidReceiveChallenge))
        return false;
    auto pending = std::make_shared<PendingChallengeAnswer>(std::move(answer));
    QTimer::singleShot(
        ChallengeAnswerTimeout, NetworkThread::shared().context(),
        [unanswered = std::weak_ptr(pending)] {
            if (const auto pending = unanswered.lock())
                pending->deliver(URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge,
                                 std::nullopt);
        });
    m_delegateQueue->addOperationWithBlock(
        [self = shared_from_this(), current, challenge, pending] {
            current->URLSession(self, challenge,
                                [pending](URLSessionAuthChallengeDisposition disposition,
                                          std::optional<URLCredential> credential) {
                                    pending->deliver(disposition, std::move(credential));
                                });
        });
    return true;
}
