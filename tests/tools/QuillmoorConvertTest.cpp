#include "ParserTestSupport.h"
#include "TestDrawings.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
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

namespace {

int pdfPages(const QByteArray &pdf)
{
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
    return int(QString::fromLatin1(pdf).count(page));
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(QuillmoorConvertTest, ExportsPagesAsPngPdfAndSvg)
{
    QTemporaryDir temporary;
    QTemporaryDir output;
    const QString heart = drawing("x7_models-heart_part1.cdr");

    const ToolRun png =
        convert({heart, "--to", "png", "--dpi", "30", "-o", output.filePath("heart.png")},
                temporary.path());
    ASSERT_EQ(png.status, 0) << png.err.toStdString();
    const QImage picture(output.filePath("heart.png"));
    ASSERT_FALSE(picture.isNull());
    EXPECT_NEAR(picture.dotsPerMeterX() * 0.0254, 30, 0.5);
    // One page of five unless asked for more, and a word about the others.
    EXPECT_TRUE(png.err.contains("page 1 of 5"));

    const ToolRun pdf =
        convert({heart, "--to", "pdf", "-o", output.filePath("heart.pdf")}, temporary.path());
    ASSERT_EQ(pdf.status, 0) << pdf.err.toStdString();
    EXPECT_TRUE(contents(output.filePath("heart.pdf")).startsWith("%PDF-"));
    EXPECT_EQ(pdfPages(contents(output.filePath("heart.pdf"))), 5);

    const ToolRun svg = convert({drawing("x5_xapian_test2.cdr"), "--to", "SVG", "--page", "all",
                                 "-o", output.filePath("text.svg")},
                                temporary.path());
    ASSERT_EQ(svg.status, 0) << svg.err.toStdString();
    EXPECT_TRUE(contents(output.filePath("text-2.svg")).contains("<svg xmlns="));

    const ToolRun cmx = convert({drawing("cmx_libreoffice_fdo63782-1.cmx"), "--to", "png", "--page",
                                 "1", "-o", output.filePath("cmx.png")},
                                temporary.path());
    ASSERT_EQ(cmx.status, 0) << cmx.err.toStdString();
    EXPECT_FALSE(QImage(output.filePath("cmx.png")).isNull());

    EXPECT_EQ(QDir(output.path()).entryList(QDir::Files),
              QStringList({"cmx.png", "heart.pdf", "heart.png", "text-1.svg", "text-2.svg"}));
    EXPECT_TRUE(QDir(temporary.path()).isEmpty());
}

TEST(QuillmoorConvertTest, ExportMistakesAreExplainedAndWriteNothing)
{
    const QString heart = drawing("x7_models-heart_part1.cdr");
    const std::pair<QStringList, int> cases[] = {
        {{heart, "--to", "gif", "-o", "out"}, 2},
        {{heart, "--to", "png"}, 2},
        {{heart, "--to", "svg", "--dpi", "72", "-o", "out.svg"}, 2},
        {{heart, "--to", "png", "--dpi", "0", "-o", "out.png"}, 2},
        {{heart, "--to", "png", "--page", "0", "-o", "out.png"}, 2},
        {{heart, "--page", "1"}, 2},
        {{heart, "--to", "png", "--page", "6", "-o", "out.png"}, 1},
        {{damagedFile("text_renamed.cdr"), "--to", "png", "-o", "out.png"}, 10},
    };
    for (const auto &[arguments, status] : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        QTemporaryDir temporary;
        QTemporaryDir output;
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TMPDIR", temporary.path());
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(output.path());
        process.start(QStringLiteral(QUILLMOOR_CONVERT), arguments);
        ASSERT_TRUE(process.waitForFinished(120000));
        EXPECT_EQ(process.exitCode(), status);
        EXPECT_FALSE(process.readAllStandardError().isEmpty());
        EXPECT_TRUE(QDir(output.path()).isEmpty());
        EXPECT_TRUE(QDir(temporary.path()).isEmpty());
    }
}
