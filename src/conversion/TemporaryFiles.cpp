#include "TemporaryFiles.h"

#include "foundation/Log.h"

#include <QFile>

void TemporaryFiles::add(const QUrl &url)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_removed) {
            m_urls.append(url);
            return;
        }
    }
    remove(url);
}

QList<QUrl> TemporaryFiles::urls() const
{
    std::lock_guard lock(m_mutex);
    return m_urls;
}

void TemporaryFiles::removeAll()
{
    QList<QUrl> urls;
    {
        std::lock_guard lock(m_mutex);
        m_removed = true;
        urls.swap(m_urls);
    }
    for (const QUrl &url : urls)
        remove(url);
}

void TemporaryFiles::remove(const QUrl &url)
{
    systemLog(QStringLiteral("Removing file at URL: %1").arg(url.toString()));
    QFile::remove(url.toLocalFile()); // a file already gone is no error here
}
