#pragma once

#include "foundation/Operation.h"

#include <QString>
#include <QUrl>

#include <atomic>

// Wraps a compressed log file into a multipart body file, ready to upload:
// one file part whose field name and file name are the compressed file's
// name. The body's boundary is the package file's base name.
class TLYPackageLogOperation : public Operation
{
public:
    static inline const QString EventsMimeType =
        QStringLiteral("application/vnd.tarnwell.mac.events");
    static inline const QString PackageExtension = QStringLiteral("multipartmime");

    enum class Outcome
    {
        NotRun,
        Packaged,  // the package is complete
        Discarded, // the compressed file was empty: nothing to send
        Failed,    // no package; the compressed file keeps its events
    };

    TLYPackageLogOperation(QUrl compressedLogURL, QUrl packagedLogURL,
                           QString multipartMimeBoundary);
    // The compressed file's folder / boundary, extension "multipartmime".
    static QUrl multipartURLForCompressedURL(const QUrl &compressedURL, const QString &boundary);
    // The name of the compressed file a package was made from, as its part
    // header gives it; null when the package names none.
    static QString compressedFileNameInPackage(const QUrl &packageURL);

    const QUrl &compressedLogURL() const { return m_compressedLogURL; }
    const QUrl &packagedLogURL() const { return m_packagedLogURL; }
    const QString &multipartMimeBoundary() const { return m_multipartMimeBoundary; }
    Outcome outcome() const { return m_outcome; }
    // Whether the compressed file has nothing left to give and may be deleted.
    bool compressedFileDone() const
    {
        return m_outcome == Outcome::Packaged || m_outcome == Outcome::Discarded;
    }

protected:
    void main() override;

private:
    Outcome package();

    const QUrl m_compressedLogURL;
    const QUrl m_packagedLogURL;
    const QString m_multipartMimeBoundary;
    std::atomic<Outcome> m_outcome = Outcome::NotRun;
};
