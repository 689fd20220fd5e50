#include "ORRSettingsOnboardingManager.h"

#include "ORRConstants.h"
#include "foundation/Log.h"

#include <QDir>
#include <QStandardPaths>

namespace {

QString cachesDirectoryOf(const QString &configured)
{
    return configured.isEmpty()
               ? QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
               : configured;
}

QString withoutTrailingSlashes(QString base)
{
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base;
}

} // namespace

std::shared_ptr<ORRSettingsOnboardingManager>
ORRSettingsOnboardingManager::initWithApplicationIdentifierModel(
    std::shared_ptr<const ORRApplicationIdentiferModel> model, Environment environment)
{
    return std::shared_ptr<ORRSettingsOnboardingManager>(
        new ORRSettingsOnboardingManager(std::move(model), std::move(environment)));
}

std::shared_ptr<ORRSettingsOnboardingManager>
ORRSettingsOnboardingManager::initWithApplicationIdentifierModel(
    std::shared_ptr<const ORRApplicationIdentiferModel> model)
{
    return initWithApplicationIdentifierModel(std::move(model), Environment());
}

ORRSettingsOnboardingManager::ORRSettingsOnboardingManager(
    std::shared_ptr<const ORRApplicationIdentiferModel> model, Environment environment)
    : m_appIdentifierModel(std::move(model))
    , m_environment(std::move(environment))
    , m_settingsDirectory(
          settingsDirectoryForCachesDirectory(cachesDirectoryOf(m_environment.cachesDirectory),
                                              m_environment.bundle->bundleIdentifier()))
    , m_settingsModel(std::make_unique<ORRSettings>(
          QDir(m_settingsDirectory).filePath(QStringLiteral("settings.json")),
          *m_environment.bundle))
{}

ORRSettingsOnboardingManager::~ORRSettingsOnboardingManager()
{
    stop();
}

QString
ORRSettingsOnboardingManager::settingsDirectoryForCachesDirectory(const QString &cachesDirectory,
                                                                  const QString &bundleIdentifier)
{
    return QDir(cachesDirectory)
        .filePath(QStringLiteral("%1.data/%2").arg(ORRSDKClientIdentifier, bundleIdentifier));
}

void ORRSettingsOnboardingManager::stop()
{
    std::lock_guard flow(m_flowMutex);
    m_stopped = true;
    finishNetworkingSession();
    std::shared_ptr<ORRDownloadAndSaveSettingsOperation> download;
    {
        std::lock_guard lock(m_mutex);
        download = m_downloadOperation;
    }
    // A download that has arrived may be storing its settings right now.
    if (download)
        download->cancel();
}

QString ORRSettingsOnboardingManager::settingsPath() const
{
    return m_settingsModel->settingsPath();
}

QString ORRSettingsOnboardingManager::APIKey() const
{
    std::lock_guard lock(m_mutex);
    return m_APIKey;
}

QVariantMap ORRSettingsOnboardingManager::kitVersionsByKitBundleIdentifier() const
{
    std::lock_guard lock(m_mutex);
    return m_kitVersions;
}

std::shared_ptr<ORROnboardingOperation> ORRSettingsOnboardingManager::onboardingOperation() const
{
    std::lock_guard lock(m_mutex);
    return m_onboardingOperation;
}

bool ORRSettingsOnboardingManager::hasAttemptedAppConfigure() const
{
    std::lock_guard lock(m_mutex);
    return m_hasAttemptedAppConfigure;
}

QVariantMap ORRSettingsOnboardingManager::configuration() const
{
    return m_environment.bundle->objectForInfoDictionaryKey(QStringLiteral("Tarnwell")).toMap();
}

QVariantMap ORRSettingsOnboardingManager::defaultConfiguration()
{
    return {{SettingsEndpointKey, DefaultSettingsEndpoint},
            {ConfigureEndpointKey, DefaultConfigureEndpoint}};
}

std::shared_ptr<ORRNetworkClient> ORRSettingsOnboardingManager::networkClient()
{
    std::lock_guard lock(m_mutex);
    if (!m_networkClient)
        m_networkClient = ORRNetworkClient::create(nullptr, m_environment.pinnedCertificates,
                                                   m_environment.backoffClock);
    return m_networkClient;
}

QString ORRSettingsOnboardingManager::advertisingToken() const
{
    std::lock_guard lock(m_mutex);
    return m_advertisingToken;
}

void ORRSettingsOnboardingManager::setAdvertisingToken(const QString &token)
{
    std::lock_guard lock(m_mutex);
    m_advertisingToken = token;
}

void ORRSettingsOnboardingManager::beginSettingsAndOnboardingOperationsWithAPIKey(
    const QString &APIKey, const QVariantMap &kitVersions)
{
    std::lock_guard flow(m_flowMutex);
    if (m_stopped)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_APIKey = APIKey;
        m_kitVersions = kitVersions;
    }
    beginSettingsDownload();
}

void ORRSettingsOnboardingManager::beginSettingsDownload()
{
    const std::shared_ptr<ORRNetworkClient> client = networkClient();
    const std::optional<QUrl> url = settingsURL();
    if (!client || !url) {
        systemLog(QStringLiteral("[Orrery] failed to download settings %1")
                      .arg(client ? QStringLiteral("(no settings address)")
                                  : QStringLiteral("(no network)")));
        return;
    }
    if (!collectDeviceIdentifiers())
        debugLog(QStringLiteral("[Orrery] Suppressing device identifier reporting"));
    const auto operation = ORRDownloadAndSaveSettingsOperation::create(
        APIKey(), weak_from_this(), *url, m_settingsDirectory, settingsPath(),
        m_appIdentifierModel ? m_appIdentifierModel->installID() : QString(), advertisingToken(),
        client, collectDeviceIdentifiers());
    if (!operation)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_downloadOperation = operation;
    }
    operation->start();
}

void ORRSettingsOnboardingManager::beginOnboarding(bool create, const QString &endpointString)
{
    const auto operation = ORROnboardingOperation::create(
        weak_from_this(), create, APIKey(), kitVersionsByKitBundleIdentifier(),
        m_appIdentifierModel, endpointString, networkClient(), *m_environment.bundle);
    std::shared_ptr<ORROnboardingOperation> previous;
    {
        std::lock_guard lock(m_mutex);
        previous = std::exchange(m_onboardingOperation, operation);
    }
    if (previous)
        previous->cancel();
    if (operation)
        operation->start();
}

QString ORRSettingsOnboardingManager::valueForConfigurationKey(const QString &key) const
{
    const QString fromEnvironment = qEnvironmentVariable(key.toLocal8Bit().constData());
    if (!fromEnvironment.isEmpty())
        return withoutTrailingSlashes(fromEnvironment);
    const QVariant configured = configuration().value(key);
    if (configured.typeId() == QMetaType::QString && !configured.toString().isEmpty())
        return withoutTrailingSlashes(configured.toString());
    return defaultConfiguration().value(key).toString();
}

std::optional<QUrl> ORRSettingsOnboardingManager::settingsURL() const
{
    return m_settingsModel->settingsURLForEndpoint(
        valueForConfigurationKey(SettingsEndpointKey),
        m_appIdentifierModel ? m_appIdentifierModel->instanceIdentifier() : QString());
}

void ORRSettingsOnboardingManager::postSettingsDownloadCompletedNotification()
{
    debugLog(QStringLiteral("[Orrery] Settings are available for consumption"));
    m_environment.notificationCenter->post(SettingsAvailableNotification);
}

void ORRSettingsOnboardingManager::finishNetworkingSession()
{
    std::shared_ptr<ORRNetworkClient> client;
    {
        std::lock_guard lock(m_mutex);
        client = m_networkClient;
    }
    if (client)
        client->invalidateAndCancel();
}

void ORRSettingsOnboardingManager::operation(ORRDownloadAndSaveSettingsOperation &,
                                             const Error &error)
{
    std::lock_guard flow(m_flowMutex);
    if (!m_stopped)
        didDownloadSettings(error);
}

void ORRSettingsOnboardingManager::onboardingOperationDidCompleteAppCreation(
    ORROnboardingOperation &, const Error &error)
{
    std::lock_guard flow(m_flowMutex);
    if (!m_stopped)
        didCompleteAppCreation(error);
}

void ORRSettingsOnboardingManager::onboardingOperationDidCompleteAppUpdate(ORROnboardingOperation &,
                                                                           const Error &error)
{
    std::lock_guard flow(m_flowMutex);
    if (!m_stopped)
        didCompleteAppUpdate(error);
}

void ORRSettingsOnboardingManager::didDownloadSettings(const Error &error)
{
    if (!error.isNull()) {
        systemLog(QStringLiteral("[Orrery] failed to download settings %1")
                      .arg(error.localizedDescription()));
        finishNetworkingSession();
        return;
    }
    debugLog(QStringLiteral("[Orrery] settings downloaded successfully"));
    m_settingsModel->clearSettingsDictionary();

    if (hasAttemptedAppConfigure()) {
        debugLog(QStringLiteral("[Orrery] App already onboarded in this run of the app"));
        postSettingsDownloadCompletedNotification();
        finishNetworkingSession();
        return;
    }
    if (m_settingsModel->appNeedsOnboarding()) {
        debugLog(QStringLiteral("[Orrery] Starting onboarding with app create"));
        {
            std::lock_guard lock(m_mutex);
            m_hasAttemptedAppConfigure = true;
        }
        // The settings are announced once the application is known.
        beginOnboarding(true, valueForConfigurationKey(ConfigureEndpointKey));
        return;
    }
    postSettingsDownloadCompletedNotification();
    if (m_settingsModel->appUpdateRequired()) {
        debugLog(QStringLiteral("[Orrery] Starting onboarding with app update"));
        {
            std::lock_guard lock(m_mutex);
            m_hasAttemptedAppConfigure = true;
        }
        beginOnboarding(false, valueForConfigurationKey(ConfigureEndpointKey));
    } else {
        finishNetworkingSession();
    }
}

void ORRSettingsOnboardingManager::didCompleteAppCreation(const Error &error)
{
    if (!error.isNull()) {
        systemLog(QStringLiteral("[Orrery] unable to complete application configure: %1")
                      .arg(error.localizedDescription()));
        finishNetworkingSession();
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_onboardingOperation.reset();
    }
    debugLog(QStringLiteral("[Orrery] completed configure"));
    beginSettingsDownload();
}

void ORRSettingsOnboardingManager::didCompleteAppUpdate(const Error &error)
{
    finishNetworkingSession();
    if (!error.isNull()) {
        systemLog(QStringLiteral("[Orrery] unable to complete application update: %1")
                      .arg(error.localizedDescription()));
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_onboardingOperation.reset();
    }
    debugLog(QStringLiteral("[Orrery] completed application update"));
}

void ORRSettingsOnboardingManager::debugLog(const QString &line) const
{
    if (m_debug)
        systemLog(line);
}
