#pragma once

#include "foundation/Operation.h"

#include <QString>
#include <QUrl>

#include <memory>

class TLYUploader;
class URLRequest;

// Sends one package: builds the events request with the kit's headers and
// hands it, with the package file, to the uploader. Returns as soon as the
// transfer is on its way.
class TLYUploadOperation : public Operation
{
public:
    static inline const QString UserAgent = QStringLiteral("Tally Mac SDK/1.3.6");

    // The uploader is not kept alive by the operation.
    TLYUploadOperation(std::weak_ptr<TLYUploader> uploader, QUrl tallyURL, QString apiKey,
                       QUrl multipartURL, QString multipartMimeBoundary);

    const QUrl &tallyURL() const { return m_tallyURL; }
    const QString &apiKey() const { return m_apiKey; }
    const QUrl &multipartURL() const { return m_multipartURL; }
    const QString &multipartMimeBoundary() const { return m_multipartMimeBoundary; }

    // The POST for the package, without its body.
    URLRequest request() const;
    // Whole seconds since 1970, as decimal text.
    static QString currentTimestampString();

protected:
    void main() override;

private:
    const std::weak_ptr<TLYUploader> m_uploader;
    const QUrl m_tallyURL;
    const QString m_apiKey;
    const QUrl m_multipartURL;
    const QString m_multipartMimeBoundary;
};
