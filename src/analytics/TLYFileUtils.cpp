#include "TLYFileUtils.h"

#include "TLYLogger.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace TLYFileUtils {

namespace {

bool syncPath(const QString &path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

} // namespace

QSet<QUrl> allFilesInDirectory(const QUrl &directory)
{
    if (!directory.isLocalFile())
        TLYLogger::sharedLogger().log(
            QStringLiteral("%1 is not a file URL, will attempt to enumerate files.")
                .arg(directory.toString()));
    const QString path = directory.isLocalFile() ? directory.toLocalFile() : directory.path();
    if (DIR *stream = ::opendir(QFile::encodeName(path).constData())) {
        ::closedir(stream);
    } else {
        TLYLogger::sharedLogger().log(
            QStringLiteral("Unable to read contents of %1: %2")
                .arg(directory.toString(), QString::fromLocal8Bit(std::strerror(errno))));
        return {};
    }
    const QDir dir(path);
    QSet<QUrl> files;
    // Broken symbolic links count as files (System), so that they are
    // cleaned up like any other stray entry.
    for (const QString &name :
         dir.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        files.insert(QUrl::fromLocalFile(dir.filePath(name)));
    return files;
}

QSet<QUrl> filesWithExtension(const QString &extension, const QUrl &directory)
{
    QSet<QUrl> matching;
    for (const QUrl &url : allFilesInDirectory(directory)) {
        if (QFileInfo(url.toLocalFile()).suffix() == extension)
            matching.insert(url);
    }
    return matching;
}

qint64 fileSizeAtURL(const QUrl &url)
{
    const QFileInfo info(url.toLocalFile());
    return info.exists() ? info.size() : 0;
}

QDateTime fileCreatedDateAtURL(const QUrl &url, const QDateTime &defaultDate)
{
    const QFileInfo info(url.toLocalFile());
    const QDateTime modified = info.exists() ? info.lastModified() : QDateTime();
    return modified.isValid() ? modified : defaultDate;
}

QString temporaryPathForPath(const QString &path)
{
    return path + QStringLiteral(".partial");
}

bool commitTemporaryFile(const QString &temporaryPath, const QString &path)
{
    // The bytes must be on disk before the name says the file is complete,
    // or a power cut could leave a complete-looking empty file.
    if (!syncPath(temporaryPath, O_RDONLY))
        return false;
    if (std::rename(QFile::encodeName(temporaryPath).constData(),
                    QFile::encodeName(path).constData()) != 0)
        return false;
    // The new name itself becomes durable with its folder; if that fails the
    // file is still complete under one of its two names.
    syncPath(QFileInfo(path).absolutePath(), O_RDONLY | O_DIRECTORY);
    return true;
}

bool writeFileAtomically(const QByteArray &data, const QString &path)
{
    const QString temporaryPath = temporaryPathForPath(path);
    QFile file(temporaryPath);
    bool written =
        file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
    file.close();
    written =
        written && file.error() == QFileDevice::NoError && commitTemporaryFile(temporaryPath, path);
    if (!written)
        QFile::remove(temporaryPath);
    return written;
}

} // namespace TLYFileUtils
