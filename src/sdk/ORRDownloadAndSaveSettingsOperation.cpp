#include "ORRDownloadAndSaveSettingsOperation.h"

#include "ORRConstants.h"
#include "ORRNetworkClient.h"
#include "ORRNetworkResponseHandler.h"
#include "foundation/Log.h"
#include "foundation/SystemInformation.h"
#include "support/URLError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

std::shared_ptr<ORRDownloadAndSaveSettingsOperation> ORRDownloadAndSaveSettingsOperation::create(
    const QString &APIKey, std::weak_ptr<ORRDownloadAndSaveSettingsOperationDelegate> delegate,
    const QUrl &settingsURL, const QString &settingsDirectoryPath, const QString &settingsFilePath,
    const QString &installIdentifier, const QString &advertisingToken,
    std::weak_ptr<ORRNetworkClient> networkClient, bool collectDeviceIdentifiers)
{
    if (APIKey.isNull())
        return nullptr;
    std::shared_ptr<ORRDownloadAndSaveSettingsOperation> operation(
        new ORRDownloadAndSaveSettingsOperation(APIKey));
    operation->m_delegate = std::move(delegate);
    operation->m_settingsURL = settingsURL;
    operation->m_settingsDirectoryPath = settingsDirectoryPath;
    operation->m_settingsFilePath = settingsFilePath;
    operation->m_installIdentifier = installIdentifier;
    if (collectDeviceIdentifiers)
        operation->m_advertisingToken = advertisingToken;
    operation->m_networkClient = std::move(networkClient);
    return operation;
}

ORRDownloadAndSaveSettingsOperation::ORRDownloadAndSaveSettingsOperation(const QString &APIKey)
    : ORRNetworkOperation(APIKey)
{}

Error ORRDownloadAndSaveSettingsOperation::error() const
{
    std::lock_guard lock(m_errorMutex);
    return m_error;
}

URLRequest
ORRDownloadAndSaveSettingsOperation::mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(
    const QUrl &url)
{
    URLRequest request =
        ORRNetworkOperation::mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(url);
    request.setHTTPMethod(QStringLiteral("GET"));
    request.setValue(QStringLiteral("application/json"), QStringLiteral("Accept"));
    request.setValue(m_installIdentifier, QStringLiteral("X-Tarnwell-Installation-ID"));
    request.setValue(SystemInformation::hardwareModel(), QStringLiteral("X-Tarnwell-Device-Model"));
    request.setValue(SystemInformation::operatingSystemBuildVersion(),
                     QStringLiteral("X-Tarnwell-OS-Build-Version"));
    request.setValue(SystemInformation::operatingSystemDisplayVersion(),
                     QStringLiteral("X-Tarnwell-OS-Display-Version"));
    request.setValue(ORRSDKDisplayVersion, QStringLiteral("X-Tarnwell-API-Client-Version"));
    if (!m_advertisingToken.isEmpty())
        request.setValue(m_advertisingToken, QStringLiteral("X-Tarnwell-Advertising-Token"));
    return request;
}

void ORRDownloadAndSaveSettingsOperation::asyncMain()
{
    const std::shared_ptr<ORRNetworkClient> client = m_networkClient.lock();
    if (!client) {
        // The flow has ended; a download that cannot be made is over.
        finishWith(ORRNetworkResponseHandler::errorForCode(ORRNetworkResponseHandler::NoTask, {}));
        return;
    }
    auto self = std::static_pointer_cast<ORRDownloadAndSaveSettingsOperation>(shared_from_this());
    client->startDownloadTaskWithRequest(
        mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(m_settingsURL), RetryLimit,
        [self](const QUrl &location, const std::optional<URLResponse> &, const Error &error) {
            Error outcome = error;
            if (outcome.isNull()) {
                std::lock_guard save(self->m_saveMutex);
                outcome = self->isCancelled()
                              ? URLError::make(URLError::Cancelled, self->m_settingsURL)
                              : self->saveSettingsFrom(location);
            }
            self->finishWith(outcome);
        });
}

void ORRDownloadAndSaveSettingsOperation::cancel()
{
    std::lock_guard save(m_saveMutex);
    ORRNetworkOperation::cancel();
}

Error ORRDownloadAndSaveSettingsOperation::saveSettingsFrom(const QUrl &location) const
{
    QFile downloaded(location.toLocalFile());
    const QByteArray bytes =
        downloaded.open(QIODevice::ReadOnly) ? downloaded.readAll() : QByteArray();
    QJsonParseError parseError{};
    if (!QJsonDocument::fromJson(bytes, &parseError).isObject()) {
        const QString reason = parseError.error != QJsonParseError::NoError
                                   ? parseError.errorString()
                                   : QStringLiteral("the settings are not a JSON object");
        return Error::withDescription(Error::CocoaErrorDomain, JSONReadCorruptError, reason);
    }

    QDir().mkpath(m_settingsDirectoryPath);
    QSaveFile settings(m_settingsFilePath);
    if (!settings.open(QIODevice::WriteOnly) || settings.write(bytes) != bytes.size() ||
        !settings.commit()) {
        const Error error = Error::withDescription(Error::CocoaErrorDomain, FileWriteUnknownError,
                                                   settings.errorString());
        systemLog(QStringLiteral("[Orrery] Unable to complete settings download %1")
                      .arg(error.localizedDescription()));
        return error;
    }
    // The folder holds the settings of the latest download alone.
    const QFileInfo kept(m_settingsFilePath);
    QDir directory(m_settingsDirectoryPath);
    for (const QFileInfo &entry :
         directory.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        if (entry == kept)
            continue;
        if (entry.isDir() && !entry.isSymLink())
            QDir(entry.filePath()).removeRecursively();
        else
            QFile::remove(entry.filePath());
    }
    return {};
}

void ORRDownloadAndSaveSettingsOperation::finishWith(const Error &error)
{
    {
        std::lock_guard lock(m_errorMutex);
        m_error = error;
    }
    if (const auto delegate = m_delegate.lock())
        delegate->operation(*this, error);
    finishWithError(error);
}
