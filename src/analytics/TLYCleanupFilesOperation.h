#pragma once

#include "foundation/Operation.h"

#include <QList>
#include <QSet>
#include <QUrl>

#include <functional>

// Sorts what a previous execution left in the events folder so that each
// chain can resume at its step: log files are compressed again, compressed
// files packaged, packages uploaded. What a finished step made redundant is
// deleted (a compressed file beside its log, a log or compressed file whose
// package exists), and so is everything the pipeline does not know (such as
// the temporary files of an interrupted step). Packages beyond the maximum
// are trimmed to the newest.
class TLYCleanupFilesOperation : public Operation
{
public:
    static inline const QString Label = QStringLiteral("CleanupOperation");

    using SuccessBlock =
        std::function<void(const QSet<QUrl> &logFiles, const QSet<QUrl> &compressedFiles,
                           const QSet<QUrl> &packageFiles)>;

    TLYCleanupFilesOperation(QUrl directoryUrl, int maximumPendingMultipartFiles);

    const QUrl &directoryUrl() const { return m_directoryUrl; }
    int maximumPendingMultipartFiles() const { return m_maximumPendingMultipartFiles; }
    // Called at the end of the operation, on its thread, with what is left.
    void setSuccessBlock(SuccessBlock block) { m_successBlock = std::move(block); }

    // Deletes all but the maximumFileCount newest files and returns those,
    // newest first (all of them unchanged when there are no more).
    static QList<QUrl> URLsByRemovingOldFiles(const QList<QUrl> &urls, int maximumFileCount);

protected:
    void main() override;

private:
    const QUrl m_directoryUrl;
    const int m_maximumPendingMultipartFiles;
    SuccessBlock m_successBlock;
};
