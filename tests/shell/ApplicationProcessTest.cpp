#include "ParserTestSupport.h"
#include "ShellTestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
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
    ApplicationProcess()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), temporary.path());
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

    QTemporaryDir temporary;
    QTemporaryDir home;
    QProcess process;

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
