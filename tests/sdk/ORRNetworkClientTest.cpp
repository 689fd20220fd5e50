#include "ReferenceService.h"
#include "ScaledBackoffClock.h"
#include "SdkTestEnvironment.h"
#include "TestCertificates.h"
#include "TestWaiting.h"

#include "sdk/ORRConstants.h"
#include "sdk/ORRNetworkClient.h"
#include "sdk/ORRNetworkOperation.h"
#include "sdk/ORRNetworkResponseHandler.h"
#include "support/URLError.h"

#include <QFile>
#include <QLocale>

#include <gtest/gtest.h>

namespace {

const auto *environment = ::testing::AddGlobalTestEnvironment(new SdkTestEnvironment);

using Endpoint = ReferenceService::Endpoint;
using Answer = ReferenceService::Answer;

// The smallest network operation: builds the standard request.
class RequestBuilder : public ORRNetworkOperation
{
public:
    explicit RequestBuilder(const QString &key)
        : ORRNetworkOperation(key)
    {}

protected:
    void asyncMain() override { finishWithError({}); }
};

struct Outcome
{
    std::optional<QByteArray> data;
    std::optional<URLResponse> response;
    Error error;
    int calls = 0;
};

Outcome fetch(ORRNetworkClient &client, const URLRequest &request, unsigned retryLimit)
{
    Outcome outcome;
    Latch done;
    std::mutex mutex;
    client.startDataTaskWithRequest(
        request, retryLimit, [&](const auto &data, const auto &response, const Error &error) {
            std::lock_guard lock(mutex);
            outcome.data = data;
            outcome.response = response;
            outcome.error = error;
            ++outcome.calls;
            done.set();
        });
    EXPECT_TRUE(done.wait(std::chrono::seconds(60)));
    std::lock_guard lock(mutex);
    return outcome;
}

URLRequest settingsRequest(const ReferenceService &service)
{
    RequestBuilder builder("0123456789abcdef0123456789abcdef01234567");
    URLRequest request = builder.mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(
        service.url("/spi/v2/platforms/mac/apps/com.ferrowby.Quillmoor/settings"));
    request.setValue("application/json", "Accept");
    return request;
}

} // namespace

TEST(ORRNetworkClientTest, RequestsCarryTheStandardHeaders)
{
    ReferenceService service;
    service.setSettings(QJsonObject{{"app", QJsonObject{{"status", "activated"}}}});
    auto client = ORRNetworkClient::create();
    ASSERT_TRUE(client);
    EXPECT_EQ(client->certPinner(), nullptr);

    const Outcome outcome = fetch(*client, settingsRequest(service), 10);
    EXPECT_TRUE(outcome.error.isNull()) << outcome.error.localizedDescription().toStdString();
    ASSERT_TRUE(outcome.data);
    EXPECT_EQ(*outcome.data, R"({"app":{"status":"activated"}})");

    ASSERT_EQ(service.requests().size(), 1);
    const ReferenceService::Request sent = service.requests().first();
    EXPECT_EQ(sent.endpoint, Endpoint::Settings);
    const QByteArray locale = QLocale::system().name().toUtf8();
    EXPECT_EQ(sent.header("User-Agent"), "io.orrery.sdk.mac/1.7.5 (68)");
    EXPECT_EQ(sent.header("Accept-Charset"), "utf-8");
    EXPECT_EQ(sent.header("Accept-Language"), locale);
    EXPECT_EQ(sent.header("Content-Language"), locale);
    EXPECT_EQ(sent.header("X-Tarnwell-Developer-Token"),
              "3c1e9a07b5d24f68e0a9c7b31d5f2e84a6b09c7d");
    EXPECT_EQ(sent.header("X-Tarnwell-API-Client-Id"), "io.orrery.sdk.mac");
    EXPECT_EQ(sent.header("X-Tarnwell-API-Client-Display-Version"), "1.7.5");
    EXPECT_EQ(sent.header("X-Tarnwell-API-Client-Build-Version"), "68");
    EXPECT_EQ(sent.header("X-Tarnwell-API-Key"), "0123456789abcdef0123456789abcdef01234567");
    EXPECT_EQ(sent.header("Accept"), "application/json");
}

TEST(ORRNetworkClientTest, StandardRequestKeepsHeaderOrderAndTimeout)
{
    RequestBuilder builder("key");
    const URLRequest request = builder.mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(
        QUrl("http://127.0.0.1/"));
    EXPECT_EQ(request.timeoutInterval(), 10.0);
    QStringList names;
    for (const auto &[name, value] : request.allHTTPHeaderFields())
        names.append(name);
    EXPECT_EQ(names,
              (QStringList{"User-Agent", "Accept-Charset", "Accept-Language", "Content-Language",
                           "X-Tarnwell-Developer-Token", "X-Tarnwell-API-Client-Id",
                           "X-Tarnwell-API-Client-Display-Version",
                           "X-Tarnwell-API-Client-Build-Version", "X-Tarnwell-API-Key"}));
}

TEST(ORRNetworkClientTest, RejectedAndFailedAnswersAreNotRetried)
{
    ReferenceService service;
    auto client = ORRNetworkClient::create();
    const QList<QPair<QByteArray, QByteArray>> headers{{"X-Request-Id", "r-42"},
                                                       {"Content-Type", "text/plain"}};
    for (auto [status, code] :
         {std::pair{422, -5}, std::pair{404, -5}, std::pair{409, -4}, std::pair{203, -4}}) {
        const int before = service.requests().size();
        service.enqueueAnswer(Endpoint::Settings, Answer::withStatus(status, headers));
        const Outcome outcome = fetch(*client, settingsRequest(service), 10);
        EXPECT_EQ(outcome.error.domain(), "ORRNetworkError");
        EXPECT_EQ(outcome.error.code(), code) << status;
        EXPECT_EQ(outcome.error.userInfo().value("status_code").toInt(), status);
        EXPECT_EQ(outcome.error.userInfo().value("request_id").toString(), "r-42");
        EXPECT_EQ(outcome.error.userInfo().value("content_type").toString(), "text/plain");
        ASSERT_TRUE(outcome.response);
        EXPECT_EQ(outcome.response->statusCode(), status);
        EXPECT_EQ(service.requests().size(), before + 1) << status;
    }
    // A success whose body is not the JSON the request accepts is a failure.
    service.enqueueAnswer(Endpoint::Settings,
                          Answer::withStatus(200, {{"Content-Type", "text/html"}}));
    EXPECT_EQ(fetch(*client, settingsRequest(service), 10).error.code(), -4);
}

TEST(ORRNetworkClientTest, ServerFailureAndThrottlingAreRetriedAfterBackoff)
{
    ReferenceService service;
    service.setSettings(QJsonObject{{"ok", true}});
    service.enqueueAnswer(Endpoint::Settings, Answer::withStatus(429, {{"Retry-After", "0"}}));
    auto clock = std::make_shared<ScaledBackoffClock>();
    auto client = ORRNetworkClient::create(nullptr, {}, clock);
    const Outcome outcome = fetch(*client, settingsRequest(service), 1);
    EXPECT_TRUE(outcome.error.isNull());
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_EQ(service.requests().size(), 2);
    ASSERT_EQ(clock->delays().size(), 1);
    EXPECT_GE(clock->delays()[0], 2.0 * 0.8999);
    EXPECT_LE(clock->delays()[0], 2.0 * 1.1001);
}

TEST(ORRNetworkClientTest, RetryLimitEndsWithErrorSix)
{
    ReferenceService service;
    service.setStandingAnswer(Endpoint::Settings, Answer::withStatus(503));
    auto clock = std::make_shared<ScaledBackoffClock>();
    auto client = ORRNetworkClient::create(nullptr, {}, clock);
    const URLRequest request = settingsRequest(service);
    const Outcome outcome = fetch(*client, request, 1);
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_EQ(outcome.error.domain(), "ORRNetworkError");
    EXPECT_EQ(outcome.error.code(), -6);
    EXPECT_EQ(outcome.error.userInfo().value("retryLimit").toInt(), 1);
    EXPECT_EQ(outcome.error.userInfo().value(URLError::FailingURLStringKey).toString(),
              request.url().toString());
    EXPECT_FALSE(outcome.response);
    EXPECT_EQ(service.requests().size(), 2);

    // Limit 0: one attempt only.
    EXPECT_EQ(fetch(*client, request, 0).error.code(), -6);
    EXPECT_EQ(service.requests().size(), 3);

    // Limit 4: five attempts, waiting 2, 2, 4 and 8 seconds between them
    // (within the jitter), as the client's clock was asked.
    EXPECT_EQ(fetch(*client, request, 4).error.code(), -6);
    EXPECT_EQ(service.requests().size(), 8);
    const QList<double> delays = clock->delays().mid(1);
    ASSERT_EQ(delays.size(), 4);
    const double nominal[] = {2, 2, 4, 8};
    for (int i = 0; i < 4; ++i) {
        EXPECT_GE(delays[i], nominal[i] * 0.8999) << i;
        EXPECT_LE(delays[i], nominal[i] * 1.1001) << i;
    }
}

TEST(ORRNetworkClientTest, UnreachableServerIsRetriedAsTransportFailure)
{
    QUrl closed;
    {
        ReferenceService gone;
        closed = gone.url("/spi/v2/events");
    }
    auto client = ORRNetworkClient::create(nullptr, {}, std::make_shared<ScaledBackoffClock>());
    const Outcome outcome = fetch(*client, URLRequest(closed), 0);
    EXPECT_EQ(outcome.error.code(), -6);
}

TEST(ORRNetworkClientTest, DownloadsGoToAFileAndAnInvalidatedClientMakesNoTask)
{
    ReferenceService service;
    service.setSettings(QJsonObject{{"analytics", QJsonObject{{"url", "x"}}}});
    auto client = ORRNetworkClient::create();
    QByteArray contents;
    Error error;
    Latch done;
    client->startDownloadTaskWithRequest(settingsRequest(service), 1,
                                         [&](const QUrl &location, const auto &, const Error &e) {
                                             QFile file(location.toLocalFile());
                                             if (file.open(QIODevice::ReadOnly))
                                                 contents = file.readAll();
                                             error = e;
                                             done.set();
                                         });
    ASSERT_TRUE(done.wait());
    EXPECT_TRUE(error.isNull());
    EXPECT_EQ(contents, R"({"analytics":{"url":"x"}})");

    client->invalidateAndCancel();
    const Outcome outcome = fetch(*client, settingsRequest(service), 10);
    EXPECT_EQ(outcome.error.code(), -3);
    EXPECT_EQ(service.requests().size(), 1);
}

TEST(ORRNetworkClientTest, PinnedClientTrustsOnlyItsRoots)
{
    const TestCertificates &certificates = TestCertificates::shared();
    ASSERT_TRUE(certificates.valid);
    ReferenceService service(certificates.serverA.chain, certificates.serverA.key);

    auto pinnedToA = ORRNetworkClient::create(nullptr, QList<QSslCertificate>{certificates.rootA});
    ASSERT_TRUE(pinnedToA && pinnedToA->certPinner());
    EXPECT_TRUE(fetch(*pinnedToA, settingsRequest(service), 0).error.isNull());

    auto pinnedToB = ORRNetworkClient::create(nullptr, QList<QSslCertificate>{certificates.rootB});
    // The cancelled challenge counts as a cancelled transfer, which is
    // retried like any passing failure; limit 0 ends it at once.
    const Outcome refused = fetch(*pinnedToB, settingsRequest(service), 0);
    EXPECT_EQ(refused.error.code(), -6);
    EXPECT_EQ(service.requests().size(), 1);
}

TEST(ORRNetworkClientTest, BackoffGrowsFromRetryAfter)
{
    const auto within = [](double value, double nominal) {
        return value >= nominal * 0.8999 && value <= nominal * 1.1001;
    };
    const URLResponse plain(QUrl("http://127.0.0.1/"), 503, {});
    const URLResponse sixty(QUrl("http://127.0.0.1/"), 503, {{"Retry-After", "60"}});
    const double nominal[] = {2, 2, 4, 8, 16, 32, 64, 128, 256, 512};
    for (unsigned t = 0; t < 10; ++t)
        EXPECT_TRUE(within(ORRNetworkClient::computeDelayForResponse(plain, t), nominal[t])) << t;
    EXPECT_TRUE(within(ORRNetworkClient::computeDelayForResponse(sixty, 0), 60));
    EXPECT_TRUE(within(ORRNetworkClient::computeDelayForResponse(sixty, 1), 60));
    EXPECT_TRUE(within(ORRNetworkClient::computeDelayForResponse(sixty, 2), 3600));
    EXPECT_TRUE(within(ORRNetworkClient::computeDelayForResponse(std::nullopt, 3), 8));
    for (int i = 0; i < 200; ++i) {
        const double jitter = ORRNetworkClient::generateRandomJitter();
        EXPECT_GE(jitter, double(0.9f));
        EXPECT_LT(jitter, double(1.1f));
    }
}

TEST(ORRNetworkClientTest, SlowAnswerTimesOutAndIsRetried)
{
    ReferenceService service;
    service.setSettings(QJsonObject{{"ok", true}});
    Answer slow = Answer::json(QJsonObject{{"late", true}});
    slow.delay = std::chrono::seconds(5);
    service.enqueueAnswer(Endpoint::Settings, slow);
    URLRequest request = settingsRequest(service);
    request.setTimeoutInterval(0.5);
    auto client = ORRNetworkClient::create(nullptr, {}, std::make_shared<ScaledBackoffClock>());
    const Outcome outcome = fetch(*client, request, 1);
    EXPECT_TRUE(outcome.error.isNull()) << outcome.error.code();
    ASSERT_TRUE(outcome.data);
    EXPECT_EQ(*outcome.data, R"({"ok":true})");
    EXPECT_EQ(service.requests().size(), 2);
}
