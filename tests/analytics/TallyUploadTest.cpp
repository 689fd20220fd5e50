#include "AnalyticsTestSupport.h"
#include "ChildProcess.h"
#include "ReferenceService.h"

#include "analytics/Tally.h"
#include "analytics/TallyKit.h"
#include "sdk/Orrery.h"
#include "support/NetworkThread.h"

#include <QCoreApplication>
#include <QProcess>

#include <gtest/gtest.h>

#include <iostream>

using Endpoint = ReferenceService::Endpoint;

// Starts the SDK with the kit as the application does, records enough
// events for a package, and ends when told to on standard input.
int recordThroughTheKit(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    TallyKit::registerKit();
    Orrery::with({TallyKit::kitClass()});
    for (int n = 0; n < 60; ++n)
        Tally::logCustomEventWithName("tick", {{"n", n}, {"padding", QString(90, 'x')}});
    std::string line;
    std::getline(std::cin, line);
    NetworkThread::shutdown();
    return 0;
}

TEST(TallyUploadTest, KitStartedByTheSDKUploadsItsPackagesToTheEventsEndpointOfItsSettings)
{
    TemporaryHome home;
    ReferenceService service;
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DO_NOT_TRACK");
    environment.insert("SettingsEndpoint", service.baseURL());
    environment.insert("ConfigureEndpoint", service.baseURL());
    environment.insert(ChildModeVariable, "kit");
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {});
    ASSERT_TRUE(child.waitForStarted());

    // The settings first, then the install's package and that of the
    // first full log file.
    ASSERT_TRUE(service.waitForRequests(Endpoint::Events, 2, std::chrono::seconds(120)));
    child.closeWriteChannel();
    ASSERT_TRUE(child.waitForFinished(120000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0);

    const QList<ReferenceService::Request> requests = service.requests();
    ASSERT_GE(requests.size(), 2);
    EXPECT_EQ(requests.first().endpoint, Endpoint::Settings);
    EXPECT_EQ(requests.first().header("X-Tarnwell-API-Key"),
              "5f0b8e2c41d7a96e3b1c08f4d2a7e95c6b3f1d80");
    // The install's package, holding that event alone, and one with the
    // recorded events. The waiting packages go out side by side, so they
    // may arrive in either order.
    QList<QStringList> packages;
    for (const ReferenceService::Request &upload : service.requests(Endpoint::Events)) {
        EXPECT_EQ(upload.header("X-TARNWELL-API-KEY"), "5f0b8e2c41d7a96e3b1c08f4d2a7e95c6b3f1d80");
        const QByteArray contentType = upload.header("Content-Type");
        const auto body =
            parseMultipart(upload.body, contentType.mid(contentType.indexOf("boundary=") + 9));
        ASSERT_TRUE(body && body->parts.size() == 1);
        const QList<LogLine> lines =
            parseLogLines(gunzip(body->parts.first().content).value_or(""));
        ASSERT_GE(lines.size(), 2);
        EXPECT_EQ(lines[0].name, "metadata");
        QStringList names;
        for (const LogLine &line : lines.mid(1))
            names.append(line.payload.contains("\"tick\"") ? "tick" : line.name);
        packages.append(names);
    }
    EXPECT_TRUE(packages.contains(QStringList{"app_installed"}));
    QStringList names;
    for (const QStringList &package : packages)
        names += package;
    EXPECT_EQ(names.count("app_installed"), 1);
    EXPECT_TRUE(names.contains("app_launched"));
    EXPECT_TRUE(names.contains("tick"));
}
