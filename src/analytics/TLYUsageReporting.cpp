#include "TLYUsageReporting.h"

#include "TLYEventLogFiles.h"
#include "Tally.h"

#include "foundation/Bundle.h"
#include "foundation/UserDefaults.h"
#include "sdk/Orrery.h"
#include "support/TWLUserDefaults.h"

#include <QDir>
#include <QStandardPaths>

namespace {

// The kit's folder for this application: the analytics root's
// "analytics/v2" sits in it.
QString kitDirectory()
{
    return QDir::cleanPath(TLYEventLogFiles::rootDirectory() + QStringLiteral("/../.."));
}

QString settingsDirectory()
{
    return ORRSettingsOnboardingManager::settingsDirectoryForCachesDirectory(
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation),
        Bundle::mainBundle().bundleIdentifier());
}

// Removes the folder and then its parent, if that is left empty: both are
// named after the kit or the application.
void removeFolder(const QString &path)
{
    QDir(path).removeRecursively();
    const QString parent = QFileInfo(path).path();
    QDir().rmdir(parent);
}

} // namespace

TLYUsageReporting::TLYUsageReporting(Kit kit)
    : m_kit(std::move(kit))
{}

bool TLYUsageReporting::userChoice()
{
    return UserDefaults::standardUserDefaults()->boolForKey(SendUsageStatisticsKey);
}

bool TLYUsageReporting::overriddenByEnvironment()
{
    return Orrery::doNotTrack();
}

void TLYUsageReporting::launch()
{
    if (isAllowed())
        start();
    else
        removeRecordedData();
}

void TLYUsageReporting::setUserChoice(bool send)
{
    const std::shared_ptr<UserDefaults> defaults = UserDefaults::standardUserDefaults();
    defaults->setBool(send, SendUsageStatisticsKey);
    defaults->synchronize();
    if (isAllowed()) {
        start();
        return;
    }
    if (isRunning()) {
        m_kit.stop();
        m_stopped = true;
    }
    removeRecordedData();
}

void TLYUsageReporting::start()
{
    if (m_started)
        return;
    m_started = true;
    if (m_kit.start)
        m_kit.start();
}

QStringList TLYUsageReporting::recordedDataPaths()
{
    return {kitDirectory(), settingsDirectory(), TWLUserDefaults::generateDirectoryURL()};
}

void TLYUsageReporting::removeRecordedData()
{
    removeFolder(kitDirectory());
    removeFolder(settingsDirectory());
    // The SDK's store may be in use: it forgets its contents too.
    TWLUserDefaults::standardUserDefaults().removePersistentStore();
    removeFolder(TWLUserDefaults::generateDirectoryURL());
}

void TLYUsageReporting::stopSDKAndKit()
{
    Tally::sharedInstance().stop();
    const std::shared_ptr<ORRSettingsOnboardingManager> &settings =
        Orrery::sharedSDK().settingsAndOnboardingManager();
    settings->stop();
    settings->settingsModel().clearSettingsDictionary();
}
