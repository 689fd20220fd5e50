#include "AnalyticsTestSupport.h"

#include "analytics/TLYCustomEvent.h"
#include "analytics/TLYTallyController.h"
#include "analytics/TLYUsageReporting.h"
#include "analytics/Tally.h"

#include "foundation/Bundle.h"
#include "foundation/PropertyList.h"
#include "foundation/UserDefaults.h"
#include "support/TWLUserDefaults.h"

#include <QDir>
#include <QDirIterator>
#include <QSettings>

#include <gtest/gtest.h>

namespace {

// Sets DO_NOT_TRACK while it lives.
class DoNotTrack
{
public:
    DoNotTrack() { qputenv("DO_NOT_TRACK", "1"); }
    ~DoNotTrack() { qunsetenv("DO_NOT_TRACK"); }
};

class TLYUsageReportingTest : public testing::Test
{
protected:
    void SetUp() override
    {
        qunsetenv("DO_NOT_TRACK");
        UserDefaults::resetStandardUserDefaults();
    }
    void TearDown() override
    {
        Tally::sharedInstance().setTallyController(nullptr);
        UserDefaults::resetStandardUserDefaults();
    }

    // The kit as a test runs it: a real controller over this home.
    TLYUsageReporting::Kit kit()
    {
        return {[this] {
                    ++starts;
                    TLYTallyController::Configuration configuration;
                    configuration.rootDirectory = home.analyticsRoot();
                    configuration.metadata =
                        std::make_shared<const TLYMetadata>(testMetadataFields());
                    controller = std::make_shared<TLYTallyController>(configuration);
                    Tally::sharedInstance().setTallyController(controller);
                },
                [this] {
                    ++stops;
                    Tally::sharedInstance().stop();
                }};
    }

    // What earlier runs leave: events, crash metadata, settings and the
    // installation identifier.
    void plantRecordedData() const
    {
        const QString settings =
            home.cacheDirectory() + "/io.orrery.sdk.mac.data/com.ferrowby.Quillmoor";
        for (const QString &folder : {home.eventsDirectory(), settings})
            QDir().mkpath(folder);
        writeFile(QDir(home.eventsDirectory()).filePath("4A6B2C1D.log"), "1\tmetadata\t2\t{}\n");
        writeFile(QDir(home.analyticsRoot()).filePath("crash_metadata"), "{}");
        writeFile(settings + "/settings.json", "{}");
        TWLUserDefaults store(TWLUserDefaults::generateDirectoryURL());
        store.setString("4A6B2C1D-0000-4000-8000-0000000000AA", "com.tarnwell.iuuid");
        ASSERT_TRUE(store.synchronize());
        ASSERT_EQ(filesUnder(home.path(), QDir::Files).size(), 4);
    }
    // Files and folders, unless told otherwise.
    static QStringList filesUnder(const QString &path, QDir::Filters filters = QDir::AllEntries)
    {
        QStringList found;
        QDirIterator it(path, filters | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            found.append(it.next());
        return found;
    }
    // The stored choice, as the settings file holds it.
    QVariant storedChoice() const
    {
        UserDefaults::standardUserDefaults()->synchronize();
        return QSettings(UserDefaults::standardFilePath(), QSettings::IniFormat)
            .value(TLYUsageReporting::SendUsageStatisticsKey);
    }

    TemporaryHome home;
    int starts = 0;
    int stops = 0;
    std::shared_ptr<TLYTallyController> controller;
};

} // namespace

TEST_F(TLYUsageReportingTest, TheApplicationShipsWithReportingOff)
{
    const auto defaults =
        PropertyList::readFile(Bundle::mainBundle().pathForResource("Defaults", "plist"));
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->toMap().value(TLYUsageReporting::SendUsageStatisticsKey), false);
    EXPECT_FALSE(TLYUsageReporting::userChoice());
}

TEST_F(TLYUsageReportingTest, LaunchWithoutTheUsersYesStartsNothingAndDeletesWhatWasKept)
{
    plantRecordedData();
    TLYUsageReporting reporting(kit());
    reporting.launch();
    EXPECT_EQ(starts, 0);
    EXPECT_FALSE(reporting.isRunning());
    EXPECT_EQ(filesUnder(home.cacheDirectory()), QStringList());
    EXPECT_EQ(filesUnder(home.dataDirectory()), QStringList());
}

TEST_F(TLYUsageReportingTest, LaunchWithTheUsersYesStartsTheKit)
{
    UserDefaults::standardUserDefaults()->setBool(true, TLYUsageReporting::SendUsageStatisticsKey);
    plantRecordedData();
    TLYUsageReporting reporting(kit());
    reporting.launch();
    EXPECT_EQ(starts, 1);
    EXPECT_TRUE(reporting.isRunning());
    Tally::logCustomEventWithName("Open About Window");
    controller->waitUntilIdle();
    EXPECT_TRUE(QFileInfo::exists(home.cacheDirectory() +
                                  "/io.orrery.sdk.mac.data/com.ferrowby.Quillmoor/settings.json"));
    EXPECT_FALSE(QDir(home.eventsDirectory()).isEmpty());
}

TEST_F(TLYUsageReportingTest, DoNotTrackOverridesTheUsersYes)
{
    UserDefaults::standardUserDefaults()->setBool(true, TLYUsageReporting::SendUsageStatisticsKey);
    plantRecordedData();
    DoNotTrack doNotTrack;
    TLYUsageReporting reporting(kit());
    EXPECT_TRUE(TLYUsageReporting::overriddenByEnvironment());
    EXPECT_FALSE(TLYUsageReporting::isAllowed());
    reporting.launch();
    reporting.setUserChoice(true);
    EXPECT_EQ(starts, 0);
    EXPECT_EQ(filesUnder(home.cacheDirectory()), QStringList());
    EXPECT_EQ(filesUnder(home.dataDirectory()), QStringList());
}

TEST_F(TLYUsageReportingTest, TurningReportingOffStopsTheKitAndDeletesEverythingAtOnce)
{
    UserDefaults::standardUserDefaults()->setBool(true, TLYUsageReporting::SendUsageStatisticsKey);
    TLYUsageReporting reporting(kit());
    reporting.launch();
    Tally::logCustomEventWithName("Recorded");
    controller->waitUntilIdle();
    ASSERT_FALSE(QDir(home.eventsDirectory()).isEmpty());

    reporting.setUserChoice(false);
    EXPECT_EQ(stops, 1);
    EXPECT_FALSE(reporting.isRunning());
    EXPECT_EQ(storedChoice(), false);
    EXPECT_EQ(filesUnder(home.cacheDirectory()), QStringList());
    EXPECT_EQ(filesUnder(home.dataDirectory()), QStringList());
    // Nothing more is recorded, by this controller or any other.
    Tally::logCustomEventWithName("Not recorded");
    controller->logEvent(std::make_shared<TLYCustomEvent>("Not recorded either", QVariantMap()));
    controller->waitUntilIdle();
    EXPECT_EQ(filesUnder(home.cacheDirectory()), QStringList());

    // On again in the same run: the kit starts with the next launch.
    reporting.setUserChoice(true);
    EXPECT_EQ(storedChoice(), true);
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(filesUnder(home.cacheDirectory()), QStringList());
    TLYUsageReporting nextLaunch(kit());
    nextLaunch.launch();
    EXPECT_EQ(starts, 2);
}

TEST_F(TLYUsageReportingTest, TurningReportingOnStartsTheKitAtOnce)
{
    TLYUsageReporting reporting(kit());
    reporting.launch();
    EXPECT_EQ(starts, 0);
    reporting.setUserChoice(true);
    reporting.setUserChoice(true);
    EXPECT_EQ(starts, 1);
    EXPECT_TRUE(reporting.isRunning());
    EXPECT_EQ(storedChoice(), true);
}
