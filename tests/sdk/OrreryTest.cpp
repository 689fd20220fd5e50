#include "SdkTestEnvironment.h"

#include "foundation/Log.h"
#include "foundation/PropertyList.h"
#include "foundation/UserDefaults.h"
#include "sdk/AdvertKit.h"
#include "sdk/ORRException.h"
#include "sdk/ORRHashing.h"
#include "sdk/ORRKit.h"
#include "sdk/ORRLegacyKit.h"
#include "sdk/Orrery.h"
#include "support/TWLUserDefaults.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const auto *environment = ::testing::AddGlobalTestEnvironment(new SdkTestEnvironment);

using StartLog = std::shared_ptr<QStringList>;

class FakeKit : public ORRKit
{
public:
    FakeKit(QString name, StartLog log)
        : m_name(std::move(name))
        , m_log(std::move(log))
    {}
    QString className() const override { return m_name; }
    QString bundleIdentifier() const override { return "com.example." + m_name.toLower(); }
    QString kitDisplayVersion() const override { return "2.0." + QString::number(m_name.size()); }
    void initializeIfNeeded() const override { m_log->append(m_name); }

private:
    QString m_name;
    StartLog m_log;
};

// A kit instance whose class is a FakeKit.
class FakeKitInstance : public ClassRegistry::Object
{
public:
    explicit FakeKitInstance(std::shared_ptr<const FakeKit> kitClass)
        : m_class(std::move(kitClass))
    {}
    std::shared_ptr<const ClassRegistry::Class> objectClass() const override { return m_class; }

private:
    std::shared_ptr<const FakeKit> m_class;
};

class LegacyInstance : public ClassRegistry::Object, public ORRLegacyKitInstance
{
public:
    explicit LegacyInstance(StartLog log)
        : m_log(std::move(log))
    {}
    std::shared_ptr<const ClassRegistry::Class> objectClass() const override { return nullptr; }
    void start() override { m_log->append("Legacy"); }
    QString bundleIdentifier() const override { return "com.example.legacy"; }
    QString version() const override { return "0.9"; }

private:
    StartLog m_log;
};

class LegacyKit : public ORRLegacyKitClass
{
public:
    explicit LegacyKit(std::shared_ptr<ClassRegistry::Object> instance)
        : m_instance(std::move(instance))
    {}
    QString className() const override { return "Legacy"; }
    std::shared_ptr<ClassRegistry::Object> sharedInstance() const override { return m_instance; }

private:
    std::shared_ptr<ClassRegistry::Object> m_instance;
};

class NotAKit : public ClassRegistry::Class
{
public:
    QString className() const override { return "NotAKit"; }
};

const QVariantMap GoodInfo{
    {"CFBundleIdentifier", "com.example.App"},
    {"Orrery", QVariantMap{{"APIKey", "abcdef0123456789abcdef0123456789abcdef01"},
                           {"Kits", QVariantList{QVariantMap{{"KitName", "Tally"},
                                                             {"KitInfo", QVariantMap{{"a", 1}}}},
                                                 QVariantMap{{"KitName", "Bare"}}}}}},
};

// One application installation: its resources, its SDK store and the
// classes of its program.
class OrreryTest : public ::testing::Test
{
protected:
    void writeInfo(const QVariantMap &info)
    {
        ASSERT_TRUE(PropertyList::writeFile(resources().filePath("Info.plist"), info));
    }
    QDir resources() const { return QDir(m_dir.filePath("resources")); }
    QString storePath() const { return m_dir.filePath("store"); }
    std::shared_ptr<UserDefaults> applicationDefaults() const
    {
        return std::make_shared<UserDefaults>(m_dir.filePath("application.conf"));
    }

    // A new SDK over a fresh bundle and store objects: a new process run.
    Orrery &launch()
    {
        m_bundle = std::make_unique<Bundle>(resources().path());
        m_store = std::make_unique<TWLUserDefaults>(storePath(), applicationDefaults());
        m_orrery = std::make_unique<Orrery>(
            Orrery::Environment{m_bundle.get(), m_store.get(), &m_registry});
        return *m_orrery;
    }

    std::shared_ptr<const FakeKit> kit(const QString &name, bool registered = true)
    {
        auto k = std::make_shared<const FakeKit>(name, m_started);
        if (registered)
            m_registry.registerClass(k);
        return k;
    }

    void SetUp() override { QDir().mkpath(resources().path()); }

    QTemporaryDir m_dir;
    ClassRegistry m_registry;
    StartLog m_started = std::make_shared<QStringList>();
    std::unique_ptr<Bundle> m_bundle;
    std::unique_ptr<TWLUserDefaults> m_store;
    std::unique_ptr<Orrery> m_orrery;
};

} // namespace

TEST_F(OrreryTest, MisconfiguredInfoPlistRaisesBeforeAnyKitStarts)
{
    const auto tally = kit("Tally");
    struct Case
    {
        std::optional<QVariantMap> info;
        QString reason;
    };
    const QList<Case> cases{
        {std::nullopt, "[Orrery] Cannot find Info.plist."},
        {QVariantMap{{"CFBundleIdentifier", "x"}},
         "[Orrery] Value of Info.plist key \"Orrery\" must be a NSDictionary."},
        {QVariantMap{{"Orrery", "key"}},
         "[Orrery] Value of Info.plist key \"Orrery\" must be a NSDictionary."},
        {QVariantMap{{"Orrery", QVariantMap{{"Kits", QVariantList{}}}}},
         "[Orrery] Value of Info.plist[Orrery][APIKey] must contain your Orrery API Key."},
        {QVariantMap{{"Orrery", QVariantMap{{"APIKey", 42}}}},
         "[Orrery] Value of Info.plist[Orrery][APIKey] must contain your Orrery API Key."},
    };
    for (const Case &c : cases) {
        QFile::remove(resources().filePath("Info.plist"));
        if (c.info)
            writeInfo(*c.info);
        Orrery &orrery = launch();
        try {
            orrery.startWithKits({tally});
            ADD_FAILURE() << "no exception for " << c.reason.toStdString();
        } catch (const ORRException &exception) {
            EXPECT_EQ(exception.name(), "ORRException");
            EXPECT_EQ(exception.reason(), c.reason);
        }
        EXPECT_TRUE(m_started->isEmpty());
        EXPECT_FALSE(orrery.kitClasses());
    }
}

TEST_F(OrreryTest, StartsKitsOnceAndLogsLaterCalls)
{
    writeInfo(GoodInfo);
    const auto a = kit("Alpha");
    const auto b = kit("Beta");
    Orrery &orrery = launch();
    orrery.startWithKits({a, std::make_shared<FakeKitInstance>(b)});
    EXPECT_EQ(*m_started, (QStringList{"Alpha", "Beta"}));
    EXPECT_EQ(orrery.kitClasses(), (Orrery::KitClassList{a, b}));
    EXPECT_EQ(orrery.APIKey(), "abcdef0123456789abcdef0123456789abcdef01");
    EXPECT_EQ(orrery.installationMode(), 1u);

    LogCapture log;
    orrery.startWithKits({kit("Gamma")});
    EXPECT_EQ(log.count("[Orrery] [Orrery +with] called multiple times. Only the first call is "
                        "honored, please pass all kits you wish to initialize"),
              1);
    EXPECT_EQ(*m_started, (QStringList{"Alpha", "Beta"}));
    EXPECT_EQ(orrery.kitClasses(), (Orrery::KitClassList{a, b}));
}

TEST_F(OrreryTest, DoNotTrackStartsNoKitAndFetchesNoSettings)
{
    writeInfo(GoodInfo);
    const auto a = kit("Alpha");
    for (const QByteArray value : {"1", "true", "yes"}) {
        ScopedEnvironmentVariable doNotTrack("DO_NOT_TRACK", value);
        EXPECT_TRUE(Orrery::doNotTrack());
        Orrery &orrery = launch();
        orrery.startWithKits({a});
        EXPECT_TRUE(m_started->isEmpty());
        EXPECT_FALSE(orrery.kitClasses());
        // The settings flow never began.
        EXPECT_TRUE(orrery.settingsAndOnboardingManager()->APIKey().isNull());
    }
    for (const QByteArray value : {"", "0", "false", "Off"}) {
        ScopedEnvironmentVariable doNotTrack("DO_NOT_TRACK", value);
        EXPECT_FALSE(Orrery::doNotTrack()) << value.toStdString();
    }
    launch().startWithKits({a});
    EXPECT_EQ(*m_started, QStringList{"Alpha"});
}

TEST_F(OrreryTest, InstallationIdentifierIsMadeOnceAndSurvivesRestart)
{
    writeInfo(GoodInfo);
    Orrery &first = launch();
    const QString installID = first.installID();
    const QString execution = first.executionIdentifier();
    EXPECT_TRUE(first.isFirstInstall());
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$")
                    .match(installID)
                    .hasMatch());
    EXPECT_TRUE(QRegularExpression("^[0-9a-f]{32}$").match(execution).hasMatch());

    Orrery &second = launch();
    EXPECT_FALSE(second.isFirstInstall());
    EXPECT_EQ(second.installID(), installID);
    EXPECT_NE(second.executionIdentifier(), execution);
    ASSERT_TRUE(second.applicationIdentifierModel());
    EXPECT_EQ(second.applicationIdentifierModel()->installID(), installID);
    EXPECT_EQ(second.instanceIdentifier().size(), 40);
}

TEST_F(OrreryTest, InstallationIdentifierIsTakenOverFromApplicationSettings)
{
    writeInfo(GoodInfo);
    applicationDefaults()->setObject("11111111-2222-3333-4444-555555555555",
                                     Orrery::InstallationUUIDKey);
    Orrery &orrery = launch();
    EXPECT_FALSE(orrery.isFirstInstall());
    EXPECT_EQ(orrery.installID(), "11111111-2222-3333-4444-555555555555");
    EXPECT_FALSE(applicationDefaults()->objectForKey(Orrery::InstallationUUIDKey).isValid());
}

TEST_F(OrreryTest, KitListIsCompletedAndOrdered)
{
    writeInfo(GoodInfo);
    const auto tarnwell = kit("Tarnwell");
    const auto tally = kit("Tally");
    const auto glimpse = kit("Glimpse");
    const auto passcode = kit("Passcode");
    m_registry.registerClass(std::make_shared<NotAKit>());
    auto ads = std::make_shared<FakeKit>("EmberAdsSDK", m_started);
    m_registry.registerClass(ads);

    Orrery &orrery = launch();
    orrery.startWithKits({tarnwell, std::make_shared<FakeKitInstance>(glimpse)});
    const Orrery::KitClassList expected{glimpse, tarnwell, passcode, tally,
                                        AdvertKit::sharedInstance()};
    EXPECT_EQ(orrery.kitClasses(), expected);
    EXPECT_EQ(*m_started, (QStringList{"Glimpse", "Tarnwell", "Passcode", "Tally"}));

    const QVariantMap versions = orrery.kitVersionsByKitBundleIdentifier();
    EXPECT_EQ(versions.value("io.orrery.sdk.mac"), "1.7.5");
    EXPECT_EQ(versions.value("com.example.tally"), "2.0.5");
    EXPECT_EQ(versions.value("com.ember.advert.ios"), "0.0.0");

    // Without Tarnwell in the list, Tally is not added.
    ClassRegistry::ClassPtr alone = tally;
    EXPECT_EQ(orrery.kitClassesByAddingTallyIfFound({alone}), Orrery::KitClassList{alone});
}

TEST_F(OrreryTest, OlderKitsAreStartedThroughTheirSharedInstanceAndOthersRefused)
{
    writeInfo(GoodInfo);
    auto legacy = std::make_shared<LegacyKit>(std::make_shared<LegacyInstance>(m_started));
    LogCapture log;
    Orrery &orrery = launch();
    orrery.startWithKits({legacy});
    EXPECT_EQ(log.count("[Orrery] Please upgrade to the latest version of \"Legacy\""), 1);
    EXPECT_EQ(*m_started, QStringList{"Legacy"});
    EXPECT_EQ(orrery.kitVersionsByKitBundleIdentifier().value("com.example.legacy"), "0.9");

    Orrery &other = launch();
    try {
        other.startWithKits({kit("Fine"), std::make_shared<NotAKit>()});
        ADD_FAILURE() << "a class that is no kit was accepted";
    } catch (const ORRException &exception) {
        EXPECT_EQ(exception.reason(),
                  "[Orrery] It appears that \"NotAKit\" is not a valid Orrery Kit. Please make "
                  "sure you only pass Orrery Kits to [Orrery with:].");
    }
    EXPECT_EQ(*m_started, QStringList{"Legacy"});
}

TEST_F(OrreryTest, KitConfigurationComesFromTheKitsList)
{
    writeInfo(GoodInfo);
    Orrery &orrery = launch();
    EXPECT_EQ(orrery.configurationDictionaryForKitClass(kit("Tally")), (QVariantMap{{"a", 1}}));
    EXPECT_EQ(orrery.configurationDictionaryForKitClass(kit("Bare")), QVariantMap());
    EXPECT_EQ(orrery.configurationDictionaryForKitClass(kit("Missing")), std::nullopt);
    EXPECT_EQ(orrery.configurationDictionaryForKit(std::make_shared<FakeKitInstance>(kit("Tally"))),
              (QVariantMap{{"a", 1}}));

    writeInfo({{"Orrery", QVariantMap{{"APIKey", "k"}}}});
    Orrery &bare = launch();
    LogCapture log;
    EXPECT_EQ(bare.configurationDictionaryForKitClass(kit("Tally")), std::nullopt);
    EXPECT_EQ(log.count("[Orrery] [Orrery] Value of Info.plist[Orrery][Kits] should be a NSArray."),
              1);
}

TEST_F(OrreryTest, EmberlineHostStartsTarnwellWithADerivedKey)
{
    writeInfo({{"CFBundleIdentifier", "com.example.App"}});
    ASSERT_TRUE(PropertyList::writeFile(resources().filePath("EmberService-Info.plist"),
                                        QVariantMap{{"EMBER_APP_ID", "1:2345:mac:abc"}}));
    const auto tarnwell = kit("Tarnwell");
    Orrery &orrery = launch();
    orrery.appReadyToConfigureSDK();
    EXPECT_TRUE(orrery.emberlineMode());
    EXPECT_EQ(orrery.APIKey(), ORRSHA256String("1:2345:mac:abc").left(40));
    EXPECT_EQ(orrery.orreryConfig(), QVariantMap());
    EXPECT_EQ(*m_started, QStringList{"Tarnwell"});
}

TEST_F(OrreryTest, EmberlineStartCanBeDisabledAndNeedsAKey)
{
    const auto tarnwell = kit("Tarnwell");
    for (const QVariant &off : {QVariant("NO"), QVariant(0), QVariant(false)}) {
        writeInfo({{"emberline_tarnwell_collection_enabled", off}});
        Orrery &orrery = launch();
        orrery.appReadyToConfigureSDK();
        EXPECT_EQ(orrery.installationMode(), 2u);
        EXPECT_FALSE(orrery.kitClasses());
    }
    writeInfo({{"emberline_tarnwell_collection_enabled", "YES"}});
    LogCapture log;
    Orrery &orrery = launch();
    orrery.appReadyToConfigureSDK();
    EXPECT_EQ(log.count("[Orrery] EmberService-Info.plist path unavailable"), 1);
    EXPECT_TRUE(m_started->isEmpty());
    EXPECT_FALSE(orrery.kitClasses());

    // An Info.plist configuration wins over Emberline.
    writeInfo(GoodInfo);
    Orrery &configured = launch();
    configured.appReadyToConfigureSDK();
    EXPECT_EQ(configured.installationMode(), 0u);
}

TEST(OrreryResourcesTest, ShippedInfoPlistConfiguresTally)
{
    const Bundle &bundle = Bundle::mainBundle();
    EXPECT_EQ(bundle.bundleIdentifier(), "com.ferrowby.Quillmoor");
    const QVariantMap orrery = bundle.objectForInfoDictionaryKey("Orrery").toMap();
    EXPECT_TRUE(
        QRegularExpression("^[0-9a-f]{40}$").match(orrery.value("APIKey").toString()).hasMatch());
    const QVariantList kits = orrery.value("Kits").toList();
    ASSERT_EQ(kits.size(), 1);
    EXPECT_EQ(kits.first().toMap().value("KitName"), "Tally");
    for (const char *key : {"CFBundleName", "CFBundleShortVersionString", "CFBundleVersion",
                            "NSHumanReadableCopyright"})
        EXPECT_FALSE(bundle.objectForInfoDictionaryKey(key).toString().isEmpty()) << key;
}
