#include "TWLURLSessionDownloadTask.h"

#include "TWLURLSession.h"
#include "foundation/Uuid.h"

#include <QDir>

std::shared_ptr<TWLURLSessionDownloadTask> TWLURLSessionDownloadTask::task()
{
    return std::shared_ptr<TWLURLSessionDownloadTask>(new TWLURLSessionDownloadTask);
}

TWLURLSessionDownloadTask::TWLURLSessionDownloadTask()
    : m_targetURL(QUrl::fromLocalFile(QDir::temp().filePath(uuidText())))
{}

TWLURLSessionDownloadTask::~TWLURLSessionDownloadTask()
{
    if (m_output)
        m_output->close();
}

TWLURLSessionDownloadTask::DownloadCompletionHandler
TWLURLSessionDownloadTask::downloadCompletionHandler() const
{
    std::lock_guard lock(m_mutex);
    return m_downloadCompletionHandler;
}

void TWLURLSessionDownloadTask::setDownloadCompletionHandler(DownloadCompletionHandler handler)
{
    std::lock_guard lock(m_mutex);
    m_downloadCompletionHandler = std::move(handler);
}

bool TWLURLSessionDownloadTask::openOutput()
{
    if (m_output)
        return m_output->isOpen();
    m_output = std::make_unique<QFile>(m_targetURL.toLocalFile());
    return m_output->open(QIODevice::WriteOnly | QIODevice::Truncate);
}

void TWLURLSessionDownloadTask::didReceiveBytes(const QByteArray &bytes)
{
    // The body is not kept in memory and not reported piece by piece.
    if (!openOutput() || m_output->write(bytes) != bytes.size()) {
        failWithError(Error::withDescription(ErrorDomain, -1,
                                             m_output ? m_output->errorString() : QString()));
    }
}

void TWLURLSessionDownloadTask::willComplete()
{
    // An empty answer still yields a (empty) file for the handler.
    if (error().isNull() && !openOutput())
        setError(Error::withDescription(ErrorDomain, -1, m_output->errorString()));
    if (m_output)
        m_output->close();
}

void TWLURLSessionDownloadTask::didCancel()
{
    if (m_output)
        m_output->close();
    cleanup();
}

void TWLURLSessionDownloadTask::complete()
{
    const Error failure = error();
    if (const DownloadCompletionHandler handler = downloadCompletionHandler())
        handler(m_targetURL, response(), failure);
    std::shared_ptr<TWLURLSession> session = delegate();
    auto self = std::static_pointer_cast<TWLURLSessionDownloadTask>(shared_from_this());
    if (failure.isNull() && session) {
        session->downloadTask(self, m_targetURL);
    } else {
        // A failed transfer leaves nothing behind that anyone would collect.
        cleanup();
    }
    if (session)
        session->task(self, failure);
}

void TWLURLSessionDownloadTask::cleanup()
{
    QFile::remove(m_targetURL.toLocalFile());
}
