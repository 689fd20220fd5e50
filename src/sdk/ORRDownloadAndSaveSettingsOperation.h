#pragma once

#include "ORRNetworkOperation.h"

#include <QString>
#include <QUrl>

#include <memory>

class ORRDownloadAndSaveSettingsOperation;
class ORRNetworkClient;

class ORRDownloadAndSaveSettingsOperationDelegate
{
public:
    virtual ~ORRDownloadAndSaveSettingsOperationDelegate() = default;
    // The download is over: the settings file is new (null error), or
    // unchanged and error says why.
    virtual void operation(ORRDownloadAndSaveSettingsOperation &operation,
                           const Error &didDownloadAndSaveSettingsWithError) = 0;
};

// One download of the application's settings into the settings file. The
// file is replaced in one step, and only by a download that holds a JSON
// object: a failed or broken download leaves the previous settings as they
// were. Other files in the settings folder go once the new file is in place.
class ORRDownloadAndSaveSettingsOperation : public ORRNetworkOperation
{
public:
    // The download is tried twice at most.
    static constexpr unsigned RetryLimit = 1;
    // Foundation's codes for a file that cannot be written and for text
    // that is not JSON.
    static constexpr int FileWriteUnknownError = 512;
    static constexpr int JSONReadCorruptError = 3840;

    // Nothing for a null key. The advertising token goes out only when
    // device identifiers may be collected. The delegate and the client are
    // not kept alive by the operation.
    static std::shared_ptr<ORRDownloadAndSaveSettingsOperation>
    create(const QString &APIKey,
           std::weak_ptr<ORRDownloadAndSaveSettingsOperationDelegate> delegate,
           const QUrl &settingsURL, const QString &settingsDirectoryPath,
           const QString &settingsFilePath, const QString &installIdentifier,
           const QString &advertisingToken, std::weak_ptr<ORRNetworkClient> networkClient,
           bool collectDeviceIdentifiers);

    const QUrl &settingsURL() const { return m_settingsURL; }
    const QString &settingsDirectoryPath() const { return m_settingsDirectoryPath; }
    const QString &settingsFilePath() const { return m_settingsFilePath; }
    const QString &installIdentifier() const { return m_installIdentifier; }
    const QString &advertisingToken() const { return m_advertisingToken; }
    Error error() const;

    // Also waits for a save in progress: once it returns, this download
    // stores nothing.
    void cancel() override;

    // A GET for JSON with the standard headers and the installation's:
    // identifier, device model, system versions, API client version and,
    // when there is one, the advertising token.
    URLRequest mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(const QUrl &url) override;

protected:
    QString className() const override
    {
        return QStringLiteral("ORRDownloadAndSaveSettingsOperation");
    }
    void asyncMain() override;

private:
    ORRDownloadAndSaveSettingsOperation(const QString &APIKey);
    // Puts the downloaded file in place of the settings file.
    Error saveSettingsFrom(const QUrl &location) const;
    void finishWith(const Error &error);

    std::weak_ptr<ORRDownloadAndSaveSettingsOperationDelegate> m_delegate;
    QUrl m_settingsURL;
    QString m_settingsDirectoryPath;
    QString m_settingsFilePath;
    QString m_installIdentifier;
    QString m_advertisingToken;
    std::weak_ptr<ORRNetworkClient> m_networkClient;
    mutable std::mutex m_errorMutex;
    Error m_error;
    // Held while the settings file is replaced, and by cancel().
    std::mutex m_saveMutex;
};
