#include "TMPManager.h"

#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Uuid.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QUrl>

TMPManager &TMPManager::instance()
{
    static TMPManager manager;
    return manager;
}

std::string TMPManager::save(const unsigned char *bytes, std::size_t length)
{
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
    {
        std::lock_guard lock(m_mutex);
        m_paths.insert(path);
    }

    const QUrl url = QUrl::fromLocalFile(path);
    NotificationCenter::defaultCenter().post(DidSaveFileNotification, nullptr,
                                             {{FilePathKey, url}});
    return url.toEncoded().toStdString();
}

QSet<QString> TMPManager::savedPaths() const
{
    std::lock_guard lock(m_mutex);
    return m_paths;
}
