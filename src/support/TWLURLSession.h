#pragma once

#include "TWLURLSessionConfiguration.h"
#include "TWLURLSessionDataTask.h"
#include "TWLURLSessionDelegate.h"
#include "TWLURLSessionDownloadTask.h"
#include "TWLURLSessionUploadTask.h"
#include "URLAuthenticationChallenge.h"
#include "URLRequest.h"
#include "foundation/OperationQueue.h"

#include <QString>

#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <utility>
#include <vector>

class QNetworkAccessManager;

// An HTTP session: a configuration, a delegate with its delegate queue, and
// the tasks made from it. Transfers run on the process's network thread;
// completion handlers and delegate calls run on the delegate queue.
class TWLURLSession : public std::enable_shared_from_this<TWLURLSession>
{
public:
    using DataCompletionHandler = TWLURLSessionDataTask::CompletionHandler;
    using DownloadCompletionHandler = TWLURLSessionDownloadTask::DownloadCompletionHandler;
    using TaskList = std::vector<std::shared_ptr<TWLURLSessionTask>>;
    using TasksHandler = std::function<void(const TaskList &dataTasks, const TaskList &uploadTasks,
                                            const TaskList &downloadTasks)>;

    // There is no platform session service to prefer here.
    static bool NSURLSessionShouldBeUsed() { return false; }
    // Without a configuration there is no session. Without a queue the
    // session makes its own serial one.
    static std::shared_ptr<TWLURLSession>
    sessionWithConfiguration(const std::optional<TWLURLSessionConfiguration> &configuration,
                             std::shared_ptr<TWLURLSessionDelegate> delegate = nullptr,
                             std::shared_ptr<OperationQueue> delegateQueue = nullptr);
    static std::shared_ptr<OperationQueue> newDefaultDelegateQueue();

    ~TWLURLSession();
    TWLURLSession(const TWLURLSession &) = delete;
    TWLURLSession &operator=(const TWLURLSession &) = delete;

    std::shared_ptr<TWLURLSessionDelegate> delegate() const;
    const std::shared_ptr<OperationQueue> &delegateQueue() const { return m_delegateQueue; }
    const TWLURLSessionConfiguration &configuration() const { return m_configuration; }
    QString sessionDescription() const;
    void setSessionDescription(const QString &description);

    // Tasks are made suspended; none are made once the session is invalidated.
    std::shared_ptr<TWLURLSessionDataTask> dataTaskWithRequest(const URLRequest &request,
                                                               DataCompletionHandler handler = {});
    std::shared_ptr<TWLURLSessionDownloadTask>
    downloadTaskWithRequest(const URLRequest &request, DownloadCompletionHandler handler = {});
    std::shared_ptr<TWLURLSessionDownloadTask> downloadTaskWithURL(const QUrl &url);
    std::shared_ptr<TWLURLSessionUploadTask>
    uploadTaskWithRequest(const URLRequest &request, const QUrl &fileURL,
                          DataCompletionHandler handler = {});

    // Cancels every task (none of them completes) and lets the delegate go.
    void invalidateAndCancel();
    // Lets the delegate go; running tasks finish with their handlers only.
    void finishTasksAndInvalidate();
    // Calls handler on the delegate queue with the tasks made and not yet
    // completed or cancelled, by kind.
    void getTasksWithCompletionHandler(TasksHandler handler);

    void removeTaskFromSet(const std::shared_ptr<TWLURLSessionTask> &task);
    bool shouldInvokeDelegateSelector(TWLURLSessionDelegate::Selector selector,
                                      const TWLURLSessionTask &task) const;

    // Events reported by the session's tasks.
    void task(const std::shared_ptr<TWLURLSessionDataTask> &task, const URLResponse &response);
    void task(const std::shared_ptr<TWLURLSessionDataTask> &task, const QByteArray &data);
    void downloadTask(const std::shared_ptr<TWLURLSessionDownloadTask> &task, const QUrl &location);
    void task(const std::shared_ptr<TWLURLSessionTask> &task, const Error &error);

private:
    friend class TWLURLSessionDataTask;

    TWLURLSession(const TWLURLSessionConfiguration &configuration,
                  std::shared_ptr<TWLURLSessionDelegate> delegate,
                  std::shared_ptr<OperationQueue> delegateQueue);

    void connectManager();
    template <typename Task>
    std::shared_ptr<Task> configureTask(std::shared_ptr<Task> task, URLRequest request,
                                        bool hasCompletionHandler);

    // Network thread only.
    QNetworkAccessManager *networkAccessManager() const { return m_manager; }
    bool delegateAnswersChallenges() const;
    // Puts the challenge to the delegate on its queue and returns at once;
    // nothing on the network waits for the answer. answer runs once, on the
    // network thread: with the delegate's answer, or with a refusal when
    // the delegate lets its completion handler go unanswered or keeps it
    // beyond a minute. False, and nothing asked, when no delegate answers
    // challenges.
    bool askDelegate(const URLAuthenticationChallenge &challenge,
                     URLSessionChallengeCompletionHandler answer);

    const TWLURLSessionConfiguration m_configuration;
    std::shared_ptr<OperationQueue> m_delegateQueue;
    QNetworkAccessManager *m_manager = nullptr; // lives on the network thread

    // The private queue: guards everything below.
    mutable std::mutex m_mutex;
    std::shared_ptr<TWLURLSessionDelegate> m_delegate;
    QString m_sessionDescription;
    std::set<std::shared_ptr<TWLURLSessionTask>> m_taskSet;
    bool m_invalidated = false;
};
