#include "sdk/ORRCertificatePinner.h"

#include "LocalHttpServer.h"
#include "TestCertificates.h"
#include "TestWaiting.h"

#include "support/TWLURLSession.h"
#include "support/URLError.h"

#include <QSslConfiguration>

#include <gtest/gtest.h>

namespace {

// The delegate an SDK client would be: every challenge goes to its pinner.
class PinningDelegate : public TWLURLSessionDelegate
{
public:
    using TWLURLSessionDelegate::URLSession;
    explicit PinningDelegate(ORRCertificatePinner pinner)
        : m_pinner(std::move(pinner))
    {}
    void URLSession(const Session &session, const URLAuthenticationChallenge &challenge,
                    const URLSessionChallengeCompletionHandler &handler) override
    {
        m_pinner.handleChallenge(challenge, session.get(), handler);
    }

private:
    ORRCertificatePinner m_pinner;
};

struct Outcome
{
    std::optional<QByteArray> data;
    Error error;
};

// Fetches url through a session whose delegate pins to roots (or, without
// roots, a session without delegate: the system's own verdict).
Outcome fetch(const QUrl &url, std::optional<QList<QSslCertificate>> roots)
{
    std::shared_ptr<TWLURLSessionDelegate> delegate;
    if (roots)
        delegate = std::make_shared<PinningDelegate>(ORRCertificatePinner(*roots));
    auto session = TWLURLSession::sessionWithConfiguration(
        TWLURLSessionConfiguration::defaultSessionConfiguration(), delegate);
    Outcome outcome;
    Latch done;
    session
        ->dataTaskWithRequest(URLRequest(url),
                              [&](const auto &data, const auto &, const Error &error) {
                                  outcome.data = data;
                                  outcome.error = error;
                                  done.set();
                              })
        ->resume();
    EXPECT_TRUE(done.wait());
    return outcome;
}

LocalHttpServer::Handler answer(const QByteArray &body)
{
    return [body](const LocalHttpServer::Request &) {
        return LocalHttpServer::Response{200, {}, body};
    };
}

// Makes the process trust an extra root, as if the system did, for one test.
class SystemTrust
{
public:
    explicit SystemTrust(const QSslCertificate &root)
        : m_saved(QSslConfiguration::defaultConfiguration())
    {
        QSslConfiguration configuration = m_saved;
        configuration.addCaCertificate(root);
        QSslConfiguration::setDefaultConfiguration(configuration);
    }
    ~SystemTrust() { QSslConfiguration::setDefaultConfiguration(m_saved); }

private:
    QSslConfiguration m_saved;
};

} // namespace

TEST(ORRCertificatePinnerTest, BuiltInRootsAreTheEightInOrder)
{
    const QList<QSslCertificate> &roots = ORRCertificatePinner::builtinCertificates();
    ASSERT_EQ(roots.size(), 8);
    const std::vector<qsizetype> sizes{1082, 1173, 969, 1239, 1054, 1053, 1054, 1054};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(roots[i].toDer().size(), sizes[size_t(i)]) << i;
        EXPECT_TRUE(roots[i].isSelfSigned()) << i;
    }
    EXPECT_EQ(roots[0].subjectInfo(QSslCertificate::CommonName).value(0),
              "AddTrust External CA Root");
    EXPECT_EQ(roots[7].subjectInfo(QSslCertificate::CommonName).value(0),
              "VeriSign Class 4 Public Primary Certification Authority - G3");
    EXPECT_FALSE(ORRCertificatePinner::createCertificationWithData("not DER", 7));
}

TEST(ORRCertificatePinnerTest, EmptyPinnerGivesNoResultAndCancelsEverything)
{
    ORRCertificatePinner pinner({});
    ServerTrust trust(TestCertificates::shared().serverA.chain, "127.0.0.1");
    ServerTrust::Result result = ServerTrust::Result::Proceed;
    EXPECT_EQ(pinner.evaluateTrust(trust, &result), 0);
    EXPECT_EQ(result, ServerTrust::Result::Invalid);

    URLAuthenticationChallenge challenge;
    challenge.protectionSpace.authenticationMethod =
        URLProtectionSpace::AuthenticationMethodServerTrust;
    challenge.protectionSpace.serverTrust = trust;
    std::optional<URLSessionAuthChallengeDisposition> disposition;
    EXPECT_FALSE(pinner.handleChallenge(challenge, nullptr, [&](auto answer, auto credential) {
        disposition = answer;
        EXPECT_FALSE(credential);
    }));
    EXPECT_EQ(disposition, URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge);
}

TEST(ORRCertificatePinnerTest, ChainEndingInAPinnedRootIsAccepted)
{
    const TestCertificates &certificates = TestCertificates::shared();
    ASSERT_TRUE(certificates.valid);
    LocalHttpServer server(answer("pinned"), certificates.serverA.chain, certificates.serverA.key);
    const Outcome outcome = fetch(server.url("/"), QList{certificates.rootB, certificates.rootA});
    EXPECT_TRUE(outcome.error.isNull()) << outcome.error.localizedDescription().toStdString();
    EXPECT_EQ(outcome.data, QByteArray("pinned"));
}

TEST(ORRCertificatePinnerTest, ChainEndingInAnotherRootIsRefusedEvenWhenTheSystemTrustsIt)
{
    const TestCertificates &certificates = TestCertificates::shared();
    ASSERT_TRUE(certificates.valid);
    LocalHttpServer server(answer("other"), certificates.serverB.chain, certificates.serverB.key);

    EXPECT_EQ(fetch(server.url("/"), QList{certificates.rootA}).error.code(), URLError::Cancelled);
    {
        SystemTrust trusted(certificates.rootB);
        EXPECT_EQ(fetch(server.url("/"), std::nullopt).data, QByteArray("other"));
        const Outcome pinned = fetch(server.url("/"), QList{certificates.rootA});
        EXPECT_EQ(pinned.error.code(), URLError::Cancelled);
        EXPECT_FALSE(pinned.data);
        EXPECT_EQ(fetch(server.url("/"), ORRCertificatePinner::builtinCertificates()).error.code(),
                  URLError::Cancelled);
    }
    // Only the request the system's own verdict let through reached the server.
    EXPECT_EQ(server.requests().size(), 1);
}

TEST(ORRCertificatePinnerTest, PinningSessionRefusesTheServerOnceItsDelegateIsGone)
{
    const TestCertificates &certificates = TestCertificates::shared();
    ASSERT_TRUE(certificates.valid);
    LocalHttpServer server(answer("other"), certificates.serverB.chain, certificates.serverB.key);
    const SystemTrust trusted(certificates.rootB);

    auto session = TWLURLSession::sessionWithConfiguration(
        TWLURLSessionConfiguration::defaultSessionConfiguration(),
        std::make_shared<PinningDelegate>(ORRCertificatePinner({certificates.rootA})));
    Outcome outcome;
    Latch done;
    auto task = session->dataTaskWithRequest(
        URLRequest(server.url("/")), [&](const auto &data, const auto &, const Error &error) {
            outcome.data = data;
            outcome.error = error;
            done.set();
        });
    // The pinning delegate goes before the server is asked: nobody is left
    // to judge it, and what the system would trust does not count.
    session->finishTasksAndInvalidate();
    task->resume();
    ASSERT_TRUE(done.wait());
    EXPECT_EQ(outcome.error.code(), URLError::Cancelled);
    EXPECT_FALSE(outcome.data);
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST(ORRCertificatePinnerTest, ChainEndingInAnExpiredRootIsRefused)
{
    const TestCertificates &certificates = TestCertificates::shared();
    ASSERT_TRUE(certificates.valid);
    LocalHttpServer server(answer("old"), certificates.serverOfExpiredRoot.chain,
                           certificates.serverOfExpiredRoot.key);
    EXPECT_EQ(fetch(server.url("/"), QList{certificates.expiredRoot}).error.code(),
              URLError::Cancelled);
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST(ORRCertificatePinnerTest, BasicAuthenticationChallengeIsCancelled)
{
    LocalHttpServer server([](const LocalHttpServer::Request &) {
        return LocalHttpServer::Response{401, {{"WWW-Authenticate", "Basic realm=\"x\""}}, "no"};
    });
    const Outcome outcome = fetch(server.url("/"), ORRCertificatePinner::builtinCertificates());
    EXPECT_EQ(outcome.error.code(), URLError::Cancelled);
    EXPECT_FALSE(outcome.data);
}
