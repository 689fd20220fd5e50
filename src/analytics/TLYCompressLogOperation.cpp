#include "TLYCompressLogOperation.h"

#include "TLYFileUtils.h"
#include "TLYLogger.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <climits>
#include <zlib.h>

TLYCompressLogOperation::TLYCompressLogOperation(QUrl uncompressedLogURL, QUrl compressedLogURL)
    : m_uncompressedLogURL(std::move(uncompressedLogURL))
    , m_compressedLogURL(std::move(compressedLogURL))
{}

QUrl TLYCompressLogOperation::compressedURLForUncompressedURL(const QUrl &url)
{
    const QFileInfo info(url.toLocalFile());
    return QUrl::fromLocalFile(
        info.dir().filePath(info.completeBaseName() + QStringLiteral(".gz")));
}

void TLYCompressLogOperation::main()
{
    m_outcome = compress();
}

TLYCompressLogOperation::Outcome TLYCompressLogOperation::compress()
{
    const TLYLogger &logger = TLYLogger::sharedLogger();
    const QFileInfo log(m_uncompressedLogURL.toLocalFile());
    if (!log.exists() || log.isDir()) {
        logger.log(QStringLiteral("Error: attempting to compress nonexistent file: %1")
                       .arg(m_uncompressedLogURL.toString()));
        return Outcome::Failed;
    }
    const QString compressedPath = m_compressedLogURL.toLocalFile();
    // A compressed file only ever appears complete, so one already there
    // is used as it is.
    if (QFileInfo::exists(compressedPath))
        return Outcome::Compressed;

    const QString failure =
        QStringLiteral("Failed to compress file at %1").arg(m_uncompressedLogURL.toString());
    QFile file(log.filePath());
    if (!file.open(QIODevice::ReadOnly)) {
        logger.log(failure);
        return Outcome::Failed;
    }
    QByteArray lines = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        logger.log(failure);
        return Outcome::Failed;
    }
    lines.truncate(lines.lastIndexOf('\n') + 1);
    // The metadata line and at least one event.
    if (lines.count('\n') < 2) {
        logger.log(QStringLiteral("Error: no complete event to compress in %1")
                       .arg(m_uncompressedLogURL.toString()));
        return Outcome::NothingToCompress;
    }
    if (lines.size() > INT_MAX) {
        logger.log(failure);
        return Outcome::Failed;
    }

    const QString temporaryPath = TLYFileUtils::temporaryPathForPath(compressedPath);
    bool compressed = false;
    if (gzFile gz = gzopen(QFile::encodeName(temporaryPath).constData(), "w")) {
        const int written = gzwrite(gz, lines.constData(), unsigned(lines.size()));
        // Closing writes the rest of the stream, so it can fail too.
        compressed = gzclose(gz) == Z_OK && written == lines.size();
    }
    if (!compressed || !TLYFileUtils::commitTemporaryFile(temporaryPath, compressedPath)) {
        QFile::remove(temporaryPath);
        logger.log(failure);
        return Outcome::Failed;
    }
    return Outcome::Compressed;
}
