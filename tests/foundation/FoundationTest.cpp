#include "foundation/Error.h"
#include "foundation/Log.h"
#include "foundation/MainThread.h"
#include "foundation/Uuid.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <thread>

TEST(ErrorTest, DescriptionComesFromUserInfo)
{
    const Error error = Error::withDescription(Error::CocoaErrorDomain, 10, "Broken");
    EXPECT_EQ(error.domain(), "NSCocoaErrorDomain");
    EXPECT_EQ(error.code(), 10);
    EXPECT_EQ(error.localizedDescription(), "Broken");
    EXPECT_FALSE(error.isNull());
    EXPECT_TRUE(Error().isNull());
    EXPECT_FALSE(Error("ORRNetworkError", -1).localizedDescription().isEmpty());
}

TEST(UuidTest, IsUpperCaseCanonicalAndFresh)
{
    const QRegularExpression form("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$");
    const QString a = uuidText();
    EXPECT_TRUE(form.match(a).hasMatch()) << a.toStdString();
    EXPECT_NE(a, uuidText());
}

TEST(LogTest, CaptureSeesLinesFromAnyThread)
{
    LogCapture capture;
    systemLog("first line");
    std::thread([] { systemLog("from a worker"); }).join();
    EXPECT_EQ(capture.lines(), (QStringList{"first line", "from a worker"}));
    EXPECT_EQ(capture.count("first line"), 1);
}

TEST(MainThreadTest, WorkerWaitsForTheMainThread)
{
    int argc = 1;
    char name[] = "test";
    char *argv[] = {name};
    QCoreApplication app(argc, argv);

    std::thread::id ranOn;
    bool returnedAfterRun = false;
    std::thread worker([&] {
        runOnMainThreadAndWait([&] { ranOn = std::this_thread::get_id(); });
        returnedAfterRun = ranOn != std::thread::id();
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_TRUE(returnedAfterRun);
    EXPECT_TRUE(isMainThread());
}

TEST(TestPrintersTest, QtStringsAndValuesPrintAsText)
{
    EXPECT_EQ(::testing::PrintToString(QString("a \"b\"")), R"("a \"b\"")");
    EXPECT_EQ(::testing::PrintToString(QByteArray("x\ny")), R"("x\ny")");
    EXPECT_EQ(::testing::PrintToString(QVariant(3)), "QVariant(int, 3)");
    EXPECT_EQ(::testing::PrintToString(QStringList{"a", "b"}), R"({ "a", "b" })");
}
