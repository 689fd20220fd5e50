#include "Orrery.h"

#include "AdvertKit.h"
#include "ORRApplicationInfo.h"
#include "ORRConstants.h"
#include "ORRException.h"
#include "ORRHashing.h"
#include "ORRKit.h"
#include "ORRLegacyKit.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/PropertyList.h"
#include "support/TWLUserDefaults.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

const QString SDKClassName = QStringLiteral("Orrery");

QString nameOf(const Orrery::KitClass &kitClass)
{
    return kitClass ? kitClass->className() : QStringLiteral("(null)");
}

// The Emberline observer starts observing as soon as the program is loaded.
[[maybe_unused]] const bool loaded = (Orrery::load(), true);

} // namespace

Orrery &Orrery::sharedSDK()
{
    static Orrery instance{Environment{}};
    return instance;
}

Orrery &Orrery::with(const QList<Kit> &kits)
{
    return sharedSDK().startWithKits(kits);
}

bool Orrery::doNotTrack()
{
    const QString value = qEnvironmentVariable("DO_NOT_TRACK").trimmed().toLower();
    static const QStringList allowing{QString(), QStringLiteral("0"), QStringLiteral("false"),
                                      QStringLiteral("no"), QStringLiteral("off")};
    return !allowing.contains(value);
}

void Orrery::load()
{
    static std::once_flag once;
    std::call_once(once, [] {
        static const char observerOwner = 0;
        static std::atomic<bool> fired = false;
        NotificationCenter::defaultCenter().addObserver(
            QStringLiteral("EMBAppReadyToConfigureSDKNotification"), nullptr, &observerOwner,
            [](const Notification &) {
                if (fired.exchange(true))
                    return;
                NotificationCenter::defaultCenter().removeObserver(&observerOwner);
                sharedSDK().appReadyToConfigureSDK();
            });
    });
}

Orrery::Orrery(Environment environment)
    : m_environment(environment)
{
    m_installID = readInstallationUUID();
    if (m_installID.isEmpty()) {
        m_isFirstInstall = true;
        m_installID = generateInstallationUUID();
    }
    m_executionIdentifier = ORRGenerateUUIDString().remove(QLatin1Char('-')).toLower();
    m_applicationIdentifierModel =
        ORRApplicationIdentiferModel::initWithInstallID(m_installID, *m_environment.bundle);
    m_settingsAndOnboardingManager =
        ORRSettingsOnboardingManager::initWithApplicationIdentifierModel(
            m_applicationIdentifierModel,
            {m_environment.bundle, m_environment.pinnedCertificates, m_environment.backoffClock,
             m_environment.notificationCenter, m_environment.cachesDirectory});
}

Orrery::~Orrery()
{
    // The settings flow uses this SDK's bundle and notification centre.
    m_settingsAndOnboardingManager->stop();
}

TWLUserDefaults &Orrery::userDefaults() const
{
    return m_environment.userDefaults ? *m_environment.userDefaults
                                      : TWLUserDefaults::standardUserDefaults();
}

QString Orrery::readInstallationUUID()
{
    const QVariant value =
        userDefaults().objectForKeyByMigratingFromNSUserDefaults(InstallationUUIDKey);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

QString Orrery::generateInstallationUUID()
{
    const QString uuid = ORRGenerateUUIDString();
    TWLUserDefaults &store = userDefaults();
    store.setObject(uuid, InstallationUUIDKey);
    store.synchronize();
    return uuid;
}

Orrery &Orrery::startWithKits(const QList<Kit> &kits)
{
    bool firstCall = false;
    // A start that raised has not happened: a later call may try again.
    std::call_once(m_withOnce, [&] {
        firstCall = true;
        runStartUp(kits);
    });
    if (!firstCall)
        systemLog(QStringLiteral("[Orrery] [Orrery +with] called multiple times. Only the first "
                                 "call is honored, please pass all kits you wish to initialize"));
    return *this;
}

void Orrery::runStartUp(const QList<Kit> &kits)
{
    // As without a key: no kit starts and no settings are fetched.
    if (doNotTrack() || APIKey().isNull())
        return;
    KitClassList classes = convertToKitClassesIfNeeded(kits);
    validateORRKitConformance(classes);
    classes = kitClassesByAddingPasscodeIfFound(classes);
    classes = kitClassesByAddingTallyIfFound(classes);
    classes = kitClassesByEnsuringGlimpseIsFirst(classes);
    classes = kitClassesByAddingAdvertIfFound(classes);
    setKitClasses(classes);
    for (const KitClass &kitClass : classes)
        initializeKit(kitClass);
    onboardAppAndDownloadSettings();
}

Orrery::KitClassList Orrery::convertToKitClassesIfNeeded(const QList<Kit> &kits)
{
    KitClassList classes;
    for (const Kit &kit : kits) {
        if (const auto *kitClass = std::get_if<KitClass>(&kit))
            classes.append(*kitClass);
        else if (const auto &object = std::get<1>(kit))
            classes.append(object->objectClass());
        else
            classes.append(nullptr);
    }
    return classes;
}

void Orrery::validateORRKitConformance(const KitClassList &classes)
{
    for (const KitClass &kitClass : classes) {
        if (std::dynamic_pointer_cast<const ORRKit>(kitClass))
            continue;
        if (const auto legacy = std::dynamic_pointer_cast<const ORRLegacyKitClass>(kitClass)) {
            systemLog(QStringLiteral("[%1] Please upgrade to the latest version of \"%2\"")
                          .arg(SDKClassName, nameOf(kitClass)));
            if (std::dynamic_pointer_cast<ORRLegacyKitInstance>(legacy->sharedInstance()))
                continue;
        }
        throw ORRException(QStringLiteral("[%1] It appears that \"%2\" is not a valid Orrery Kit. "
                                          "Please make sure you only pass Orrery Kits to "
                                          "[Orrery with:].")
                               .arg(SDKClassName, nameOf(kitClass)));
    }
}

Orrery::KitClassList Orrery::kitClassesByAddingPasscodeIfFound(KitClassList classes) const
{
    const KitClass passcode = m_environment.classRegistry->classNamed(QStringLiteral("Passcode"));
    if (passcode && !classes.contains(passcode))
        classes.append(passcode);
    return classes;
}

Orrery::KitClassList Orrery::kitClassesByAddingTallyIfFound(KitClassList classes) const
{
    const ClassRegistry &registry = *m_environment.classRegistry;
    const KitClass tarnwell = registry.classNamed(QStringLiteral("Tarnwell"));
    const KitClass tally = registry.classNamed(QStringLiteral("Tally"));
    if (tarnwell && tally && classes.contains(tarnwell) &&
        std::dynamic_pointer_cast<const ORRKit>(tally) && !classes.contains(tally))
        classes.append(tally);
    return classes;
}

Orrery::KitClassList Orrery::kitClassesByEnsuringGlimpseIsFirst(KitClassList classes) const
{
    const KitClass glimpse = m_environment.classRegistry->classNamed(QStringLiteral("Glimpse"));
    const qsizetype index = glimpse ? classes.indexOf(glimpse) : -1;
    if (index > 0)
        classes.move(index, 0);
    return classes;
}

Orrery::KitClassList Orrery::kitClassesByAddingAdvertIfFound(KitClassList classes) const
{
    if (m_environment.classRegistry->containsClass(QStringLiteral("EmberAdsSDK")))
        classes.append(AdvertKit::sharedInstance());
    return classes;
}

void Orrery::initializeKit(const KitClass &kitClass)
{
    if (const auto kit = std::dynamic_pointer_cast<const ORRKit>(kitClass)) {
        kit->initializeIfNeeded();
        return;
    }
    if (const auto legacy = std::dynamic_pointer_cast<const ORRLegacyKitClass>(kitClass)) {
        if (const auto instance =
                std::dynamic_pointer_cast<ORRLegacyKitInstance>(legacy->sharedInstance()))
            instance->start();
    }
}

std::optional<QVariantMap> Orrery::configurationDictionaryForKitClass(const KitClass &kitClass)
{
    if (!kitClass)
        return std::nullopt;
    const QVariant kits = orreryConfig().value(QStringLiteral("Kits"));
    if (kits.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    for (const QVariant &entry : kits.toList()) {
        const QVariantMap kit = entry.toMap();
        if (kit.value(QStringLiteral("KitName")) == QVariant(kitClass->className()))
            return kit.value(QStringLiteral("KitInfo")).toMap();
    }
    return std::nullopt;
}

std::optional<QVariantMap>
Orrery::configurationDictionaryForKit(const std::shared_ptr<const ClassRegistry::Object> &kit)
{
    return kit ? configurationDictionaryForKitClass(kit->objectClass()) : std::nullopt;
}

QVariantMap Orrery::kitVersionsByKitBundleIdentifier() const
{
    QVariantMap versions;
    for (const KitClass &kitClass : kitClasses().value_or(KitClassList())) {
        if (const auto kit = std::dynamic_pointer_cast<const ORRKit>(kitClass)) {
            versions.insert(kit->bundleIdentifier(), kit->kitDisplayVersion());
        } else if (const auto legacy =
                       std::dynamic_pointer_cast<const ORRLegacyKitClass>(kitClass)) {
            if (const auto instance =
                    std::dynamic_pointer_cast<ORRLegacyKitInstance>(legacy->sharedInstance()))
                versions.insert(instance->bundleIdentifier(), instance->version());
        }
    }
    versions.insert(ORRSDKClientIdentifier, ORRSDKDisplayVersion);
    if (debug())
        systemLog(QStringLiteral("[Orrery] Initialized with kit versions: %1")
                      .arg(QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(versions))
                                                 .toJson(QJsonDocument::Compact))));
    return versions;
}

void Orrery::onboardAppAndDownloadSettings()
{
    ORRSettingsOnboardingManager &manager = *m_settingsAndOnboardingManager;
    manager.setDebug(debug());
    manager.setAdvertisingToken(advertisingToken());
    manager.setCollectDeviceIdentifiers(
        ORRShouldCollectDeviceIdentifiers(emberlineMode(), *m_environment.bundle));
    manager.beginSettingsAndOnboardingOperationsWithAPIKey(APIKey(),
                                                           kitVersionsByKitBundleIdentifier());
}

std::optional<QVariantMap> Orrery::settings() const
{
    return m_settingsAndOnboardingManager->settingsModel().settingsDictionary();
}

void Orrery::setDebug(bool debug)
{
    m_debug = debug;
    m_settingsAndOnboardingManager->setDebug(debug);
}

QString Orrery::APIKey()
{
    std::lock_guard lock(m_mutex);
    if (!m_APIKey.isNull())
        return m_APIKey;
    QString key;
    if (emberlineMode()) {
        key = emberlineAPIKey();
    } else {
        const QVariant value = orreryConfig().value(QStringLiteral("APIKey"));
        key = value.typeId() == QMetaType::QString ? value.toString() : QString();
        if (key.isNull())
            systemLog(QStringLiteral("[Orrery] Orrery API Key is nil! Orrery won't work unless "
                                     "there is a valid API Key setup in Info.plist"));
    }
    m_APIKey = key;
    return key;
}

QString Orrery::emberlineAPIKey() const
{
    const QString path = m_environment.bundle->pathForResource(QStringLiteral("EmberService-Info"),
                                                               QStringLiteral("plist"));
    if (path.isNull()) {
        systemLog(QStringLiteral("[Orrery] EmberService-Info.plist path unavailable"));
        return {};
    }
    const QVariant appId = PropertyList::readFile(path)
                               .value_or(QVariant())
                               .toMap()
                               .value(QStringLiteral("EMBER_APP_ID"));
    if (appId.typeId() != QMetaType::QString || appId.toString().isEmpty()) {
        systemLog(QStringLiteral("[Orrery] EmberService-Info.plist key EMBER_APP_ID unavailable"));
        return {};
    }
    return ORRSHA256String(appId.toString().toUtf8()).left(40);
}

void Orrery::setAPIKey(const QString &key)
{
    std::lock_guard lock(m_mutex);
    m_APIKey = key;
}

QString Orrery::advertisingToken() const
{
    std::lock_guard lock(m_mutex);
    return m_advertisingToken;
}

void Orrery::setAdvertisingToken(const QString &token)
{
    {
        std::lock_guard lock(m_mutex);
        m_advertisingToken = token;
    }
    m_settingsAndOnboardingManager->setAdvertisingToken(token);
}

std::optional<Orrery::KitClassList> Orrery::kitClasses() const
{
    std::lock_guard lock(m_mutex);
    return m_kitClasses;
}

void Orrery::setKitClasses(const KitClassList &classes)
{
    std::lock_guard lock(m_mutex);
    m_kitClasses = classes;
}

QVariantMap Orrery::orreryConfig()
{
    std::lock_guard lock(m_mutex);
    if (!m_orreryConfig)
        m_orreryConfig = validOrreryConfigFromInfoPlist(m_environment.bundle->infoDictionary());
    return *m_orreryConfig;
}

void Orrery::setOrreryConfig(const QVariantMap &config)
{
    std::lock_guard lock(m_mutex);
    m_orreryConfig = config;
}

QString Orrery::instanceIdentifier() const
{
    return m_applicationIdentifierModel ? m_applicationIdentifierModel->instanceIdentifier()
                                        : QString();
}

QVariantMap Orrery::validOrreryConfigFromInfoPlist(const std::optional<QVariantMap> &infoPlist)
{
    if (emberlineMode())
        return {};
    if (!infoPlist)
        throw ORRException(QStringLiteral("[%1] Cannot find Info.plist.").arg(SDKClassName));
    const QVariant config = infoPlist->value(SDKClassName);
    if (config.typeId() != QMetaType::QVariantMap)
        throw ORRException(
            QStringLiteral("[%1] Value of Info.plist key \"%2\" must be a NSDictionary.")
                .arg(SDKClassName, SDKClassName));
    const QVariantMap dictionary = config.toMap();
    if (dictionary.value(QStringLiteral("Kits")).typeId() != QMetaType::QVariantList)
        systemLog(QStringLiteral("[Orrery] [%1] Value of Info.plist[%2][%3] should be a NSArray.")
                      .arg(SDKClassName, SDKClassName, QStringLiteral("Kits")));
    if (dictionary.value(QStringLiteral("APIKey")).typeId() != QMetaType::QString)
        throw ORRException(
            QStringLiteral("[%1] Value of Info.plist[%2][%3] must contain your %4 API Key.")
                .arg(SDKClassName, SDKClassName, QStringLiteral("APIKey"), SDKClassName));
    setInstallationMode(InstallationModeInfoPlist);
    return dictionary;
}

void Orrery::appReadyToConfigureSDK()
{
    const Bundle &bundle = *m_environment.bundle;
    if (bundle.objectForInfoDictionaryKey(SDKClassName).typeId() == QMetaType::QVariantMap ||
        installationMode() == InstallationModeInfoPlist)
        return;
    setInstallationMode(InstallationModeEmberline);

    const QString enabledKey = QStringLiteral("emberline_tarnwell_collection_enabled");
    const QVariant enabled = bundle.objectForInfoDictionaryKey(enabledKey);
    const int type = enabled.typeId();
    const bool textOrNumber = type == QMetaType::QString || type == QMetaType::Bool ||
                              type == QMetaType::Int || type == QMetaType::LongLong ||
                              type == QMetaType::UInt || type == QMetaType::ULongLong ||
                              type == QMetaType::Double;
    if (textOrNumber && !ORRBooleanValue(enabled)) {
        if (debug())
            systemLog(
                QStringLiteral("[Orrery] Tarnwell initialization disabled via Info.plist key %1")
                    .arg(enabledKey));
        return;
    }
    if (const KitClass tarnwell =
            m_environment.classRegistry->classNamed(QStringLiteral("Tarnwell"))) {
        startWithKits({tarnwell});
        return;
    }
    systemLog(QStringLiteral("[Orrery] [%1] Attempting to initialize Tarnwell via Emberline but "
                             "could not find Tarnwell.")
                  .arg(SDKClassName));
}
