#include "TLYUploadOperation.h"

#include "TLYFileUtils.h"
#include "TLYLogger.h"
#include "TLYUploader.h"

#include "sdk/ORRConstants.h"
#include "sdk/ORRMultipartMimeStreamEncoder.h"
#include "support/URLRequest.h"

#include <QDateTime>
#include <QFileInfo>

TLYUploadOperation::TLYUploadOperation(std::weak_ptr<TLYUploader> uploader, QUrl tallyURL,
                                       QString apiKey, QUrl multipartURL,
                                       QString multipartMimeBoundary)
    : m_uploader(std::move(uploader))
    , m_tallyURL(std::move(tallyURL))
    , m_apiKey(std::move(apiKey))
    , m_multipartURL(std::move(multipartURL))
    , m_multipartMimeBoundary(std::move(multipartMimeBoundary))
{}

URLRequest TLYUploadOperation::request() const
{
    URLRequest request(m_tallyURL);
    request.setHTTPMethod(QStringLiteral("POST"));
    request.setValue(
        ORRMultipartMimeStreamEncoder::contentTypeHTTPHeaderValueWithBoundary(
            m_multipartMimeBoundary.isNull() ? QStringLiteral("(null)") : m_multipartMimeBoundary),
        QStringLiteral("Content-Type"));
    request.setValue(QString::number(TLYFileUtils::fileSizeAtURL(m_multipartURL)),
                     QStringLiteral("Content-Length"));
    request.setValue(UserAgent, QStringLiteral("User-Agent"));
    request.setValue(ORRSDKDeveloperToken, QStringLiteral("X-TARNWELL-DEVELOPER-TOKEN"));
    request.setValue(QStringLiteral("Tally Mac SDK"), QStringLiteral("X-TARNWELL-API-CLIENT-TYPE"));
    request.setValue(QStringLiteral("29"), QStringLiteral("X-TARNWELL-API-CLIENT-VERSION"));
    request.setValue(QStringLiteral("1.3.6"),
                     QStringLiteral("X-TARNWELL-API-CLIENT-DISPLAY-VERSION"));
    request.setValue(QStringLiteral("29"), QStringLiteral("X-TARNWELL-API-CLIENT-BUILD-VERSION"));
    request.setValue(m_apiKey, QStringLiteral("X-TARNWELL-API-KEY"));
    request.setValue(currentTimestampString(),
                     QStringLiteral("X-Tarnwell-Api-Client-Packaged-Timestamp"));
    return request;
}

QString TLYUploadOperation::currentTimestampString()
{
    return QString::number(QDateTime::currentSecsSinceEpoch());
}

void TLYUploadOperation::main()
{
    const std::shared_ptr<TLYUploader> uploader = m_uploader.lock();
    if (!uploader)
        return;
    const QString path = m_multipartURL.toLocalFile();
    const QString name = QFileInfo(path).completeBaseName();
    TLYLogger::sharedLogger().log(
        QStringLiteral("Transmitting packaged events for '%1'.").arg(name));
    uploader->startUploadRequest(request(), path, name);
}
