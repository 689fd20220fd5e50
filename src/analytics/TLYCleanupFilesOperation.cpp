#include "TLYCleanupFilesOperation.h"

#include "TLYFileUtils.h"
#include "TLYLogger.h"
#include "TLYPackageLogOperation.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace {

void removeRedundant(const QUrl &url)
{
    QFile file(url.toLocalFile());
    if (!file.remove())
        TLYLogger::sharedLogger().logWithLabel(
            TLYCleanupFilesOperation::Label,
            QStringLiteral("Failed to remove %1: %2").arg(url.toString(), file.errorString()));
}

QString baseName(const QString &fileName)
{
    return QFileInfo(fileName).completeBaseName();
}

} // namespace

TLYCleanupFilesOperation::TLYCleanupFilesOperation(QUrl directoryUrl,
                                                   int maximumPendingMultipartFiles)
    : m_directoryUrl(std::move(directoryUrl))
    , m_maximumPendingMultipartFiles(maximumPendingMultipartFiles)
{}

void TLYCleanupFilesOperation::main()
{
    QHash<QString, QUrl> logs;
    QHash<QString, QUrl> compressed;
    QHash<QString, QUrl> packages;
    for (const QUrl &url : TLYFileUtils::allFilesInDirectory(m_directoryUrl)) {
        const QFileInfo info(url.toLocalFile());
        const QString extension = info.suffix();
        if (extension == QLatin1String("log"))
            logs.insert(info.completeBaseName(), url);
        else if (extension == QLatin1String("gz"))
            compressed.insert(info.completeBaseName(), url);
        else if (extension == TLYPackageLogOperation::PackageExtension)
            packages.insert(info.completeBaseName(), url);
        else
            QFile::remove(url.toLocalFile());
    }

    // A compressed file beside its log is from an interrupted compression;
    // the log is compressed again.
    for (auto it = logs.cbegin(); it != logs.cend(); ++it) {
        if (const auto twin = compressed.constFind(it.key()); twin != compressed.cend()) {
            removeRedundant(*twin);
            compressed.erase(twin);
        }
    }
    // A package is only ever complete under its name; a log or compressed
    // file it was made from is left over from a step whose clean-up was cut
    // off, and would send the same events twice.
    for (const QUrl &package : std::as_const(packages)) {
        const QString source = TLYPackageLogOperation::compressedFileNameInPackage(package);
        if (source.isEmpty())
            continue;
        const QString base = baseName(source);
        if (const auto log = logs.constFind(base); log != logs.cend()) {
            removeRedundant(*log);
            logs.erase(log);
        }
        if (const auto gz = compressed.constFind(base); gz != compressed.cend()) {
            removeRedundant(*gz);
            compressed.erase(gz);
        }
    }

    const QList<QUrl> kept =
        URLsByRemovingOldFiles(packages.values(), m_maximumPendingMultipartFiles);
    if (m_successBlock)
        m_successBlock(QSet<QUrl>(logs.cbegin(), logs.cend()),
                       QSet<QUrl>(compressed.cbegin(), compressed.cend()),
                       QSet<QUrl>(kept.cbegin(), kept.cend()));
}

QList<QUrl> TLYCleanupFilesOperation::URLsByRemovingOldFiles(const QList<QUrl> &urls,
                                                             int maximumFileCount)
{
    const qsizetype maximum = std::max(maximumFileCount, 0);
    if (urls.size() <= maximum)
        return urls;
    const QDateTime distantPast = QDateTime::fromSecsSinceEpoch(0, Qt::UTC).addYears(-1000);
    QList<std::pair<QDateTime, QUrl>> dated;
    for (const QUrl &url : urls)
        dated.append({TLYFileUtils::fileCreatedDateAtURL(url, distantPast), url});
    // Newest first; equal dates in a fixed order, so that the same files
    // are kept whoever asks.
    std::sort(dated.begin(), dated.end(), [](const auto &a, const auto &b) {
        return a.first != b.first ? a.first > b.first : a.second.path() < b.second.path();
    });
    QList<QUrl> kept;
    for (qsizetype i = 0; i < dated.size(); ++i) {
        if (i < maximum)
            kept.append(dated[i].second);
        else
            QFile::remove(dated[i].second.toLocalFile());
    }
    return kept;
}
