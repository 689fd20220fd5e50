#include "TestDrawings.h"

#include "conversion/CDR2SVG.h"
#include "conversion/CMX2SVG.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace {

const QString ExchangeFile = QStringLiteral("cmx_libreoffice_fdo63782-1.cmx");

struct Counts
{
    int pages = 0;
    int paths = 0;
    bool operator==(const Counts &) const = default;
};

void PrintTo(const Counts &counts, std::ostream *out)
{
    *out << counts.pages << " pages, " << counts.paths << " paths";
}

// Parses the whole document, so that a malformed one fails the test.
Counts countElements(const QByteArray &document)
{
    Counts counts;
    QXmlStreamReader xml(document);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement ||
            xml.namespaceUri() != QLatin1String("http://www.w3.org/2000/svg"))
            continue;
        counts.pages += xml.name() == QLatin1String("svg");
        counts.paths += xml.name() == QLatin1String("path");
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return counts;
}

// What libcdr's own converter makes of the file.
Counts referenceCounts(const QString &path)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("cmx2xhtml"));
    if (tool.isEmpty()) {
        ADD_FAILURE() << "cmx2xhtml (package libcdr-tools) is missing";
        return {};
    }
    QProcess process;
    process.start(tool, {path});
    EXPECT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0);
    return countElements(process.readAllStandardOutput());
}

} // namespace

TEST(CMXConversionTest, ExchangeFilesConvertWithTheReferencePagesAndPaths)
{
    const QDir corpus(drawing(QString()));
    const QStringList files = corpus.entryList({QStringLiteral("*.cmx")}, QDir::Files);
    ASSERT_TRUE(files.contains(ExchangeFile));
    for (const QString &file : files) {
        SCOPED_TRACE(file.toStdString());
        CMX2SVG converter(corpus.filePath(file));
        Error error;
        ASSERT_TRUE(converter.convertToSVG(&error)) << error.localizedDescription().toStdString();
        const QByteArray &document = converter.svgData();
        // The same page document as for drawings, with the viewer's page ids.
        EXPECT_TRUE(document.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                        "<!DOCTYPE html PUBLIC"));
        EXPECT_TRUE(document.contains("<svg:svg id=\"svgRoot\" "));
        EXPECT_TRUE(document.endsWith("</svg:svg>\n\n</body>\n</html>\n"));
        const Counts counts = countElements(document);
        EXPECT_GT(counts.paths, 0);
        EXPECT_EQ(counts, referenceCounts(corpus.filePath(file)));
    }
}

TEST(CMXConversionTest, FilesThatAreNoExchangeFilesFailAsDrawingsDo)
{
    const std::pair<QString, int> cases[] = {
        {drawing("cdr12_uniconvertor_probe.cdr"), CDR2SVG::UnsupportedFileError},
        {damagedFile("text_renamed.cdr"), CDR2SVG::UnsupportedFileError},
        {damagedFile("empty.cdr"), CDR2SVG::UnsupportedFileError},
        {QStringLiteral("/nonexistent/drawing.cmx"), CDR2SVG::UnsupportedFileError},
    };
    for (const auto &[path, code] : cases) {
        SCOPED_TRACE(path.toStdString());
        CMX2SVG converter(path);
        Error error;
        EXPECT_FALSE(converter.convertToSVG(&error));
        EXPECT_EQ(error.domain(), Error::CocoaErrorDomain);
        EXPECT_EQ(error.code(), code);
        EXPECT_EQ(error.localizedDescription(), CDR2SVG::NewerVersionMessage);
        EXPECT_TRUE(converter.svgData().isNull());
    }
}

TEST(CMXConversionTest, TheFileNameChoosesTheConverter)
{
    for (const QString &name : {QStringLiteral("/a/b.cmx"), QStringLiteral("/a/B.CMX")}) {
        const auto converter = DrawingConverter::forFile(name);
        EXPECT_NE(dynamic_cast<CMX2SVG *>(converter.get()), nullptr) << name.toStdString();
        EXPECT_EQ(converter->filePath(), name);
    }
    for (const QString &name : {QStringLiteral("/a/b.cdr"), QStringLiteral("/a/cmx"),
                                QStringLiteral("/a/b.cmx.cdr"), QStringLiteral("/a/b")})
        EXPECT_NE(dynamic_cast<CDR2SVG *>(DrawingConverter::forFile(name).get()), nullptr)
            << name.toStdString();
}
