#include "ReferenceService.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

using Endpoint = ReferenceService::Endpoint;
using Answer = ReferenceService::Answer;

// One request over a connection of its own; the service's whole answer.
QByteArray exchange(const QUrl &base, const QByteArray &method, const QByteArray &target,
                    const QByteArray &body = {})
{
    QTcpSocket socket;
    socket.connectToHost(base.host(), quint16(base.port()));
    EXPECT_TRUE(socket.waitForConnected(30000));
    socket.write(method + ' ' + target + " HTTP/1.1\r\nHost: " + base.authority().toUtf8() +
                 "\r\nX-Probe: yes\r\nContent-Length: " + QByteArray::number(body.size()) +
                 "\r\n\r\n" + body);
    socket.waitForBytesWritten(30000);
    QByteArray answer;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(30000))
        answer += socket.readAll();
    return answer + socket.readAll();
}

int statusOf(const QByteArray &answer)
{
    return answer.split(' ').value(1).toInt();
}

QByteArray bodyOf(const QByteArray &answer)
{
    return answer.mid(answer.indexOf("\r\n\r\n") + 4);
}

// The program, started with arguments; its base address from its first line.
struct RunningService
{
    explicit RunningService(const QStringList &arguments)
    {
        process.start(QStringLiteral(QUILLMOOR_REFERENCE_SERVICE), arguments);
        EXPECT_TRUE(process.waitForStarted(30000));
        while (!process.canReadLine() && process.waitForReadyRead(30000)) {
        }
        base = QUrl(QString::fromUtf8(process.readLine().trimmed()));
    }
    ~RunningService()
    {
        process.kill();
        process.waitForFinished(30000);
    }
    QProcess process;
    QUrl base;
};

const QByteArray EventsTarget = "/spi/v2/events";
const QByteArray SettingsTarget =
    "/spi/v2/platforms/mac/apps/com.ferrowby.Quillmoor/settings?build_version=100";

} // namespace

TEST(ReferenceServiceTest, DefaultSettingsSendEventsToTheServiceItself)
{
    ReferenceService service;
    const QByteArray answer = exchange(service.url({}), "GET", SettingsTarget);
    EXPECT_EQ(statusOf(answer), 200);
    EXPECT_TRUE(answer.contains("Content-Type: application/json; charset=utf-8\r\n"));
    const QJsonObject settings = QJsonDocument::fromJson(bodyOf(answer)).object();
    EXPECT_EQ(settings["analytics"]["url"].toString(), service.baseURL() + "/spi/v2/events");
    EXPECT_EQ(settings["app"]["status"].toString(), "activated");
    EXPECT_TRUE(settings["features"]["collect_analytics"].toBool());
}

TEST(ReferenceServiceTest, ScriptedAnswersComeFirstThenTheStandingOne)
{
    ReferenceService service;
    service.script(Endpoint::Events, {Answer::withStatus(503, 30), Answer::withStatus(413)});
    const QByteArray first = exchange(service.url({}), "POST", EventsTarget, "package");
    EXPECT_EQ(statusOf(first), 503);
    EXPECT_TRUE(first.contains("\r\nRetry-After: 30\r\n"));
    EXPECT_EQ(statusOf(exchange(service.url({}), "POST", EventsTarget)), 413);
    EXPECT_EQ(statusOf(exchange(service.url({}), "POST", EventsTarget)), 200);
    // Other endpoints keep their own answers.
    EXPECT_EQ(statusOf(exchange(service.url({}), "GET", SettingsTarget)), 200);
    EXPECT_EQ(statusOf(exchange(service.url({}), "GET", "/elsewhere")), 404);
    ASSERT_EQ(service.requests(Endpoint::Events).size(), 3);
    EXPECT_EQ(service.requests(Endpoint::Events).first().body, "package");
}

TEST(ReferenceServiceTest, RecordingNumbersRequestsOnFromWhatTheFolderHolds)
{
    QTemporaryDir folder;
    QFile earlier(folder.filePath("0007-events.http"));
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.close();

    ReferenceService service;
    ASSERT_TRUE(service.setRecordDirectory(folder.path()));
    exchange(service.url({}), "POST", EventsTarget, QByteArray("\0\x01gz", 4));
    exchange(service.url({}), "GET", SettingsTarget);
    ASSERT_TRUE(service.waitForRequests(2));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files),
              (QStringList{"0007-events.http", "0008-events.http", "0009-settings.http"}));

    QFile record(folder.filePath("0008-events.http"));
    ASSERT_TRUE(record.open(QIODevice::ReadOnly));
    const QByteArray expected =
        "POST /spi/v2/events HTTP/1.1\r\nHost: " + service.url({}).authority().toUtf8() +
        "\r\nX-Probe: yes\r\nContent-Length: 4\r\n\r\n" + QByteArray("\0\x01gz", 4);
    EXPECT_EQ(record.readAll(), expected);
}

TEST(ReferenceServiceTest, ProgramPrintsItsAddressFirstAndFollowsItsOptions)
{
    QTemporaryDir folder;
    const QString records = folder.filePath("requests");
    RunningService running(
        {"--record", records, "--script", "events=503:60,413", "--answer", "create=500"});
    ASSERT_TRUE(running.base.isValid());
    EXPECT_EQ(running.base.scheme(), "http");
    EXPECT_EQ(running.base.host(), "127.0.0.1");

    const QByteArray first = exchange(running.base, "POST", EventsTarget);
    EXPECT_EQ(statusOf(first), 503);
    EXPECT_TRUE(first.contains("\r\nRetry-After: 60\r\n"));
    EXPECT_EQ(statusOf(exchange(running.base, "POST", EventsTarget)), 413);
    EXPECT_EQ(statusOf(exchange(running.base, "POST", EventsTarget)), 200);
    EXPECT_EQ(statusOf(exchange(running.base, "POST", "/spi/v1/platforms/mac/apps")), 500);
    EXPECT_EQ(statusOf(exchange(running.base, "POST", "/spi/v1/platforms/mac/apps")), 500);
    const QJsonObject settings =
        QJsonDocument::fromJson(bodyOf(exchange(running.base, "GET", SettingsTarget))).object();
    EXPECT_EQ(settings["analytics"]["url"].toString(), running.base.toString() + "/spi/v2/events");
    // Each file is complete before the answer goes out.
    EXPECT_EQ(QDir(records).entryList(QDir::Files),
              (QStringList{"0001-events.http", "0002-events.http", "0003-events.http",
                           "0004-create.http", "0005-create.http", "0006-settings.http"}));
}

TEST(ReferenceServiceTest, ProgramChangesSingleSettingsOverItsOwn)
{
    RunningService running({"--set", "features.collect_analytics=false", "--set",
                            "analytics.sampling_rate=3", "--set", "analytics.note=plain text",
                            "--set", "extra.deeper.list=[1,2]"});
    const QJsonObject settings =
        QJsonDocument::fromJson(bodyOf(exchange(running.base, "GET", SettingsTarget))).object();
    EXPECT_EQ(settings["features"]["collect_analytics"], false);
    EXPECT_EQ(settings["analytics"]["sampling_rate"], 3);
    EXPECT_EQ(settings["analytics"]["note"], "plain text");
    EXPECT_EQ(settings["analytics"]["url"].toString(), running.base.toString() + "/spi/v2/events");
    EXPECT_EQ(settings["extra"]["deeper"]["list"], QJsonArray({1, 2}));
    EXPECT_EQ(settings["app"]["status"], "activated");
}

TEST(ReferenceServiceTest, ProgramRefusesWhatItCannotRead)
{
    for (const QStringList &arguments :
         {QStringList{"--script", "events=abc"}, QStringList{"--script", "nowhere=200"},
          QStringList{"--answer", "events=200,503"}, QStringList{"/no/such/settings.json"},
          QStringList{"--set", "analytics..url=x"}, QStringList{"--set", "no value"}}) {
        QProcess process;
        process.start(QStringLiteral(QUILLMOOR_REFERENCE_SERVICE), arguments);
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitCode(), 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
    }
}
