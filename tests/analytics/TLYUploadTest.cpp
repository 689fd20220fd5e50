#include "AnalyticsTestSupport.h"
#include "ReferenceService.h"
#include "ScaledBackoffClock.h"
#include "TestCertificates.h"
#include "TestWaiting.h"

#include "analytics/TLYBackoffTimer.h"
#include "analytics/TLYNetworkRetryHandler.h"
#include "analytics/TLYPackageUploads.h"
#include "analytics/TLYSettings.h"
#include "analytics/TLYUploadOperation.h"
#include "foundation/Log.h"
#include "foundation/OperationQueue.h"
#include "foundation/Uuid.h"
#include "support/URLError.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Endpoint = ReferenceService::Endpoint;
using Answer = ReferenceService::Answer;

const QString APIKey = "5f0b8e2c41d7a96e3b1c08f4d2a7e95c6b3f1d80";

// Nominal seconds, within the ten per cent of jitter either way.
bool withinJitter(double seconds, double nominal)
{
    return seconds >= nominal * 0.8999 && seconds <= nominal * 1.1001;
}

// An events folder with its queue and uploads, talking to one service.
class UploadTest : public testing::Test
{
protected:
    void TearDown() override
    {
        if (m_uploads)
            m_uploads->uploader()->invalidate();
        drain(*m_queue);
    }

    TLYPackageUploads &uploads(ORRNetworkClient::Certificates pins = std::nullopt)
    {
        m_uploads = TLYPackageUploads::create(
            QUrl::fromLocalFile(m_events.path()), m_queue, APIKey,
            std::make_shared<TLYNetworkRetryHandler>(std::move(pins), m_clock));
        return *m_uploads;
    }

    // A package file of the events folder; its name is its boundary.
    QUrl package(const QByteArray &contents)
    {
        const QString path = m_events.filePath(uuidText() + ".multipartmime");
        writeFile(path, contents);
        return QUrl::fromLocalFile(path);
    }
    static QString nameOf(const QUrl &package)
    {
        return TLYPackageUploads::boundaryFromURL(package);
    }

    void send(const QUrl &package)
    {
        m_queue->addOperation(m_uploads->uploadOperationForFileAtURL(
            package, TLYPackageUploads::boundaryFromURL(package)));
    }
    // The upload of a package is over once its file has gone.
    bool waitUntilGone(const QUrl &package)
    {
        return waitUntil([&] { return !QFile::exists(package.toLocalFile()); },
                         std::chrono::seconds(60));
    }

    DebugLogging m_debug;
    LogCapture m_log;
    QTemporaryDir m_events;
    std::shared_ptr<OperationQueue> m_queue = std::make_shared<OperationQueue>("events", 1);
    std::shared_ptr<ScaledBackoffClock> m_clock = std::make_shared<ScaledBackoffClock>();
    std::shared_ptr<TLYPackageUploads> m_uploads;
};

} // namespace

TEST_F(UploadTest, PackageUploadCarriesEveryHeaderAndThePackageBytes)
{
    ReferenceService service;
    uploads().setTallyURL(service.url("/spi/v2/events"));
    const QByteArray contents = QByteArray("MIME-Version: 1.0\r\n\0\x1f\x8b binary", 30);
    const QUrl file = package(contents);
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    send(file);
    ASSERT_TRUE(waitUntilGone(file));
    const qint64 after = QDateTime::currentSecsSinceEpoch();

    ASSERT_EQ(service.requests().size(), 1);
    const ReferenceService::Request sent = service.requests().first();
    EXPECT_EQ(sent.endpoint, Endpoint::Events);
    EXPECT_EQ(sent.body, contents);
    EXPECT_EQ(sent.header("Content-Type"),
              "multipart/form-data; boundary=" + nameOf(file).toUtf8());
    EXPECT_EQ(sent.header("Content-Length"), QByteArray::number(contents.size()));
    EXPECT_EQ(sent.header("User-Agent"), "Tally Mac SDK/1.3.6");
    EXPECT_EQ(sent.header("X-TARNWELL-DEVELOPER-TOKEN"),
              "3c1e9a07b5d24f68e0a9c7b31d5f2e84a6b09c7d");
    EXPECT_EQ(sent.header("X-TARNWELL-API-CLIENT-TYPE"), "Tally Mac SDK");
    EXPECT_EQ(sent.header("X-TARNWELL-API-CLIENT-VERSION"), "29");
    EXPECT_EQ(sent.header("X-TARNWELL-API-CLIENT-DISPLAY-VERSION"), "1.3.6");
    EXPECT_EQ(sent.header("X-TARNWELL-API-CLIENT-BUILD-VERSION"), "29");
    EXPECT_EQ(sent.header("X-TARNWELL-API-KEY"), APIKey.toUtf8());
    const qint64 stamp = sent.header("X-Tarnwell-Api-Client-Packaged-Timestamp").toLongLong();
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, after);
    // Each of them once: nothing the transport adds doubles them.
    for (const QByteArray name : {"Content-Type", "Content-Length", "User-Agent"}) {
        int count = 0;
        for (const auto &header : sent.headers)
            count += header.first.compare(name, Qt::CaseInsensitive) == 0;
        EXPECT_EQ(count, 1) << name.constData();
    }
    EXPECT_TRUE(m_log.contains("[Tally] Transmitting packaged events for '" + nameOf(file) + "'."));
    EXPECT_TRUE(m_log.contains("[Tally] Finished transmission of '" + nameOf(file) + "'."));
    EXPECT_TRUE(m_clock->delays().isEmpty());
}

TEST_F(UploadTest, ServerFailingEveryTimeGetsTwelveTransfersWithDoublingWaitsThenThePackageGoes)
{
    ReferenceService service;
    service.setStandingAnswer(Endpoint::Events, Answer::withStatus(503));
    uploads().setTallyURL(service.url("/spi/v2/events"));
    const QUrl file = package("events");
    send(file);
    ASSERT_TRUE(waitUntilGone(file));

    EXPECT_EQ(service.requests(Endpoint::Events).size(), 12);
    const QList<double> delays = m_clock->delays();
    ASSERT_EQ(delays.size(), 11);
    for (int k = 1; k <= 11; ++k)
        EXPECT_TRUE(withinJitter(delays[k - 1], std::pow(2.0, k))) << k << ": " << delays[k - 1];
    const QString name = nameOf(file);
    EXPECT_EQ(m_log.count("[Tally] Scheduling retry for '" + name + "'."), 11);
    EXPECT_EQ(m_log.count("[Tally] Retrying task with name " + name), 11);
    EXPECT_TRUE(m_log.contains("[Tally] Failed to upload '" + name +
                               "': The operation couldn\u2019t be completed. (ORRNetworkError "
                               "error -1.)"));
    EXPECT_EQ(m_log.count("[Tally] Finished transmission of '" + name + "'."), 1);
}

TEST_F(UploadTest, FirstRetryAfterIsTheBaseOfEveryLaterWait)
{
    ReferenceService service;
    service.script(Endpoint::Events, {Answer::withStatus(503, 30), Answer::withStatus(429, 5),
                                      Answer::withStatus(202)});
    uploads().setTallyURL(service.url("/spi/v2/events"));
    const QUrl file = package("events");
    send(file);
    ASSERT_TRUE(waitUntilGone(file));
    EXPECT_EQ(service.requests(Endpoint::Events).size(), 3);
    const QList<double> delays = m_clock->delays();
    ASSERT_EQ(delays.size(), 2);
    EXPECT_TRUE(withinJitter(delays[0], 30)) << delays[0];
    EXPECT_TRUE(withinJitter(delays[1], 900)) << delays[1];
    EXPECT_FALSE(m_log.lines().join('\n').contains("Failed to upload"));
}

TEST_F(UploadTest, RejectedPackageIsNotRetriedAndGoes)
{
    ReferenceService service;
    service.setStandingAnswer(Endpoint::Events, Answer::withStatus(413));
    uploads().setTallyURL(service.url("/spi/v2/events"));
    const QUrl file = package("far too large");
    send(file);
    ASSERT_TRUE(waitUntilGone(file));
    EXPECT_EQ(service.requests().size(), 1);
    EXPECT_TRUE(m_clock->delays().isEmpty());
    EXPECT_TRUE(m_log.contains("[Tally] Failed to upload '" + nameOf(file) +
                               "': The operation couldn\u2019t be completed. (ORRNetworkError "
                               "error -5.)"));
}

TEST_F(UploadTest, PackageInFlightIsNotSentTwiceButARetryStartsAnew)
{
    ReferenceService service;
    service.script(Endpoint::Events, {Answer::withStatus(500)});
    uploads().setTallyURL(service.url("/spi/v2/events"));
    const QUrl file = package("events");
    send(file);
    send(file);
    ASSERT_TRUE(waitUntilGone(file));
    const QString name = nameOf(file);
    EXPECT_EQ(
        m_log.count("[Tally:TLYUploader] A task currently exists for '" + name + "', skipping"), 1);
    // The failed transfer and its retry; the second operation sent nothing.
    EXPECT_EQ(service.requests().size(), 2);
    EXPECT_EQ(service.requests()[0].body, service.requests()[1].body);
    EXPECT_EQ(m_log.count("[Tally] Retrying task with name " + name), 1);
}

namespace {

// Holds every wait until the test lets it end.
class HeldBackoffClock : public BackoffClock
{
public:
    void runAfter(Duration, std::function<void()> block) override
    {
        std::lock_guard lock(m_mutex);
        m_held.push_back(std::move(block));
    }
    int held() const
    {
        std::lock_guard lock(m_mutex);
        return int(m_held.size());
    }
    void release()
    {
        std::vector<std::function<void()>> blocks;
        {
            std::lock_guard lock(m_mutex);
            blocks.swap(m_held);
        }
        for (const auto &block : blocks)
            block();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::function<void()>> m_held;
};

} // namespace

TEST_F(UploadTest, APackageWaitingForItsRetryIsNotSentASecondTime)
{
    ReferenceService service;
    service.script(Endpoint::Events, {Answer::withStatus(503)});
    const auto clock = std::make_shared<HeldBackoffClock>();
    m_uploads =
        TLYPackageUploads::create(QUrl::fromLocalFile(m_events.path()), m_queue, APIKey,
                                  std::make_shared<TLYNetworkRetryHandler>(std::nullopt, clock));
    m_uploads->setTallyURL(service.url("/spi/v2/events"));
    const QUrl file = package("events");
    send(file);
    // The transfer failed and its retry waits: no transfer is in flight.
    ASSERT_TRUE(waitUntil([&] { return clock->held() == 1; }));
    send(file);
    drain(*m_queue);
    clock->release();
    ASSERT_TRUE(waitUntilGone(file));
    EXPECT_EQ(service.requests().size(), 2);
    EXPECT_EQ(m_log.count("[Tally:TLYUploader] A task currently exists for '" + nameOf(file) +
                          "', skipping"),
              1);
}

TEST_F(UploadTest, MissingPackageEndsAtOnceWithTheUnreadableFileError)
{
    ReferenceService service;
    uploads().setTallyURL(service.url("/spi/v2/events"));
    const QUrl file = package("events");
    QFile::remove(file.toLocalFile());
    send(file);
    const QString finished = "[Tally] Finished transmission of '" + nameOf(file) + "'.";
    ASSERT_TRUE(waitUntil([&] { return m_log.contains(finished); }));
    EXPECT_TRUE(m_log.contains("[Tally] Failed to upload '" + nameOf(file) +
                               "': The operation couldn\u2019t be completed. (ORRNetworkError "
                               "error -8.)"));
    EXPECT_TRUE(service.requests().isEmpty());
}

TEST_F(UploadTest, PackagesWaitUntilTheEventsEndpointIsKnown)
{
    ReferenceService service;
    uploads();
    const QUrl first = package("first");
    const QUrl second = package("second");
    send(first);
    drain(*m_queue);
    EXPECT_TRUE(QFile::exists(first.toLocalFile()));
    EXPECT_FALSE(m_log.lines().join('\n').contains("Transmitting"));

    m_uploads->setTallyURL(service.url("/spi/v2/events"));
    m_queue->addOperationWithBlock([this] { m_uploads->uploadAllMultipartFiles(); });
    ASSERT_TRUE(waitUntilGone(first));
    ASSERT_TRUE(waitUntilGone(second));
    QList<QByteArray> bodies;
    for (const auto &request : service.requests())
        bodies.append(request.body);
    std::sort(bodies.begin(), bodies.end());
    EXPECT_EQ(bodies, (QList<QByteArray>{"first", "second"}));
}

TEST_F(UploadTest, PinnedUploadReachesOnlyAServerOfAPinnedRoot)
{
    const TestCertificates &certificates = TestCertificates::shared();
    ASSERT_TRUE(certificates.valid);
    ReferenceService service(certificates.serverA.chain, certificates.serverA.key);

    uploads(QList<QSslCertificate>{certificates.rootA}).setTallyURL(service.url("/spi/v2/events"));
    const QUrl trusted = package("over TLS");
    send(trusted);
    ASSERT_TRUE(waitUntilGone(trusted));
    ASSERT_EQ(service.requests().size(), 1);
    EXPECT_EQ(service.requests().first().body, "over TLS");

    // With the built-in roots the test server is refused before it hears
    // anything; every attempt fails the same way, and the package goes.
    m_uploads->uploader()->invalidate();
    uploads(ORRCertificatePinner::builtinCertificates()).setTallyURL(service.url("/spi/v2/events"));
    const QUrl refused = package("never sent");
    send(refused);
    ASSERT_TRUE(waitUntilGone(refused));
    EXPECT_EQ(service.requests().size(), 1);
    EXPECT_EQ(m_clock->delays().size(), 11);
}

TEST(TLYBackoffTimerTest, WaitsGrowAsPowersOfTheLargerOfTwoAndTheInitialValue)
{
    auto clock = std::make_shared<ScaledBackoffClock>(0);
    TLYBackoffTimer plain(0, TLYBackoffTimer::DefaultJitterCoefficient, clock);
    EXPECT_EQ(plain.jitterCoefficient(), double(0.1f));
    for (unsigned count = 0; count <= 11; ++count) {
        const double nominal = std::pow(2.0, std::max(count, 1u));
        EXPECT_TRUE(withinJitter(plain.computeDelayForInitialValue(0, count), nominal)) << count;
        EXPECT_TRUE(withinJitter(plain.computeDelayForInitialValue(-3, count), nominal)) << count;
    }
    EXPECT_TRUE(withinJitter(plain.computeDelayForInitialValue(30, 3), 27000));
    for (int i = 0; i < 500; ++i) {
        const double jitter = plain.generateRandomJitter();
        EXPECT_GE(jitter, 1 - double(0.1f));
        EXPECT_LT(jitter, 1 + double(0.1f));
    }
    EXPECT_TRUE(TLYBackoffTimer::jitterCoefficientIsValid(0));
    EXPECT_FALSE(TLYBackoffTimer::jitterCoefficientIsValid(1));
    EXPECT_FALSE(TLYBackoffTimer::jitterCoefficientIsValid(-0.01));

    // Each wait counts one retry; a wait no timer can hold is held at the
    // longest one instead of running at once.
    TLYBackoffTimer huge(1e6, 0, clock);
    Latch ran;
    huge.executeBlockAfterNextInterval([] {});
    huge.executeBlockAfterNextInterval([&] { ran.set(); });
    EXPECT_TRUE(ran.wait());
    EXPECT_EQ(huge.retryCount(), 2u);
    ASSERT_EQ(clock->delays().size(), 2);
    EXPECT_EQ(clock->delays()[0], 1e6);
    EXPECT_EQ(clock->delays()[1],
              std::chrono::duration<double>(BackoffClock::MaximumDelay).count());
}

TEST(TLYNetworkRetryHandlerTest, DecidesFromTheAnswerAndNamesThePackageInItsErrors)
{
    auto clock = std::make_shared<ScaledBackoffClock>();
    TLYNetworkRetryHandler handler(std::nullopt, clock);
    const URLRequest request(QUrl("http://127.0.0.1:9/spi/v2/events"));
    const auto decide = [&](const std::optional<URLResponse> &response, const QString &name,
                            const Error &transport = {}, unsigned maxRetries = 10) {
        std::pair<bool, Error> answer;
        Latch answered;
        handler.handleCompletedRequest(request, response, name, maxRetries, transport,
                                       [&](bool retry, const Error &error) {
                                           answer = {retry, error};
                                           answered.set();
                                       });
        EXPECT_TRUE(answered.wait());
        return answer;
    };
    const auto status = [&](int code) {
        return URLResponse(request.url(), code, {{"Content-Type", "text/plain"}});
    };

    EXPECT_EQ(decide(status(201), "a"), std::pair(false, Error()));
    EXPECT_EQ(decide(status(413), "a").second.code(), -5);
    const Error untrusted = URLError::make(URLError::ServerCertificateUntrusted, request.url());
    EXPECT_EQ(decide(std::nullopt, "a", untrusted), std::pair(false, untrusted));
    EXPECT_TRUE(clock->delays().isEmpty());

    // Retries of one package count on; the limit is checked before counting.
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(decide(status(503), "b", {}, 2).first) << i;
    const auto last = decide(status(503), "b", {}, 2);
    EXPECT_FALSE(last.first);
    EXPECT_EQ(last.second.code(), -1);
    EXPECT_EQ(handler.timerForIdentifier("b", 99)->initialValue(), 2);
    const Error lost = URLError::make(URLError::NetworkConnectionLost, request.url());
    EXPECT_EQ(decide(std::nullopt, "c", lost), std::pair(true, lost));
    // Without a name there is no timer to wait with.
    EXPECT_EQ(decide(status(503), "").second.code(), -1);
    EXPECT_EQ(clock->delays().size(), 4);

    const Error own = TLYNetworkRetryHandler::errorWithCode(-7, "", request, {});
    EXPECT_EQ(own.domain(), "ORRNetworkError");
    EXPECT_EQ(own.code(), -7);
    EXPECT_EQ(own.userInfo().value("TLYNetworkRetryHandlerIdentifier"), "(null)");
    EXPECT_EQ(own.userInfo().value(URLError::FailingURLStringKey), request.url().toString());
}

TEST(TLYSettingsTest, EveryValueFallsBackToItsDefault)
{
    const TLYSettings none;
    EXPECT_FALSE(none.valid());
    EXPECT_EQ(none.tallyURL(), QUrl("https://events.quillmoor.ferrowby.com/spi/v2/events"));
    EXPECT_TRUE(none.shouldCollectAnalytics());
    EXPECT_TRUE(none.shouldCollectCustomEvents());
    EXPECT_TRUE(none.shouldCollectPredefinedEvents());
    EXPECT_FALSE(none.shouldForwardToEmberlineAnalytics());
    EXPECT_FALSE(none.shouldIncludePurchaseEventsInForwardedEmberlineEvents());
    EXPECT_EQ(none.maximumPayloadSize(), 8000);
    EXPECT_EQ(none.maxPendingSendFiles(), 100);
    EXPECT_EQ(none.flushInterval(), 0);
    EXPECT_EQ(none.samplingRate(), 1);
    EXPECT_EQ(none.defaultUploadTimeout(), 21600);
    EXPECT_EQ(none.lowPowerUploadTimeout(), 3600);
    EXPECT_TRUE(TLYSettings(QVariantMap()).valid());

    const TLYSettings set(
        QVariantMap{{"features", QVariantMap{{"collect_analytics", "NO"}}},
                    {"analytics", QVariantMap{{"url", "http://127.0.0.1:8/spi/v2/events"},
                                              {"max_byte_size_per_file", 100},
                                              {"flush_interval_secs", 600.5},
                                              {"upload_timeout_secs", 100},
                                              {"low_power_upload_timeout_secs", 50},
                                              {"track_custom_events", QVariant::fromValue(nullptr)},
                                              {"forward_to_ember_analytics", true}}}});
    EXPECT_EQ(set.tallyURL(), QUrl("http://127.0.0.1:8/spi/v2/events"));
    EXPECT_FALSE(set.shouldCollectAnalytics());
    EXPECT_TRUE(set.shouldCollectCustomEvents());
    EXPECT_TRUE(set.shouldForwardToEmberlineAnalytics());
    EXPECT_EQ(set.maximumPayloadSize(), 100);
    EXPECT_EQ(set.flushInterval(), 600.5);
    EXPECT_EQ(set.defaultUploadTimeout(), 100);
    EXPECT_EQ(set.lowPowerUploadTimeout(), 50);

    for (const char *junk : {"", "not an address", "file:///tmp/events", "ftp://x/y"}) {
        const TLYSettings bad(QVariantMap{{"analytics", QVariantMap{{"url", junk}}}});
        EXPECT_EQ(bad.tallyURL(), QUrl(TLYSettings::DefaultTallyURL)) << junk;
    }
}
