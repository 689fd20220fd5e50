#include "TMPManager.h"

#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Uuid.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QUrl>

TMPManager &TMPManager::instance()
{
    static TMPManager *const manager = new TMPManager;
    return *manager;
}

std::string TMPManager::save(const unsigned char *bytes, std::size_t length)
{
    std::unique_lock lock(m_mutex);
    if (m_closed)
        return {};
    if (m_sink) {
        const ImageSink sink = m_sink;
        lock.unlock();
        return sink(bytes, length);
    }
    // Qt falls back to the working directory when the temporary directory
    // is missing; images must never land there.
    const QString directory = QDir::tempPath();
    if (QDir::isRelativePath(directory) || !QFileInfo(directory).isDir()) {
        systemLog(QStringLiteral("Could not save image: no temporary directory"));
        return {};
    }
    const QString path = QDir(directory).filePath(uuidText() + QStringLiteral(".bmp"));

    // Written under a temporary name and renamed, so that a viewer never
    // sees half an image. No sync to disk: the file lives only as long as
    // the document that shows it.
    QTemporaryFile file(path + QStringLiteral(".XXXXXX"));
    if (!file.open() ||
        file.write(reinterpret_cast<const char *>(bytes), qint64(length)) != qint64(length) ||
        !file.flush() || !file.rename(path)) {
        systemLog(QStringLiteral("Could not save image to %1: %2").arg(path, file.errorString()));
        return {};
    }
    file.setAutoRemove(false);
    m_paths.insert(path);
    lock.unlock();

    const QUrl url = QUrl::fromLocalFile(path);
    NotificationCenter::defaultCenter().post(DidSaveFileNotification, nullptr,
                                             {{FilePathKey, url}});
    return url.toEncoded().toStdString();
}

void TMPManager::redirect(ImageSink sink)
{
    std::lock_guard lock(m_mutex);
    m_sink = std::move(sink);
}

QSet<QString> TMPManager::savedPaths() const
{
    std::lock_guard lock(m_mutex);
    return m_paths;
}

void TMPManager::close()
{
    std::lock_guard lock(m_mutex);
    m_closed = true;
    for (const QString &path : std::as_const(m_paths)) {
        if (QFile::remove(path))
            systemLog(QStringLiteral("Removing file at URL: %1")
                          .arg(QUrl::fromLocalFile(path).toString()));
    }
}

bool TMPManager::isClosed() const
{
    std::lock_guard lock(m_mutex);
    return m_closed;
}
