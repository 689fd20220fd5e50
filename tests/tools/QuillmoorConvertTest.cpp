#include "ParserTestSupport.h"
#include "TestDrawings.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ToolRun
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the tool with its own temporary directory, so that whatever it
// leaves behind can be seen.
ToolRun convert(const QStringList &arguments, const QString &temporaryDirectory)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", temporaryDirectory);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(QUILLMOOR_CONVERT), arguments);
    EXPECT_TRUE(process.waitForFinished(120000));
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

} // namespace

TEST(QuillmoorConvertTest, DrawingWithImagesStandsOnItsOwnAndLeavesNoTemporaryFiles)
{
    QTemporaryDir temporary;
    QTemporaryDir output;
    const QString target = output.filePath("heart.xhtml");
    const ToolRun run =
        convert({drawing("x7_models-heart_part1.cdr"), "-o", target}, temporary.path());
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(QDir(temporary.path()).isEmpty());

    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray document = file.readAll();
    EXPECT_TRUE(document.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"));
    EXPECT_EQ(document.count("xlink:href=\"data:image/bmp;base64,Qk"), 2);
    EXPECT_FALSE(document.contains("file:"));
    EXPECT_EQ(QDir(output.path()).entryList(QDir::Files), QStringList{"heart.xhtml"});
}

TEST(QuillmoorConvertTest, WritesToStandardOutputWithoutOption)
{
    QTemporaryDir temporary;
    const ToolRun run = convert({drawing("x5_xapian_test2.cdr")}, temporary.path());
    ASSERT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.endsWith("</body>\n</html>\n"));
    EXPECT_EQ(run.out.count("<hr/>"), 1);
}

TEST(QuillmoorConvertTest, FailuresExitWithTheErrorCodeAndWriteNothing)
{
    const std::pair<QString, int> cases[] = {
        {damagedFile("text_renamed.cdr"), 10},
        {damagedFile("truncated30_riff_cdr13_pcbdesignDiya_10s5p.cdr"), 11},
    };
    for (const auto &[path, status] : cases) {
        QTemporaryDir temporary;
        QTemporaryDir output;
        const QString target = output.filePath("out.xhtml");
        const ToolRun run = convert({path, "-o", target}, temporary.path());
        EXPECT_EQ(run.status, status) << path.toStdString();
        EXPECT_TRUE(run.err.contains("This file is created with newer version of CorelDRAW"));
        EXPECT_TRUE(QDir(output.path()).isEmpty());
        EXPECT_TRUE(QDir(temporary.path()).isEmpty());
        EXPECT_TRUE(run.out.isEmpty());
    }
}

TEST(QuillmoorConvertTest, AParserCrashInTheMiddleIsAFailureThatLeavesNothing)
{
    TestParser parser("crash-after-image");
    QTemporaryDir temporary;
    QTemporaryDir output;
    const QString target = output.filePath("out.xhtml");
    const ToolRun run =
        convert({drawing("v23_2021_corolDrow_zakaz.cdr"), "-o", target}, temporary.path());
    EXPECT_EQ(run.status, 11);
    EXPECT_TRUE(run.err.contains("The parser was stopped by signal 11 ")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("This file is created with newer version of CorelDRAW"));
    EXPECT_TRUE(QDir(output.path()).isEmpty());
    EXPECT_TRUE(QDir(temporary.path()).isEmpty());
}

TEST(QuillmoorConvertTest, MissingArgumentIsAUsageError)
{
    QTemporaryDir temporary;
    EXPECT_EQ(convert({}, temporary.path()).status, 2);
}
