#pragma once

#include "ORRApplicationIdentiferModel.h"
#include "ORRDownloadAndSaveSettingsOperation.h"
#include "ORRNetworkClient.h"
#include "ORROnboardingOperation.h"
#include "ORRSettings.h"
#include "foundation/Bundle.h"
#include "foundation/NotificationCenter.h"
#include "support/BackoffClock.h"

#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

// The settings flow of one process: download the application's settings
// into the settings file under the cache folder, register the application
// with the service when it does not know it yet (app create, then download
// again) or send fresh details when it asks for them (app update), and
// announce with "ORRSettingsAvailableNotification" that settings are there.
// The notification is posted once per flow, on the thread that finished
// the download; at most one create or update is made per process. Every
// failure is logged and ends the flow; none reaches the application.
//
// The service's addresses come from the environment variables
// "SettingsEndpoint" and "ConfigureEndpoint", else from the same keys of the
// Info.plist dictionary "Tarnwell", else from the built-in ones.
class ORRSettingsOnboardingManager
    : public ORRDownloadAndSaveSettingsOperationDelegate,
      public ORROnboardingOperationDelegate,
      public std::enable_shared_from_this<ORRSettingsOnboardingManager>
{
public:
    static inline const QString SettingsAvailableNotification =
        QStringLiteral("ORRSettingsAvailableNotification");
    static inline const QString SettingsEndpointKey = QStringLiteral("SettingsEndpoint");
    static inline const QString ConfigureEndpointKey = QStringLiteral("ConfigureEndpoint");
    // Quillmoor's own service. Where it cannot be reached, the flow only
    // logs and ends; the settings stay those of the last good download.
    static inline const QString DefaultSettingsEndpoint =
        QStringLiteral("https://settings.quillmoor.ferrowby.com");
    static inline const QString DefaultConfigureEndpoint =
        QStringLiteral("https://api.quillmoor.ferrowby.com");

    struct Environment
    {
        const Bundle *bundle = &Bundle::mainBundle();
        // The roots the service's servers must chain to; none means the
        // system's verdict.
        ORRNetworkClient::Certificates pinnedCertificates =
            ORRCertificatePinner::builtinCertificates();
        // Times the waits between attempts; the system clock when null.
        std::shared_ptr<BackoffClock> backoffClock = nullptr;
        NotificationCenter *notificationCenter = &NotificationCenter::defaultCenter();
        // The user's cache folder (XDG) when empty.
        QString cachesDirectory = QString();
    };

    static std::shared_ptr<ORRSettingsOnboardingManager>
    initWithApplicationIdentifierModel(std::shared_ptr<const ORRApplicationIdentiferModel> model,
                                       Environment environment);
    static std::shared_ptr<ORRSettingsOnboardingManager>
    initWithApplicationIdentifierModel(std::shared_ptr<const ORRApplicationIdentiferModel> model);
    ~ORRSettingsOnboardingManager() override;
    ORRSettingsOnboardingManager(const ORRSettingsOnboardingManager &) = delete;
    ORRSettingsOnboardingManager &operator=(const ORRSettingsOnboardingManager &) = delete;

    const std::shared_ptr<const ORRApplicationIdentiferModel> &appIdentifierModel() const
    {
        return m_appIdentifierModel;
    }
    ORRSettings &settingsModel() const { return *m_settingsModel; }
    // caches/"io.orrery.sdk.mac.data"/bundle identifier
    const QString &settingsDirectory() const { return m_settingsDirectory; }
    static QString settingsDirectoryForCachesDirectory(const QString &cachesDirectory,
                                                       const QString &bundleIdentifier);
    // settingsDirectory()/"settings.json"
    QString settingsPath() const;

    QString APIKey() const;
    QVariantMap kitVersionsByKitBundleIdentifier() const;
    std::shared_ptr<ORROnboardingOperation> onboardingOperation() const;
    bool hasAttemptedAppConfigure() const;
    // The Info.plist dictionary "Tarnwell"; empty when there is none.
    QVariantMap configuration() const;
    static QVariantMap defaultConfiguration();
    // The network client of the flow, made on first use; null once the
    // network has shut down.
    std::shared_ptr<ORRNetworkClient> networkClient();

    QString advertisingToken() const;
    void setAdvertisingToken(const QString &token);
    bool debug() const { return m_debug; }
    void setDebug(bool debug) { m_debug = debug; }
    // Whether the advertising token may go out; never in Emberline mode.
    bool collectDeviceIdentifiers() const { return m_collectDeviceIdentifiers; }
    void setCollectDeviceIdentifiers(bool collect) { m_collectDeviceIdentifiers = collect; }

    // Starts the flow; returns at once.
    void beginSettingsAndOnboardingOperationsWithAPIKey(const QString &APIKey,
                                                        const QVariantMap &kitVersions);
    void beginSettingsDownload();
    // Cancels any running create or update and starts this one.
    void beginOnboarding(bool create, const QString &endpointString);
    // The environment variable of that name, else the "Tarnwell" value, else
    // the built-in one; without trailing slashes. An empty variable counts
    // as unset.
    QString valueForConfigurationKey(const QString &key) const;
    std::optional<QUrl> settingsURL() const;
    void postSettingsDownloadCompletedNotification();
    // Cancels everything of the flow; the network client makes no more
    // transfers.
    void finishNetworkingSession();
    // Ends the flow for good, before what it uses goes away: its transfers
    // are cancelled, a callback or a save of settings in progress is waited
    // for, and nothing of the flow runs (or is stored) afterwards.
    void stop();

    void operation(ORRDownloadAndSaveSettingsOperation &operation,
                   const Error &didDownloadAndSaveSettingsWithError) override;
    void onboardingOperationDidCompleteAppCreation(ORROnboardingOperation &operation,
                                                   const Error &error) override;
    void onboardingOperationDidCompleteAppUpdate(ORROnboardingOperation &operation,
                                                 const Error &error) override;

private:
    ORRSettingsOnboardingManager(std::shared_ptr<const ORRApplicationIdentiferModel> model,
                                 Environment environment);
    void debugLog(const QString &line) const;
    void didDownloadSettings(const Error &error);
    void didCompleteAppCreation(const Error &error);
    void didCompleteAppUpdate(const Error &error);

    const std::shared_ptr<const ORRApplicationIdentiferModel> m_appIdentifierModel;
    const Environment m_environment;
    const QString m_settingsDirectory;
    const std::unique_ptr<ORRSettings> m_settingsModel;
    std::atomic<bool> m_debug = false;
    std::atomic<bool> m_collectDeviceIdentifiers = true;

    // Held by every step of the flow, so that stop() can wait for one.
    std::recursive_mutex m_flowMutex;
    bool m_stopped = false;

    mutable std::mutex m_mutex; // guards the fields below; never held across a call out
    QString m_APIKey;
    QVariantMap m_kitVersions;
    QString m_advertisingToken;
    std::shared_ptr<ORRNetworkClient> m_networkClient;
    std::shared_ptr<ORROnboardingOperation> m_onboardingOperation;
    std::shared_ptr<ORRDownloadAndSaveSettingsOperation> m_downloadOperation;
    bool m_hasAttemptedAppConfigure = false;
};
