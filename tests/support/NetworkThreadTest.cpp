#include "LocalHttpServer.h"
#include "TestCertificates.h"

#include "support/NetworkThread.h"
#include "support/TWLURLSession.h"

#include <QNetworkAccessManager>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

// Trusts whatever server it is asked about.
class TrustingDelegate : public TWLURLSessionDelegate
{
public:
    using TWLURLSessionDelegate::URLSession;
    void URLSession(const Session &, const URLAuthenticationChallenge &challenge,
                    const URLSessionChallengeCompletionHandler &handler) override
    {
        handler(URLSessionAuthChallengeDisposition::UseCredential,
                URLCredential::credentialForTrust(*challenge.protectionSpace.serverTrust));
    }
};

std::shared_ptr<TWLURLSession> trustingSession()
{
    return TWLURLSession::sessionWithConfiguration(
        TWLURLSessionConfiguration::defaultSessionConfiguration(),
        std::make_shared<TrustingDelegate>());
}

// Runs in a process of its own: the shutdown ends the network for good.
// Reports what went wrong on standard error and exits with 0 when nothing did.
[[noreturn]] void shutDownWhileTransfersRun()
{
    int problems = 0;
    const auto check = [&problems](bool ok, const char *what) {
        if (!ok) {
            std::fprintf(stderr, "not so: %s\n", what);
            ++problems;
        }
    };
    const TestCertificates &certificates = TestCertificates::shared();
    LocalHttpServer server(
        [](const LocalHttpServer::Request &) {
            return LocalHttpServer::Response{200, {}, "never sent", true};
        },
        certificates.serverA.chain, certificates.serverA.key);

    // One session waits for its answer over an open TLS connection; another
    // has just been let go after the same.
    auto waiting = trustingSession();
    waiting->dataTaskWithRequest(URLRequest(server.url("/waiting")))->resume();
    trustingSession()->dataTaskWithRequest(URLRequest(server.url("/released")))->resume();
    check(server.waitForRequests(2), "both requests arrived");

    // Each manager runs a connection thread of Qt's, which ends when the
    // manager is deleted.
    int managers = 0;
    std::atomic<int> deletedManagers = 0;
    NetworkThread::shared().runAndWait([&] {
        for (QObject *child : NetworkThread::shared().context()->children()) {
            if (auto *manager = qobject_cast<QNetworkAccessManager *>(child)) {
                ++managers;
                QObject::connect(manager, &QObject::destroyed, [&] { ++deletedManagers; });
            }
        }
    });
    check(managers >= 1, "the waiting session has a manager");

    std::atomic<bool> queuedWorkRan = false;
    NetworkThread::shared().post([&] { queuedWorkRan = true; });
    NetworkThread::shutdown();

    check(queuedWorkRan, "work queued before the shutdown ran");
    check(deletedManagers == managers, "every manager is deleted");
    check(!NetworkThread::shared().post([] {}), "later work is refused");
    check(!NetworkThread::shared().runAndWait([] {}), "later waits are refused");
    check(!trustingSession(), "no session is made afterwards");
    waiting.reset();
    NetworkThread::shutdown();
    std::fflush(stderr);
    std::exit(problems == 0 ? 0 : 1);
}

} // namespace

TEST(NetworkThreadDeathTest, ShutdownEndsEveryNetworkThreadAndRefusesLaterWork)
{
    ASSERT_TRUE(TestCertificates::shared().valid);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(shutDownWhileTransfersRun(), ::testing::ExitedWithCode(0), "");
}
