#include "ReferenceService.h"
#include "ScaledBackoffClock.h"
#include "SdkTestEnvironment.h"
#include "TestCertificates.h"
#include "TestWaiting.h"

#include "foundation/Log.h"
#include "foundation/PropertyList.h"
#include "foundation/SystemInformation.h"
#include "sdk/ORRSettings.h"
#include "sdk/ORRSettingsOnboardingManager.h"
#include "sdk/Orrery.h"
#include "support/TWLUserDefaults.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrlQuery>

#include <gtest/gtest.h>

#include <atomic>

namespace {

const auto *environment = ::testing::AddGlobalTestEnvironment(new SdkTestEnvironment);

using Endpoint = ReferenceService::Endpoint;
using Answer = ReferenceService::Answer;
using Request = ReferenceService::Request;

const QString APIKey = "abcdef0123456789abcdef0123456789abcdef01";

const QVariantMap Info{
    {"CFBundleIdentifier", "com.example.App"},
    {"CFBundleName", "Example"},
    {"CFBundleVersion", "100"},
    {"CFBundleShortVersionString", "1.0.0"},
    {"Orrery", QVariantMap{{"APIKey", APIKey}, {"Kits", QVariantList{}}}},
};

// The text parts of a multipart form, in order: field name and value.
QList<QPair<QString, QString>> formFields(const Request &request)
{
    const QByteArray contentType = request.header("Content-Type");
    const QByteArray boundary = contentType.mid(contentType.indexOf("boundary=") + 9);
    QList<QPair<QString, QString>> fields;
    static const QRegularExpression name("name=\"([^\"]*)\"");
    const QByteArray delimiter = "--" + boundary + "\r\n";
    qsizetype at = request.body.indexOf(delimiter);
    while (at >= 0) {
        const qsizetype headEnd = request.body.indexOf("\r\n\r\n", at);
        qsizetype next = request.body.indexOf("\r\n--" + boundary, headEnd);
        if (headEnd < 0 || next < 0)
            break;
        const QString head = QString::fromUtf8(request.body.mid(at, headEnd - at));
        fields.append({name.match(head).captured(1),
                       QString::fromUtf8(request.body.mid(headEnd + 4, next - headEnd - 4))});
        at = request.body.indexOf(delimiter, next);
    }
    return fields;
}

QString fieldValue(const QList<QPair<QString, QString>> &fields, const QString &name)
{
    for (const auto &[field, value] : fields) {
        if (field == name)
            return value;
    }
    return {};
}

// One installation of an application that starts the SDK without kits:
// its resources, stores, cache folder and a notification centre of its own.
class SettingsFlowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QDir().mkpath(m_dir.filePath("resources"));
        writeInfo(Info);
        m_center.addObserver(ORRSettingsOnboardingManager::SettingsAvailableNotification, nullptr,
                             this, [this](const Notification &) {
                                 m_requestsAtNotification =
                                     m_service ? m_service->requests().size() : -1;
                                 ++m_notifications;
                                 m_notified.set();
                             });
    }
    void TearDown() override
    {
        m_orrery.reset();
        m_center.removeObserver(this);
    }

    void writeInfo(const QVariantMap &info)
    {
        ASSERT_TRUE(PropertyList::writeFile(m_dir.filePath("resources/Info.plist"), info));
    }

    // A service the endpoints point at while the test runs.
    ReferenceService &serve(std::unique_ptr<ReferenceService> service = nullptr)
    {
        m_service = service ? std::move(service) : std::make_unique<ReferenceService>();
        const QByteArray base = m_service->baseURL().toUtf8();
        m_settingsEndpoint.emplace("SettingsEndpoint", base);
        m_configureEndpoint.emplace("ConfigureEndpoint", base);
        return *m_service;
    }

    Orrery &launch(ORRNetworkClient::Certificates pins = std::nullopt)
    {
        m_orrery.reset();
        m_bundle = std::make_unique<Bundle>(m_dir.filePath("resources"));
        m_store = std::make_unique<TWLUserDefaults>(m_dir.filePath("store"));
        Orrery::Environment environment{m_bundle.get(), m_store.get(), &m_registry};
        environment.pinnedCertificates = std::move(pins);
        environment.backoffClock = m_clock;
        environment.notificationCenter = &m_center;
        environment.cachesDirectory = cachesDirectory();
        m_orrery = std::make_unique<Orrery>(environment);
        return *m_orrery;
    }
    // Launches and starts the SDK, which begins the settings flow.
    Orrery &start(ORRNetworkClient::Certificates pins = std::nullopt)
    {
        Orrery &orrery = launch(std::move(pins));
        orrery.startWithKits({});
        return orrery;
    }

    QString cachesDirectory() const { return m_dir.filePath("cache"); }
    QString settingsPath() const
    {
        return m_dir.filePath("cache/io.orrery.sdk.mac.data/com.example.App/settings.json");
    }
    QByteArray settingsFile() const
    {
        QFile file(settingsPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void writeSettingsFile(const QByteArray &contents) const
    {
        QDir().mkpath(QFileInfo(settingsPath()).path());
        QFile file(settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    // True once the flow has ended: its network client takes no more work.
    bool waitForTheFlowToEnd() const
    {
        return waitUntil([this] {
            return !m_orrery->settingsAndOnboardingManager()
                        ->networkClient()
                        ->session()
                        ->delegate();
        });
    }

    QTemporaryDir m_dir;
    ClassRegistry m_registry;
    NotificationCenter m_center;
    std::shared_ptr<ScaledBackoffClock> m_clock = std::make_shared<ScaledBackoffClock>();
    std::unique_ptr<ReferenceService> m_service;
    std::optional<ScopedEnvironmentVariable> m_settingsEndpoint;
    std::optional<ScopedEnvironmentVariable> m_configureEndpoint;
    std::unique_ptr<Bundle> m_bundle;
    std::unique_ptr<TWLUserDefaults> m_store;
    std::unique_ptr<Orrery> m_orrery;
    std::atomic<int> m_notifications = 0;
    std::atomic<qsizetype> m_requestsAtNotification = -1;
    Latch m_notified;
};

} // namespace

TEST_F(SettingsFlowTest, SettingsAddressNamesPlatformApplicationAndInstallation)
{
    Orrery &orrery = launch();
    const auto url = orrery.settingsAndOnboardingManager()->settingsURL();
    ASSERT_TRUE(url);
    EXPECT_EQ(url->toString(QUrl::RemoveQuery),
              QString(SdkTestEnvironment::ClosedEndpoint) +
                  "/spi/v2/platforms/mac/apps/com.example.App/settings");
    EXPECT_EQ(url->query(), "build_version=100&display_version=1.0.0&instance=" +
                                orrery.instanceIdentifier() + "&source=1");
    EXPECT_EQ(orrery.instanceIdentifier().size(), 40);

    // A missing value leaves its parameter out; reserved characters in a
    // value cannot start another parameter.
    writeInfo({{"CFBundleIdentifier", "com.example.App"}, {"CFBundleVersion", "1&x=2"}});
    Bundle bundle(m_dir.filePath("resources"));
    ORRSettings settings(settingsPath(), bundle);
    EXPECT_EQ(settings.settingsURLForEndpoint("https://s.example", {})->toString(),
              "https://s.example/spi/v2/platforms/mac/apps/com.example.App/settings"
              "?build_version=1%26x%3D2&source=1");
}

TEST_F(SettingsFlowTest, EndpointsComeFromTheEnvironmentThenInfoPlistThenTheBuiltInOnes)
{
    ScopedEnvironmentVariable noSettings("SettingsEndpoint", "");
    ScopedEnvironmentVariable noConfigure("ConfigureEndpoint", "");
    {
        auto &manager = *launch().settingsAndOnboardingManager();
        EXPECT_EQ(manager.valueForConfigurationKey("SettingsEndpoint"),
                  "https://settings.quillmoor.ferrowby.com");
        EXPECT_EQ(manager.valueForConfigurationKey("ConfigureEndpoint"),
                  "https://api.quillmoor.ferrowby.com");
        EXPECT_EQ(manager.settingsURL()->scheme(), "https");
    }
    QVariantMap info = Info;
    info["Tarnwell"] = QVariantMap{{"SettingsEndpoint", "http://127.0.0.1:1/"},
                                   {"ConfigureEndpoint", "http://127.0.0.1:2"}};
    writeInfo(info);
    {
        auto &manager = *launch().settingsAndOnboardingManager();
        EXPECT_EQ(manager.valueForConfigurationKey("SettingsEndpoint"), "http://127.0.0.1:1");
        EXPECT_EQ(manager.valueForConfigurationKey("ConfigureEndpoint"), "http://127.0.0.1:2");
    }
    ScopedEnvironmentVariable settings("SettingsEndpoint", "http://127.0.0.1:3//");
    auto &manager = *launch().settingsAndOnboardingManager();
    EXPECT_EQ(manager.valueForConfigurationKey("SettingsEndpoint"), "http://127.0.0.1:3");
    EXPECT_EQ(manager.valueForConfigurationKey("ConfigureEndpoint"), "http://127.0.0.1:2");
}

TEST_F(SettingsFlowTest, DownloadStoresTheSettingsAndAnnouncesThemOnce)
{
    ReferenceService &service = serve();
    Orrery &orrery = start();
    ASSERT_TRUE(m_notified.wait());
    ASSERT_TRUE(waitForTheFlowToEnd());
    EXPECT_EQ(m_notifications, 1);
    ASSERT_EQ(service.requests().size(), 1);

    const QJsonObject stored = QJsonDocument::fromJson(settingsFile()).object();
    EXPECT_EQ(stored, service.defaultSettings());
    EXPECT_EQ(QDir(QFileInfo(settingsPath()).path()).entryList(QDir::Files),
              QStringList{"settings.json"});
    ASSERT_TRUE(orrery.settings());
    EXPECT_EQ(orrery.settings()->value("analytics").toMap().value("url").toString(),
              service.baseURL() + "/spi/v2/events");

    const Request sent = service.requests().first();
    EXPECT_EQ(sent.method, "GET");
    EXPECT_EQ(sent.header("Accept"), "application/json");
    EXPECT_EQ(sent.header("X-Tarnwell-API-Key"), APIKey.toUtf8());
    EXPECT_EQ(sent.header("X-Tarnwell-Installation-ID"), orrery.installID().toUtf8());
    EXPECT_EQ(sent.header("X-Tarnwell-Device-Model"), SystemInformation::hardwareModel().toUtf8());
    EXPECT_EQ(sent.header("X-Tarnwell-OS-Build-Version"),
              SystemInformation::operatingSystemBuildVersion().toUtf8());
    EXPECT_EQ(sent.header("X-Tarnwell-OS-Display-Version"),
              SystemInformation::operatingSystemDisplayVersion().toUtf8());
    EXPECT_EQ(sent.header("X-Tarnwell-API-Client-Version"), "1.7.5");
    EXPECT_TRUE(sent.header("X-Tarnwell-Advertising-Token").isNull());
    const QUrlQuery query(sent.url);
    EXPECT_EQ(query.queryItemValue("instance"), orrery.instanceIdentifier());
    EXPECT_EQ(query.queryItemValue("source"), "1");
}

TEST_F(SettingsFlowTest, AdvertisingTokenGoesOutOnlyWhereIdentifiersMayBeCollected)
{
    ReferenceService &service = serve();
    Orrery &orrery = launch();
    orrery.setAdvertisingToken("TOKEN-1");
    orrery.startWithKits({});
    ASSERT_TRUE(service.waitForRequests(1));
    EXPECT_EQ(service.requests().first().header("X-Tarnwell-Advertising-Token"), "TOKEN-1");

    QVariantMap info = Info;
    info["Orrery"] = QVariantMap{{"APIKey", APIKey}, {"ReportIdentifiers", false}};
    writeInfo(info);
    Orrery &again = launch();
    again.setAdvertisingToken("TOKEN-2");
    again.startWithKits({});
    ASSERT_TRUE(service.waitForRequests(2));
    EXPECT_TRUE(service.requests()[1].header("X-Tarnwell-Advertising-Token").isNull());
}

TEST_F(SettingsFlowTest, NewApplicationIsCreatedBeforeTheSettingsAreAnnounced)
{
    ReferenceService &service = serve();
    service.enqueueAnswer(Endpoint::Settings,
                          Answer::json(QJsonObject{{"app", QJsonObject{{"status", "new"}}}}));
    service.setStandingAnswer(Endpoint::AppCreate, Answer::withStatus(201));
    Orrery &orrery = start();
    ASSERT_TRUE(m_notified.wait());
    ASSERT_TRUE(waitForTheFlowToEnd());
    EXPECT_EQ(m_notifications, 1);
    // Download, create, download again; announced after the second.
    EXPECT_EQ(m_requestsAtNotification, 3);
    const QList<Request> requests = service.requests();
    ASSERT_EQ(requests.size(), 3);
    EXPECT_EQ(requests[0].endpoint, Endpoint::Settings);
    EXPECT_EQ(requests[2].endpoint, Endpoint::Settings);
    EXPECT_EQ(QJsonDocument::fromJson(settingsFile()).object(), service.defaultSettings());

    const Request &create = requests[1];
    EXPECT_EQ(create.endpoint, Endpoint::AppCreate);
    EXPECT_EQ(create.method, "POST");
    EXPECT_EQ(create.url.path(), "/spi/v1/platforms/mac/apps");
    EXPECT_EQ(create.header("X-Tarnwell-API-Key"), APIKey.toUtf8());
    EXPECT_TRUE(create.header("Content-Type").startsWith("multipart/form-data; boundary="));
    EXPECT_EQ(create.header("Content-Length").toLongLong(), create.body.size());
    EXPECT_TRUE(create.body.startsWith("MIME-Version: 1.0\r\n"));

    const auto model = orrery.applicationIdentifierModel();
    ASSERT_TRUE(model);
    QStringList names;
    const auto fields = formFields(create);
    for (const auto &field : fields)
        names.append(field.first);
    QStringList expected{"app[identifier]",
                         "app[instance_identifier]",
                         "app[name]",
                         "app[build_version]",
                         "app[display_version]",
                         "app[source]",
                         "app[minimum_sdk_version]",
                         "app[built_sdk_version]",
                         "app[build][libraries][io.orrery.sdk.mac]"};
    for (int i = 0; i < model->architectureUUIDMap().size(); ++i)
        expected << "app[slices][][arch]"
                 << "app[slices][][uuid]";
    // No icon in a program without windows: no icon fields.
    EXPECT_EQ(names, expected);
    EXPECT_EQ(fieldValue(fields, "app[identifier]"), "com.example.App");
    EXPECT_EQ(fieldValue(fields, "app[instance_identifier]"), orrery.instanceIdentifier());
    EXPECT_EQ(fieldValue(fields, "app[name]"), "Example");
    EXPECT_EQ(fieldValue(fields, "app[build_version]"), "100");
    EXPECT_EQ(fieldValue(fields, "app[display_version]"), "1.0.0");
    EXPECT_EQ(fieldValue(fields, "app[source]"), "1");
    EXPECT_EQ(fieldValue(fields, "app[minimum_sdk_version]"), model->minimumSDKString());
    EXPECT_EQ(fieldValue(fields, "app[built_sdk_version]"), model->builtSDKString());
    EXPECT_EQ(fieldValue(fields, "app[build][libraries][io.orrery.sdk.mac]"), "1.7.5");
    ASSERT_FALSE(model->architectureUUIDMap().isEmpty());
    EXPECT_EQ(fieldValue(fields, "app[slices][][arch]"), model->architectureUUIDMap().firstKey());
    EXPECT_EQ(fieldValue(fields, "app[slices][][uuid]"), model->architectureUUIDMap().first());
}

TEST_F(SettingsFlowTest, StillNewAfterTheCreateIsNotCreatedTwice)
{
    ReferenceService &service = serve();
    service.setSettings(QJsonObject{{"app", QJsonObject{{"status", "new"}}}});
    start();
    ASSERT_TRUE(m_notified.wait());
    ASSERT_TRUE(waitForTheFlowToEnd());
    EXPECT_EQ(service.requests(Endpoint::AppCreate).size(), 1);
    EXPECT_EQ(service.requests(Endpoint::Settings).size(), 2);
    EXPECT_EQ(m_notifications, 1);
}

TEST_F(SettingsFlowTest, UpdateRequiredIsAnnouncedThenSentOnce)
{
    ReferenceService &service = serve();
    QJsonObject settings = service.defaultSettings();
    settings["app"] = QJsonObject{{"status", "activated"}, {"update_required", true}};
    service.setSettings(settings);
    start();
    ASSERT_TRUE(service.waitForRequests(Endpoint::AppUpdate, 1));
    ASSERT_TRUE(waitForTheFlowToEnd());
    EXPECT_EQ(m_notifications, 1);
    EXPECT_EQ(m_requestsAtNotification, 1);
    const QList<Request> requests = service.requests();
    ASSERT_EQ(requests.size(), 2);
    const Request &update = requests[1];
    EXPECT_EQ(update.method, "PUT");
    EXPECT_EQ(update.url.path(), "/spi/v1/platforms/mac/apps/com.example.App");
    EXPECT_EQ(fieldValue(formFields(update), "app[identifier]"), "com.example.App");
}

TEST_F(SettingsFlowTest, FailedCreateEndsTheFlowUnannounced)
{
    ReferenceService &service = serve();
    service.setSettings(QJsonObject{{"app", QJsonObject{{"status", "new"}}}});
    service.setStandingAnswer(Endpoint::AppCreate, Answer::withStatus(422));
    LogCapture log;
    start();
    ASSERT_TRUE(service.waitForRequests(Endpoint::AppCreate, 1));
    ASSERT_TRUE(waitForTheFlowToEnd());
    EXPECT_EQ(m_notifications, 0);
    EXPECT_EQ(service.requests().size(), 2);
    EXPECT_EQ(log.lines().filter("[Orrery] unable to complete application configure: ").size(), 1);
}

TEST_F(SettingsFlowTest, FailedDownloadIsTriedTwiceAndKeepsThePreviousSettings)
{
    writeSettingsFile(R"({"analytics":{"url":"http://127.0.0.1:1/spi/v2/events"}})");
    ReferenceService &service = serve();
    service.setStandingAnswer(Endpoint::Settings, Answer::withStatus(503));
    LogCapture log;
    Orrery &orrery = start();
    ASSERT_TRUE(waitForTheFlowToEnd());
    EXPECT_EQ(service.requests().size(), 2);
    EXPECT_EQ(m_notifications, 0);
    EXPECT_EQ(settingsFile(), R"({"analytics":{"url":"http://127.0.0.1:1/spi/v2/events"}})");
    EXPECT_EQ(orrery.settings()->value("analytics").toMap().value("url"),
              "http://127.0.0.1:1/spi/v2/events");
    EXPECT_EQ(log.lines().filter("[Orrery] failed to download settings ").size(), 1);
    ASSERT_EQ(m_clock->delays().size(), 1);
    EXPECT_GE(m_clock->delays().first(), 2 * 0.8999);
    EXPECT_LE(m_clock->delays().first(), 2 * 1.1001);
}

TEST_F(SettingsFlowTest, DownloadThatIsNoJSONObjectKeepsThePreviousSettings)
{
    writeSettingsFile(R"({"kept":true})");
    ReferenceService &service = serve();
    Answer broken = Answer::json({});
    broken.body = R"({"truncated":)";
    service.setStandingAnswer(Endpoint::Settings, broken);
    start();
    ASSERT_TRUE(waitForTheFlowToEnd());
    EXPECT_EQ(service.requests().size(), 1);
    EXPECT_EQ(m_notifications, 0);
    EXPECT_EQ(settingsFile(), R"({"kept":true})");
}

TEST_F(SettingsFlowTest, CorruptSettingsFileIsDeletedOnFirstRead)
{
    writeSettingsFile("not json");
    LogCapture log;
    Orrery &orrery = launch();
    EXPECT_FALSE(orrery.settings());
    EXPECT_FALSE(QFile::exists(settingsPath()));
    EXPECT_EQ(log.lines().filter("[Orrery] Could not load settings with error: ").size(), 1);

    // A good file is read once and kept until cleared.
    writeSettingsFile(R"({"app":{"status":null,"update_required":"YES"}})");
    ORRSettings &settings = orrery.settingsAndOnboardingManager()->settingsModel();
    settings.clearSettingsDictionary();
    EXPECT_TRUE(settings.appStatus().isNull());
    EXPECT_FALSE(settings.appNeedsOnboarding());
    EXPECT_TRUE(settings.appUpdateRequired());
    writeSettingsFile(R"({"app":{"status":"new"}})");
    EXPECT_FALSE(settings.appNeedsOnboarding());
    settings.clearSettingsDictionary();
    EXPECT_TRUE(settings.appNeedsOnboarding());
}

TEST_F(SettingsFlowTest, EnvironmentRedirectsEveryRequestAwayFromInfoPlist)
{
    ReferenceService elsewhere;
    QVariantMap info = Info;
    info["Tarnwell"] = QVariantMap{{"SettingsEndpoint", elsewhere.baseURL()},
                                   {"ConfigureEndpoint", elsewhere.baseURL()}};
    writeInfo(info);
    ReferenceService &service = serve();
    service.enqueueAnswer(Endpoint::Settings,
                          Answer::json(QJsonObject{{"app", QJsonObject{{"status", "new"}}}}));
    start();
    ASSERT_TRUE(m_notified.wait());
    EXPECT_EQ(service.requests().size(), 3);
    EXPECT_TRUE(elsewhere.requests().isEmpty());
}

TEST_F(SettingsFlowTest, PinnedDownloadOverTLSReachesOnlyATrustedServer)
{
    const TestCertificates &certificates = TestCertificates::shared();
    ASSERT_TRUE(certificates.valid);
    ReferenceService &service = serve(
        std::make_unique<ReferenceService>(certificates.serverA.chain, certificates.serverA.key));
    start(QList<QSslCertificate>{certificates.rootA});
    ASSERT_TRUE(m_notified.wait());
    EXPECT_EQ(service.requests().size(), 1);
    EXPECT_EQ(QJsonDocument::fromJson(settingsFile()).object(), service.defaultSettings());

    // Pinned to the built-in roots, the test server is refused before it
    // hears anything.
    QFile::remove(settingsPath());
    LogCapture log;
    start(ORRCertificatePinner::builtinCertificates());
    ASSERT_TRUE(waitForTheFlowToEnd());
    EXPECT_EQ(service.requests().size(), 1);
    EXPECT_FALSE(QFile::exists(settingsPath()));
    EXPECT_EQ(log.lines().filter("[Orrery] failed to download settings ").size(), 1);
}

TEST_F(SettingsFlowTest, StartReturnsWhileTheServiceIsSlowOrUnreachable)
{
    ReferenceService &service = serve();
    Answer slow = Answer::json(service.defaultSettings());
    slow.delay = std::chrono::minutes(5);
    service.setStandingAnswer(Endpoint::Settings, slow);
    start();
    // The download is under way while the start has long returned.
    ASSERT_TRUE(service.waitForRequests(1));
    EXPECT_EQ(m_notifications, 0);
    m_orrery.reset();

    // Unreachable: the start returns, the flow fails later, quietly.
    ScopedEnvironmentVariable closed("SettingsEndpoint", SdkTestEnvironment::ClosedEndpoint);
    LogCapture log;
    start();
    ASSERT_TRUE(waitForTheFlowToEnd());
    EXPECT_EQ(m_notifications, 0);
    EXPECT_EQ(log.lines().filter("[Orrery] failed to download settings ").size(), 1);
}
