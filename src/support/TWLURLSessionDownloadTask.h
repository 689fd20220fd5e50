#pragma once

#include "TWLURLSessionDataTask.h"

#include <QFile>
#include <QUrl>

#include <functional>
#include <memory>

// A transfer whose body goes to a temporary file instead of memory. The
// file is handed to the completion handler and the delegate and deleted
// right after, so they must move or read it before they return.
class TWLURLSessionDownloadTask : public TWLURLSessionDataTask
{
public:
    static inline const QString ErrorDomain = QStringLiteral("TWLURLSessionDownloadTaskError");

    using DownloadCompletionHandler = std::function<void(
        const QUrl &location, const std::optional<URLResponse> &response, const Error &error)>;

    static std::shared_ptr<TWLURLSessionDownloadTask> task();
    ~TWLURLSessionDownloadTask() override;

    const QUrl &targetURL() const { return m_targetURL; }
    DownloadCompletionHandler downloadCompletionHandler() const;
    void setDownloadCompletionHandler(DownloadCompletionHandler handler);

    void complete() override;
    void cleanup() override;

protected:
    TWLURLSessionDownloadTask();

    void didReceiveBytes(const QByteArray &bytes) override;
    void willComplete() override;
    void didCancel() override;

private:
    bool openOutput();

    const QUrl m_targetURL;
    DownloadCompletionHandler m_downloadCompletionHandler; // guarded by m_mutex
    std::unique_ptr<QFile> m_output;                       // network thread only
};
