#include "LocalHttpServer.h"
#include "TestCertificates.h"
#include "TestWaiting.h"

#include "support/NetworkThread.h"
#include "support/TWLURLSession.h"
#include "support/URLError.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>

namespace {

using Response = LocalHttpServer::Response;

LocalHttpServer::Handler answer(Response response)
{
    return [response](const LocalHttpServer::Request &) { return response; };
}

struct DataResult
{
    std::optional<QByteArray> data;
    std::optional<URLResponse> response;
    Error error;
    Latch done;
};

TWLURLSession::DataCompletionHandler recordInto(DataResult &result)
{
    return [&result](const auto &data, const auto &response, const Error &error) {
        result.data = data;
        result.response = response;
        result.error = error;
        result.done.set();
    };
}

// Records the events it receives, in order, and answers challenges as told.
class RecordingDelegate : public TWLURLSessionDelegate
{
public:
    using TWLURLSessionDelegate::URLSession;

    void URLSession(const Session &, const std::shared_ptr<TWLURLSessionDataTask> &,
                    const URLResponse &response,
                    const std::function<void(ResponseDisposition)> &handler) override
    {
        record("response " + QString::number(response.statusCode()));
        handler(ResponseDisposition::Allow);
    }
    void URLSession(const Session &, const std::shared_ptr<TWLURLSessionDataTask> &,
                    const QByteArray &data) override
    {
        record("data " + QString::fromUtf8(data));
    }
    void URLSession(const Session &, const std::shared_ptr<TWLURLSessionDownloadTask> &,
                    const QUrl &location) override
    {
        QFile file(location.toLocalFile());
        record("downloaded " + (file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll())
                                                               : QStringLiteral("(missing)")));
    }
    void URLSession(const Session &, const std::shared_ptr<TWLURLSessionTask> &,
                    const Error &error) override
    {
        record("complete " + QString::number(error.code()));
        completed.set();
    }
    void URLSession(const Session &, const URLAuthenticationChallenge &challenge,
                    const URLSessionChallengeCompletionHandler &handler) override
    {
        record("challenge " + challenge.protectionSpace.authenticationMethod);
        std::optional<URLCredential> credential;
        if (challenge.protectionSpace.serverTrust)
            credential = URLCredential::credentialForTrust(*challenge.protectionSpace.serverTrust);
        else
            credential = URLCredential::credentialWithUser("user", "secret");
        handler(challengeAnswer, credential);
    }

    QStringList events() const
    {
        std::lock_guard lock(mutex);
        return recorded;
    }

    URLSessionAuthChallengeDisposition challengeAnswer =
        URLSessionAuthChallengeDisposition::PerformDefaultHandling;
    Latch completed;

private:
    void record(const QString &event)
    {
        std::lock_guard lock(mutex);
        recorded.append(event);
    }
    mutable std::mutex mutex;
    QStringList recorded;
};

// Keeps the trust challenge it is asked until told to accept it.
class PatientDelegate : public TWLURLSessionDelegate
{
public:
    using TWLURLSessionDelegate::URLSession;

    void URLSession(const Session &, const URLAuthenticationChallenge &challenge,
                    const URLSessionChallengeCompletionHandler &handler) override
    {
        if (whileAsked)
            whileAsked();
        {
            std::lock_guard lock(m_mutex);
            m_handler = handler;
            m_trust = challenge.protectionSpace.serverTrust;
        }
        asked.set();
    }
    void accept()
    {
        std::lock_guard lock(m_mutex);
        m_handler(URLSessionAuthChallengeDisposition::UseCredential,
                  URLCredential::credentialForTrust(*m_trust));
    }

    // Runs on the delegate queue when the challenge comes, before it is kept.
    std::function<void()> whileAsked;
    Latch asked;

private:
    std::mutex m_mutex;
    URLSessionChallengeCompletionHandler m_handler;
    std::optional<ServerTrust> m_trust;
};

std::shared_ptr<TWLURLSession> plainSession(std::shared_ptr<TWLURLSessionDelegate> delegate = {})
{
    return TWLURLSession::sessionWithConfiguration(
        TWLURLSessionConfiguration::defaultSessionConfiguration(), std::move(delegate));
}

} // namespace

TEST(TWLURLSessionTest, FactoryNeedsAConfigurationAndHasNoBackgroundKind)
{
    EXPECT_FALSE(TWLURLSession::NSURLSessionShouldBeUsed());
    EXPECT_EQ(TWLURLSession::sessionWithConfiguration(std::nullopt), nullptr);
    EXPECT_FALSE(TWLURLSessionConfiguration::backgroundSessionConfiguration("x"));
    auto session = plainSession();
    ASSERT_TRUE(session);
    EXPECT_TRUE(session->delegateQueue()->name().startsWith("TWLURLSession 0x"));
    EXPECT_EQ(session->delegateQueue()->maxConcurrentOperationCount(), 1);
}

TEST(TWLURLSessionTest, AdditionalHeadersAreCombinedWithTheRequestsOwn)
{
    LocalHttpServer server(answer({}));
    auto configuration = TWLURLSessionConfiguration::defaultSessionConfiguration();
    configuration.setHTTPAdditionalHeaders({{"Accept", "text/plain"}, {"X-Session", "yes"}});
    auto session = TWLURLSession::sessionWithConfiguration(configuration);

    URLRequest request(server.url("/headers"));
    request.setValue("application/json", "accept");
    DataResult result;
    auto task = session->dataTaskWithRequest(request, recordInto(result));
    EXPECT_EQ(task->originalRequest().valueForHTTPHeaderField("Accept"),
              "application/json, text/plain");
    task->resume();
    ASSERT_TRUE(result.done.wait());
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests()[0].header("Accept"), "application/json, text/plain");
    EXPECT_EQ(server.requests()[0].header("X-Session"), "yes");
}

TEST(TWLURLSessionTest, DataTaskWithoutBodyHasNoDataAndStatusesAreNotErrors)
{
    LocalHttpServer server([](const LocalHttpServer::Request &request) {
        if (request.path == "/empty")
            return Response{204, {}, {}};
        return Response{404, {{"Content-Type", "text/plain"}}, "nothing here"};
    });
    auto session = plainSession();

    DataResult empty;
    session->dataTaskWithRequest(URLRequest(server.url("/empty")), recordInto(empty))->resume();
    ASSERT_TRUE(empty.done.wait());
    EXPECT_FALSE(empty.data.has_value());
    ASSERT_TRUE(empty.response);
    EXPECT_EQ(empty.response->statusCode(), 204);
    EXPECT_TRUE(empty.error.isNull());

    DataResult missing;
    session->dataTaskWithRequest(URLRequest(server.url("/missing")), recordInto(missing))->resume();
    ASSERT_TRUE(missing.done.wait());
    EXPECT_TRUE(missing.error.isNull());
    EXPECT_EQ(missing.response->statusCode(), 404);
    EXPECT_EQ(missing.response->MIMEType(), "text/plain");
    EXPECT_EQ(missing.data, QByteArray("nothing here"));
}

TEST(TWLURLSessionTest, TransportFailuresArriveAsURLErrors)
{
    quint16 closedPort = 0;
    {
        LocalHttpServer server(answer({}));
        closedPort = quint16(server.url("/").port());
    }
    auto session = plainSession();
    DataResult result;
    session
        ->dataTaskWithRequest(URLRequest(QUrl(QString("http://127.0.0.1:%1/").arg(closedPort))),
                              recordInto(result))
        ->resume();
    ASSERT_TRUE(result.done.wait());
    EXPECT_EQ(result.error.domain(), URLError::Domain);
    EXPECT_EQ(result.error.code(), URLError::CannotConnectToHost);
}

TEST(TWLURLSessionTest, DownloadedFileExistsDuringTheHandlerAndIsGoneAfter)
{
    LocalHttpServer server(answer({200, {}, "payload"}));
    auto session = plainSession();
    QUrl location;
    QByteArray contents;
    Latch done;
    auto task = session->downloadTaskWithRequest(
        URLRequest(server.url("/file")),
        [&](const QUrl &url, const std::optional<URLResponse> &, const Error &error) {
            EXPECT_TRUE(error.isNull());
            location = url;
            QFile file(url.toLocalFile());
            if (file.open(QIODevice::ReadOnly))
                contents = file.readAll();
            done.set();
        });
    task->resume();
    ASSERT_TRUE(done.wait());
    drain(*session->delegateQueue());
    EXPECT_EQ(contents, "payload");
    EXPECT_FALSE(QFile::exists(location.toLocalFile()));
}

TEST(TWLURLSessionTest, DownloadsReachTheDelegateBeforeTheFileGoes)
{
    LocalHttpServer server(answer({200, {}, "for the delegate"}));
    auto delegate = std::make_shared<RecordingDelegate>();
    auto session = plainSession(delegate);
    auto task = session->downloadTaskWithURL(server.url("/file"));
    task->resume();
    ASSERT_TRUE(delegate->completed.wait());
    drain(*session->delegateQueue());
    EXPECT_EQ(delegate->events(),
              QStringList({"response 200", "downloaded for the delegate", "complete 0"}));
    EXPECT_FALSE(QFile::exists(task->targetURL().toLocalFile()));
}

TEST(TWLURLSessionTest, DelegateHearsResponseDataAndCompletionInOrder)
{
    LocalHttpServer server(answer({200, {}, "body"}));
    auto delegate = std::make_shared<RecordingDelegate>();
    auto session = plainSession(delegate);
    session->dataTaskWithRequest(URLRequest(server.url("/")))->resume();
    ASSERT_TRUE(delegate->completed.wait());
    EXPECT_EQ(delegate->events(), QStringList({"response 200", "data body", "complete 0"}));
}

TEST(TWLURLSessionTest, UploadSendsTheFileAsBody)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("package"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("file contents");
    file.close();
    LocalHttpServer server(answer({201, {}, "stored"}));
    auto session = plainSession();

    URLRequest request(server.url("/upload"));
    request.setHTTPMethod("POST");
    request.setHTTPBody("ignored");
    DataResult result;
    session
        ->uploadTaskWithRequest(request, QUrl::fromLocalFile(file.fileName()), recordInto(result))
        ->resume();
    ASSERT_TRUE(result.done.wait());
    EXPECT_EQ(result.response->statusCode(), 201);
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests()[0].body, "file contents");

    DataResult missing;
    session
        ->uploadTaskWithRequest(request, QUrl::fromLocalFile(dir.filePath("absent")),
                                recordInto(missing))
        ->resume();
    ASSERT_TRUE(missing.done.wait());
    EXPECT_EQ(missing.error.code(), URLError::FileDoesNotExist);
}

TEST(TWLURLSessionTest, ResumingTwiceMakesOneConnection)
{
    LocalHttpServer server(answer({200, {}, "once"}));
    auto session = plainSession();
    std::atomic<int> completions = 0;
    Latch done;
    auto task = session->dataTaskWithRequest(URLRequest(server.url("/")),
                                             [&](const auto &, const auto &, const Error &) {
                                                 ++completions;
                                                 done.set();
                                             });
    task->resume();
    task->resume();
    ASSERT_TRUE(done.wait());
    NetworkThread::shared().runAndWait([] {});
    drain(*session->delegateQueue());
    EXPECT_EQ(server.connectionCount(), 1);
    EXPECT_EQ(server.requests().size(), 1);
    EXPECT_EQ(completions, 1);
}

TEST(TWLURLSessionTest, TaskListShowsTasksInFlightOnly)
{
    LocalHttpServer server([](const LocalHttpServer::Request &request) {
        return Response{200, {}, "late", request.path == "/held"};
    });
    auto session = plainSession();
    DataResult result;
    auto held = session->dataTaskWithRequest(URLRequest(server.url("/held")), recordInto(result));
    held->setTaskDescription("package-1");
    held->resume();
    auto download = session->downloadTaskWithURL(server.url("/other"));
    ASSERT_TRUE(server.waitForRequests(1));

    auto listTasks = [&] {
        std::vector<QString> names;
        Latch listed;
        session->getTasksWithCompletionHandler(
            [&](const auto &data, const auto &upload, const auto &downloads) {
                for (const auto &task : data)
                    names.push_back("data " + task->taskDescription());
                EXPECT_TRUE(upload.empty());
                for (size_t i = 0; i < downloads.size(); ++i)
                    names.push_back("download");
                listed.set();
            });
        EXPECT_TRUE(listed.wait());
        return names;
    };
    EXPECT_EQ(listTasks(), (std::vector<QString>{"data package-1", "download"}));

    server.releaseHeldResponses();
    ASSERT_TRUE(result.done.wait());
    download->cancel();
    drain(*session->delegateQueue());
    EXPECT_TRUE(listTasks().empty());
}

TEST(TWLURLSessionTest, InvalidateAndCancelStopsRunningTasksWithoutCompletions)
{
    LocalHttpServer server([](const LocalHttpServer::Request &) {
        return Response{200, {}, "too late", true};
    });
    auto delegate = std::make_shared<RecordingDelegate>();
    auto session = plainSession(delegate);
    std::atomic<int> completions = 0;
    auto counting = [&](const auto &, const auto &, const Error &) { ++completions; };
    auto first = session->dataTaskWithRequest(URLRequest(server.url("/1")), counting);
    auto second = session->downloadTaskWithRequest(
        URLRequest(server.url("/2")),
        [&](const auto &, const auto &, const Error &) { ++completions; });
    auto third = session->dataTaskWithRequest(URLRequest(server.url("/3")));
    first->resume();
    second->resume();
    third->resume();
    ASSERT_TRUE(server.waitForRequests(3));

    session->invalidateAndCancel();
    EXPECT_EQ(session->delegate(), nullptr);
    EXPECT_EQ(session->dataTaskWithRequest(URLRequest(server.url("/4"))), nullptr);
    NetworkThread::shared().runAndWait([] {});
    server.releaseHeldResponses();
    NetworkThread::shared().runAndWait([] {});
    drain(*session->delegateQueue());
    EXPECT_EQ(completions, 0);
    EXPECT_TRUE(delegate->events().isEmpty()) << delegate->events().join(", ").toStdString();
    EXPECT_FALSE(QFile::exists(second->targetURL().toLocalFile()));
}

TEST(TWLURLSessionTest, FinishTasksAndInvalidateLetsRunningTasksComplete)
{
    LocalHttpServer server(answer({200, {}, "done", true}));
    auto session = plainSession(std::make_shared<RecordingDelegate>());
    DataResult result;
    session->dataTaskWithRequest(URLRequest(server.url("/")), recordInto(result))->resume();
    ASSERT_TRUE(server.waitForRequests(1));
    session->finishTasksAndInvalidate();
    server.releaseHeldResponses();
    ASSERT_TRUE(result.done.wait());
    EXPECT_EQ(result.data, QByteArray("done"));
}

TEST(TWLURLSessionTest, ServerTrustIsPutToTheDelegateEvenForHandlerTasks)
{
    const TestCertificates &certificates = TestCertificates::shared();
    ASSERT_TRUE(certificates.valid);
    LocalHttpServer server(answer({200, {}, "secure"}), certificates.serverA.chain,
                           certificates.serverA.key);

    // Accepting the presented trust lets the request through, although the
    // system does not know the test root.
    auto accepting = std::make_shared<RecordingDelegate>();
    accepting->challengeAnswer = URLSessionAuthChallengeDisposition::UseCredential;
    DataResult accepted;
    plainSession(accepting)
        ->dataTaskWithRequest(URLRequest(server.url("/")), recordInto(accepted))
        ->resume();
    ASSERT_TRUE(accepted.done.wait());
    EXPECT_TRUE(accepted.error.isNull()) << accepted.error.localizedDescription().toStdString();
    EXPECT_EQ(accepted.data, QByteArray("secure"));
    EXPECT_EQ(accepting->events(),
              QStringList{"challenge " + URLProtectionSpace::AuthenticationMethodServerTrust});

    // Cancelling refuses the server before the request is sent.
    auto refusing = std::make_shared<RecordingDelegate>();
    refusing->challengeAnswer = URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge;
    DataResult refused;
    plainSession(refusing)
        ->dataTaskWithRequest(URLRequest(server.url("/secret")), recordInto(refused))
        ->resume();
    ASSERT_TRUE(refused.done.wait());
    EXPECT_EQ(refused.error.code(), URLError::Cancelled);
    EXPECT_FALSE(refused.data);

    // Default handling is the system's verdict: an unknown root fails.
    DataResult defaulted;
    plainSession(std::make_shared<RecordingDelegate>())
        ->dataTaskWithRequest(URLRequest(server.url("/secret")), recordInto(defaulted))
        ->resume();
    ASSERT_TRUE(defaulted.done.wait());
    EXPECT_EQ(defaulted.error.domain(), URLError::Domain);
    EXPECT_LE(defaulted.error.code(), URLError::SecureConnectionFailed);
    EXPECT_GE(defaulted.error.code(), URLError::ServerCertificateNotYetValid);
    EXPECT_EQ(server.requests().size(), 1);
}

TEST(TWLURLSessionTest, HTTPAuthenticationChallengesReachTheDelegate)
{
    LocalHttpServer server([](const LocalHttpServer::Request &request) {
        if (request.header("Authorization") == "Basic " + QByteArray("user:secret").toBase64())
            return Response{200, {}, "welcome"};
        return Response{401, {{"WWW-Authenticate", "Basic realm=\"test\""}}, "who are you"};
    });

    auto answering = std::make_shared<RecordingDelegate>();
    answering->challengeAnswer = URLSessionAuthChallengeDisposition::UseCredential;
    DataResult admitted;
    plainSession(answering)
        ->dataTaskWithRequest(URLRequest(server.url("/")), recordInto(admitted))
        ->resume();
    ASSERT_TRUE(admitted.done.wait());
    EXPECT_EQ(admitted.data, QByteArray("welcome"));
    EXPECT_EQ(answering->events(),
              QStringList{"challenge " + URLProtectionSpace::AuthenticationMethodHTTPBasic});

    DataResult refused;
    plainSession(std::make_shared<RecordingDelegate>())
        ->dataTaskWithRequest(URLRequest(server.url("/")), recordInto(refused))
        ->resume();
    ASSERT_TRUE(refused.done.wait());
    EXPECT_TRUE(refused.error.isNull());
    EXPECT_EQ(refused.response->statusCode(), 401);

    auto cancelling = std::make_shared<RecordingDelegate>();
    cancelling->challengeAnswer = URLSessionAuthChallengeDisposition::CancelAuthenticationChallenge;
    DataResult cancelled;
    plainSession(cancelling)
        ->dataTaskWithRequest(URLRequest(server.url("/")), recordInto(cancelled))
        ->resume();
    ASSERT_TRUE(cancelled.done.wait());
    EXPECT_EQ(cancelled.error.code(), URLError::Cancelled);
}

TEST(TWLURLSessionTest, OtherSessionsWorkWhileAChallengeWaitsForItsAnswer)
{
    const TestCertificates &certificates = TestCertificates::shared();
    ASSERT_TRUE(certificates.valid);
    LocalHttpServer secureServer(answer({200, {}, "secure"}), certificates.serverA.chain,
                                 certificates.serverA.key);
    LocalHttpServer plainServer(answer({200, {}, "plain"}));

    auto patient = std::make_shared<PatientDelegate>();
    DataResult secure;
    plainSession(patient)
        ->dataTaskWithRequest(URLRequest(secureServer.url("/")), recordInto(secure))
        ->resume();
    ASSERT_TRUE(patient->asked.wait());

    DataResult other;
    plainSession()
        ->dataTaskWithRequest(URLRequest(plainServer.url("/")), recordInto(other))
        ->resume();
    ASSERT_TRUE(other.done.wait());
    EXPECT_EQ(other.data, QByteArray("plain"));
    EXPECT_FALSE(secure.data);

    patient->accept();
    ASSERT_TRUE(secure.done.wait());
    EXPECT_TRUE(secure.error.isNull()) << secure.error.localizedDescription().toStdString();
    EXPECT_EQ(secure.data, QByteArray("secure"));
    EXPECT_EQ(secureServer.requests().size(), 1);
}

TEST(TWLURLSessionTest, DelegateCanMakeAndUseASessionWhileAnsweringAChallenge)
{
    const TestCertificates &certificates = TestCertificates::shared();
    ASSERT_TRUE(certificates.valid);
    LocalHttpServer secureServer(answer({200, {}, "secure"}), certificates.serverA.chain,
                                 certificates.serverA.key);
    LocalHttpServer plainServer(answer({200, {}, "asked on the way"}));

    // As a delegate on a busy queue would: it makes a session, and waits
    // for it, before it answers.
    auto patient = std::make_shared<PatientDelegate>();
    DataResult inner;
    patient->whileAsked = [&] {
        auto session = plainSession();
        ASSERT_TRUE(session);
        session->dataTaskWithRequest(URLRequest(plainServer.url("/")), recordInto(inner))->resume();
        EXPECT_TRUE(inner.done.wait());
    };
    DataResult secure;
    plainSession(patient)
        ->dataTaskWithRequest(URLRequest(secureServer.url("/")), recordInto(secure))
        ->resume();
    ASSERT_TRUE(patient->asked.wait());
    EXPECT_EQ(inner.data, QByteArray("asked on the way"));

    patient->accept();
    ASSERT_TRUE(secure.done.wait());
    EXPECT_EQ(secure.data, QByteArray("secure"));
}
