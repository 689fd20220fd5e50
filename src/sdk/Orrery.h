#pragma once

#include "ORRApplicationIdentiferModel.h"
#include "ORRSettingsOnboardingManager.h"
#include "foundation/Bundle.h"
#include "foundation/ClassRegistry.h"

#include <QList>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <variant>

class TWLUserDefaults;

// The SDK's facade and process-wide singleton. The host application starts
// it once with the kits it wants; it reads its configuration from the
// application's Info.plist, completes and orders the kit list, starts each
// kit and then begins the settings download. Kits read the identifiers,
// the API key and their configuration from it.
class Orrery
{
public:
    using KitClass = std::shared_ptr<const ClassRegistry::Class>;
    using KitClassList = QList<KitClass>;
    // What with() accepts for a kit: its class or one of its instances.
    using Kit = std::variant<KitClass, std::shared_ptr<const ClassRegistry::Object>>;

    enum InstallationMode : unsigned
    {
        InstallationModeUnknown = 0,
        InstallationModeInfoPlist = 1,
        InstallationModeEmberline = 2,
    };

    // Where an SDK instance reads its configuration and keeps its state,
    // and how its settings flow reaches the service.
    struct Environment
    {
        const Bundle *bundle = &Bundle::mainBundle();
        TWLUserDefaults *userDefaults = nullptr; // the SDK's standard store when null
        ClassRegistry *classRegistry = &ClassRegistry::shared();
        // The roots the service's servers must chain to; none means the
        // system's verdict.
        ORRNetworkClient::Certificates pinnedCertificates =
            ORRCertificatePinner::builtinCertificates();
        // Times the waits between attempts; the system clock when null.
        std::shared_ptr<BackoffClock> backoffClock = nullptr;
        NotificationCenter *notificationCenter = &NotificationCenter::defaultCenter();
        // Where the settings file goes; the user's cache folder when empty.
        QString cachesDirectory = QString();
    };

    static inline const QString InstallationUUIDKey = QStringLiteral("com.tarnwell.iuuid");
    static inline const QString EmberlineReadyNotification =
        QStringLiteral("EMBAppReadyToConfigureSDKNotification");

    static Orrery &sharedSDK();
    // Starts the SDK with kits the first time; later calls only log.
    // Raises ORRException when the application is misconfigured.
    static Orrery &with(const QList<Kit> &kits);
    // Whether the user's environment asks programs not to track them: the
    // variable DO_NOT_TRACK set to 1 (or to any other value but 0, false,
    // no or off). Then with() starts nothing and fetches nothing.
    static bool doNotTrack();
    // Lets an Emberline host start the SDK when it is ready to: observes
    // its notification once. Runs when the program loads.
    static void load();

    // An SDK over its own environment; the singleton uses the process's.
    explicit Orrery(Environment environment);
    Orrery(const Orrery &) = delete;
    Orrery &operator=(const Orrery &) = delete;
    ~Orrery();

    // with() on this instance.
    Orrery &startWithKits(const QList<Kit> &kits);

    bool debug() const { return m_debug; }
    void setDebug(bool debug);
    // Null when there is no usable key; raises ORRException when the
    // Info.plist configuration is unusable.
    QString APIKey();
    void setAPIKey(const QString &key);
    QString installID() const { return m_installID; }
    bool isFirstInstall() const { return m_isFirstInstall; }
    QString executionIdentifier() const { return m_executionIdentifier; }
    QString advertisingToken() const;
    void setAdvertisingToken(const QString &token);
    // Null until with() has run; then the started kits in start order.
    std::optional<KitClassList> kitClasses() const;
    void setKitClasses(const KitClassList &classes);
    QVariantMap orreryConfig();
    void setOrreryConfig(const QVariantMap &config);
    std::shared_ptr<const ORRApplicationIdentiferModel> applicationIdentifierModel() const
    {
        return m_applicationIdentifierModel;
    }
    unsigned installationMode() const { return m_installationMode; }
    void setInstallationMode(unsigned mode) { m_installationMode = mode; }
    QString instanceIdentifier() const;
    bool emberlineMode() const { return m_installationMode == InstallationModeEmberline; }
    const std::shared_ptr<ORRSettingsOnboardingManager> &settingsAndOnboardingManager() const
    {
        return m_settingsAndOnboardingManager;
    }
    // The downloaded settings (the last good download, also of an earlier
    // run); nothing before the first.
    std::optional<QVariantMap> settings() const;

    // Starts one kit: the kit protocol's initializeIfNeeded, or start on an
    // older kit's shared instance.
    static void initializeKit(const KitClass &kitClass);
    // The kit's "KitInfo" from the "Kits" list of the configuration; an
    // empty dictionary when its entry has none, nothing when it has no entry.
    std::optional<QVariantMap> configurationDictionaryForKitClass(const KitClass &kitClass);
    std::optional<QVariantMap>
    configurationDictionaryForKit(const std::shared_ptr<const ClassRegistry::Object> &kit);

    // The steps that turn the kits handed to with() into the started list.
    static KitClassList convertToKitClassesIfNeeded(const QList<Kit> &kits);
    static void validateORRKitConformance(const KitClassList &classes);
    KitClassList kitClassesByAddingPasscodeIfFound(KitClassList classes) const;
    KitClassList kitClassesByAddingTallyIfFound(KitClassList classes) const;
    KitClassList kitClassesByEnsuringGlimpseIsFirst(KitClassList classes) const;
    KitClassList kitClassesByAddingAdvertIfFound(KitClassList classes) const;

    // Bundle identifier to version of every started kit and of the SDK.
    QVariantMap kitVersionsByKitBundleIdentifier() const;
    // Hands the key and kit versions to the settings flow and starts it;
    // returns at once.
    void onboardAppAndDownloadSettings();
    // The Emberline host is ready: start through it unless the Info.plist
    // configures the SDK.
    void appReadyToConfigureSDK();

    QString readInstallationUUID();
    QString generateInstallationUUID();
    QVariantMap validOrreryConfigFromInfoPlist(const std::optional<QVariantMap> &infoPlist);

private:
    void runStartUp(const QList<Kit> &kits);
    QString emberlineAPIKey() const;
    TWLUserDefaults &userDefaults() const;

    const Environment m_environment;
    std::atomic<bool> m_debug = false;
    std::atomic<unsigned> m_installationMode = InstallationModeUnknown;
    QString m_installID;
    bool m_isFirstInstall = false;
    QString m_executionIdentifier;
    std::shared_ptr<const ORRApplicationIdentiferModel> m_applicationIdentifierModel;
    std::shared_ptr<ORRSettingsOnboardingManager> m_settingsAndOnboardingManager;

    mutable std::recursive_mutex m_mutex; // guards the fields below
    QString m_APIKey;
    std::optional<QVariantMap> m_orreryConfig;
    QString m_advertisingToken;
    std::optional<KitClassList> m_kitClasses;

    std::once_flag m_withOnce;
};
