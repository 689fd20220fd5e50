#include "TMPManager.h"

#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Uuid.h"

#include <QDir>
#include <QSaveFile>
#include <QUrl>

TMPManager &TMPManager::instance()
{
    static TMPManager manager;
    return manager;
}

std::string TMPManager::save(const unsigned char *bytes, std::size_t length)
{
    const QString path = QDir(QDir::tempPath()).filePath(uuidText() + QStringLiteral(".bmp"));

    // Written under a temporary name and renamed, so that a viewer never
    // sees half an image.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char *>(bytes), qint64(length)) != qint64(length) ||
        !file.commit()) {
        systemLog(QStringLiteral("Could not save image to %1: %2").arg(path, file.errorString()));
        return {};
    }
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
