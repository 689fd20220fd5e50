#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QSet>
#include <QString>
#include <QUrl>

// Small file helpers of the analytics pipeline. Files that a step produces
// are written under a temporary name and renamed when complete, so that a
// file under its real name is always whole, even after a crash.
namespace TLYFileUtils {

// The files (not folders) directly in the folder; empty, with a debug line,
// when it cannot be read.
QSet<QUrl> allFilesInDirectory(const QUrl &directory);
// Those of allFilesInDirectory whose extension is exactly extension.
QSet<QUrl> filesWithExtension(const QString &extension, const QUrl &directory);
// The size in bytes; 0 when it cannot be read (a missing file has size 0).
qint64 fileSizeAtURL(const QUrl &url);
// When the file was made, or defaultDate when that cannot be read. Pipeline
// files are written once and never changed, so their last modification is
// when they were made; not every Linux file system keeps a birth time.
QDateTime fileCreatedDateAtURL(const QUrl &url, const QDateTime &defaultDate);

// Where a file is written before it is complete: the path with the
// extension "partial" added. The start-up clean-up deletes such files.
QString temporaryPathForPath(const QString &path);
// Makes the complete file at temporaryPath durable and moves it to path in
// one step. On failure the temporary file is left for the caller to remove.
bool commitTemporaryFile(const QString &temporaryPath, const QString &path);
// Writes data to path through a temporary file; false (and nothing at
// path changed) when that fails.
bool writeFileAtomically(const QByteArray &data, const QString &path);

} // namespace TLYFileUtils
