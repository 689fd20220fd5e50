#include "ParserTestSupport.h"
#include "ShellTestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

namespace {

// The application run as a user runs it, with a temporary directory,
// settings and caches of its own.
class ApplicationProcess
{
public:
    // Launches that share a runtime folder meet there: a later one hands
    // its drawings to the first. Each has one of its own unless given one.
    explicit ApplicationProcess(const QString &runtimeFolder = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), temporary.path());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"),
                           runtimeFolder.isEmpty() ? runtime.path() : runtimeFolder);
        for (const char *variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
            environment.insert(QString::fromLatin1(variable),
                               home.filePath(QString::fromLatin1(variable)));
        environment.insert(QStringLiteral("SettingsEndpoint"),
                           QStringLiteral("http://127.0.0.1:9"));
        environment.insert(QStringLiteral("ConfigureEndpoint"),
                           QStringLiteral("http://127.0.0.1:9"));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~ApplicationProcess()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }

    QStringList temporaryFiles() const
    {
        QStringList files;
        QDirIterator it(temporary.path(), QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            files.append(it.next());
        return files;
    }

    // The parser that waits in the opening of a named pipe that nobody
    // writes to: a conversion that will not end by itself.
    pid_t stuckParser() const
    {
        for (pid_t parser : parserProcesses(pid_t(process.processId()))) {
            if (read(QStringLiteral("/proc/%1/wchan").arg(parser)) == "wait_for_partner")
                return parser;
        }
        return 0;
    }

    // Reads what the process wrote so far; true once it holds the text.
    bool hasWritten(const QByteArray &text)
    {
        output += process.readAll();
        return output.contains(text);
    }

    bool waitForOutput(const QByteArray &text)
    {
        // Bounded only so that a hang fails the test instead of stalling it.
        return QTest::qWaitFor([&] { return hasWritten(text); }, 120000);
    }

    QTemporaryDir temporary;
    QTemporaryDir home;
    QTemporaryDir runtime;
    QProcess process;
    QByteArray output;

private:
    static QByteArray read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
    }
};

} // namespace

TEST(Quit, DuringAConversionIsPromptAndLeavesNoImageFiles)
{
    ApplicationProcess app;
    // A drawing with many images, converted and shown; then one whose
    // conversion never ends: its file is a pipe that nobody writes to.
    QTemporaryDir pipes;
    const QString stuck = pipes.filePath(QStringLiteral("stuck.cdr"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(stuck).constData(), 0600), 0);
    app.process.start(QStringLiteral(QUILLMOOR_EXECUTABLE),
                      {corpusDrawing(QStringLiteral("v23_2021_corolDrow_zakaz.cdr")), stuck});
    ASSERT_TRUE(app.process.waitForStarted());
    pid_t parser = 0;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (parser = app.stuckParser()) != 0; }, 120000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return app.temporaryFiles().size() > 1; }, 120000));

    // Asked to end as the system asks at logout; it quits as through Quit.
    QElapsedTimer quitting;
    quitting.start();
    ::kill(pid_t(app.process.processId()), SIGTERM);
    // Bounded only so that a hang fails the test instead of stalling it.
    ASSERT_TRUE(app.process.waitForFinished(60000));
    RecordProperty("QuitMilliseconds", int(quitting.elapsed()));
    EXPECT_EQ(app.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.process.exitCode(), 0);
    EXPECT_EQ(app.temporaryFiles(), QStringList());
    // Its parsers went with it.
    EXPECT_TRUE(QTest::qWaitFor([&] {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(parser));
        return !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
    }));
}

TEST(CommandLine, HelpAndVersionNeedNoDisplay)
{
    for (const QString &option : {QStringLiteral("--help"), QStringLiteral("--version")}) {
        SCOPED_TRACE(option.toStdString());
        ApplicationProcess app;
        QProcessEnvironment environment = app.process.processEnvironment();
        for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(variable));
        app.process.setProcessEnvironment(environment);
        app.process.setProcessChannelMode(QProcess::SeparateChannels);
        app.process.start(QStringLiteral(QUILLMOOR_EXECUTABLE), {option});
        ASSERT_TRUE(app.process.waitForFinished(60000));
        EXPECT_EQ(app.process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(app.process.exitCode(), 0);
        const QString out = QString::fromLocal8Bit(app.process.readAllStandardOutput());
        if (option == QStringLiteral("--help")) {
            EXPECT_TRUE(out.startsWith(QStringLiteral("Usage: "))) << out.toStdString();
            EXPECT_TRUE(out.contains(QStringLiteral("--snapshot <file>"))) << out.toStdString();
            EXPECT_TRUE(out.contains(QStringLiteral("--version"))) << out.toStdString();
        } else {
            EXPECT_EQ(out, QStringLiteral("Quillmoor " PROJECT_VERSION "\n"));
        }
    }
}

TEST(SecondLaunch, HandsItsDrawingsToTheRunningApplicationAndEnds)
{
    ApplicationProcess first;
    first.process.setProcessChannelMode(QProcess::MergedChannels);
    first.process.start(QStringLiteral(QUILLMOOR_EXECUTABLE),
                        {corpusDrawing(QStringLiteral("cdr09_fas-dpd_ICON.cdr"))});
    ASSERT_TRUE(first.waitForOutput("didFinishLoadForFrame"));
    first.output.clear();

    // Given by a path relative to where it was launched.
    const QFileInfo second(corpusDrawing(QStringLiteral("x7_dblab_test.cdr")));
    ApplicationProcess launch(first.runtime.path());
    launch.process.setWorkingDirectory(second.absolutePath());
    launch.process.start(QStringLiteral(QUILLMOOR_EXECUTABLE), {second.fileName()});
    ASSERT_TRUE(launch.process.waitForFinished(60000));
    EXPECT_EQ(launch.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(launch.process.exitCode(), 0);
    EXPECT_TRUE(launch.temporaryFiles().isEmpty());

    ASSERT_TRUE(first.waitForOutput("Opening drawings from another launch: " +
                                    second.canonicalFilePath().toUtf8()));
    ASSERT_TRUE(first.waitForOutput("didFinishLoadForFrame"));
    EXPECT_EQ(first.process.state(), QProcess::Running);

    // With no drawing, a launch brings the running application forward.
    ApplicationProcess bare(first.runtime.path());
    bare.process.start(QStringLiteral(QUILLMOOR_EXECUTABLE), QStringList());
    ASSERT_TRUE(bare.process.waitForFinished(60000));
    EXPECT_EQ(bare.process.exitCode(), 0);

    ::kill(pid_t(first.process.processId()), SIGTERM);
    ASSERT_TRUE(first.process.waitForFinished(60000));
    EXPECT_EQ(first.process.exitCode(), 0);
}

TEST(SecondLaunch, RunsItselfWhenTheFirstHasDied)
{
    ApplicationProcess first;
    first.process.setProcessChannelMode(QProcess::MergedChannels);
    first.process.start(QStringLiteral(QUILLMOOR_EXECUTABLE),
                        {corpusDrawing(QStringLiteral("cdr09_fas-dpd_ICON.cdr"))});
    ASSERT_TRUE(first.waitForOutput("didFinishLoadForFrame"));
    // Killed outright: its socket and lock file stay behind.
    first.process.kill();
    ASSERT_TRUE(first.process.waitForFinished(60000));
    EXPECT_FALSE(QDir(first.runtime.path()).isEmpty());

    ApplicationProcess next(first.runtime.path());
    next.process.setProcessChannelMode(QProcess::MergedChannels);
    next.process.start(QStringLiteral(QUILLMOOR_EXECUTABLE),
                       {corpusDrawing(QStringLiteral("x7_dblab_test.cdr"))});
    ASSERT_TRUE(next.waitForOutput("didFinishLoadForFrame"));
    EXPECT_FALSE(next.output.contains("does not answer"));
    ::kill(pid_t(next.process.processId()), SIGTERM);
    ASSERT_TRUE(next.process.waitForFinished(60000));
    EXPECT_EQ(next.process.exitCode(), 0);
}
