#pragma once

#include "foundation/Operation.h"

#include <QUrl>

#include <atomic>

// Compresses a rotated log file with gzip into the file of the same name
// with the extension "gz". Only complete lines are compressed: a line cut
// short by a crash is dropped, and a log without any complete event line
// has nothing to send.
class TLYCompressLogOperation : public Operation
{
public:
    enum class Outcome
    {
        NotRun,
        Compressed,        // the compressed file is complete (or was already there)
        NothingToCompress, // the log holds no complete event
        Failed,            // no compressed file; the log keeps its events
    };

    TLYCompressLogOperation(QUrl uncompressedLogURL, QUrl compressedLogURL);
    // The same URL with its extension replaced by "gz".
    static QUrl compressedURLForUncompressedURL(const QUrl &url);

    const QUrl &uncompressedLogURL() const { return m_uncompressedLogURL; }
    const QUrl &compressedLogURL() const { return m_compressedLogURL; }
    Outcome outcome() const { return m_outcome; }
    // Whether the log file has nothing left to give and may be deleted.
    bool logFileDone() const
    {
        return m_outcome == Outcome::Compressed || m_outcome == Outcome::NothingToCompress;
    }

protected:
    void main() override;

private:
    Outcome compress();

    const QUrl m_uncompressedLogURL;
    const QUrl m_compressedLogURL;
    std::atomic<Outcome> m_outcome = Outcome::NotRun;
};
