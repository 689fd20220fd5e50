#include "ExportTestSupport.h"

#include "export/DrawingExport.h"
#include "export/WrappedText.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

// A page document as the converters write it, around the given pages.
QByteArray pageDocument(const QList<QByteArray> &pages)
{
    QByteArray document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<html xmlns=\"http://www.w3.org/1999/xhtml\" "
                          "xmlns:svg=\"http://www.w3.org/2000/svg\" "
                          "xmlns:xlink=\"http://www.w3.org/1999/xlink\">\n<body>\n";
    for (qsizetype i = 0; i < pages.size(); ++i) {
        if (i > 0)
            document += "<hr/>\n";
        document += "<svg:svg id=\"svgRoot\" version=\"1.1\" width=\"612\" height=\"792\" >\n"
                    "<svg:g id=\"rootGroup\">\n" +
                    pages[i] +
                    "</svg:g>\n<svg:script><![CDATA[ var b = 1; ]]></svg:script>\n</svg:svg>\n";
    }
    return document + "</body>\n</html>\n";
}

DrawingPages::Page onlyPage(const QByteArray &content, const QList<QUrl> &images = {})
{
    Error error;
    const std::optional<DrawingPages> pages =
        DrawingPages::fromPageDocument(pageDocument({content}), images, &error);
    EXPECT_TRUE(pages);
    EXPECT_EQ(pages ? pages->count() : 0, 1);
    return pages ? pages->page(0) : DrawingPages::Page{};
}

const QByteArray WrappedParagraphs =
    "<svg:foreignObject x=\"10\" y=\"20\" width=\"120\" height=\"200\" "
    "transform=\"rotate(5)\">\n"
    "<div xmlns=\"http://www.w3.org/1999/xhtml\" style=\"line-height: 1.15; \">\n"
    "<div style=\"white-space: pre-wrap; text-align: center; font-size: 12px; \">"
    "<span style=\"font-family: 'Liberation Sans', sans-serif; color: #ff0000; font-size: 12px; "
    "\">The quick brown fox jumps over the lazy dog and keeps running</span></div>\n"
    "<div style=\"white-space: pre-wrap; font-size: 12px; \"><br/></div>\n"
    "<div style=\"white-space: pre-wrap; font-size: 12px; \">"
    "<span style=\"font-weight: bold; text-transform: uppercase; \">a &amp; b</span></div>\n"
    "</div>\n</svg:foreignObject>\n";

} // namespace

TEST(DrawingPagesTest, RealDrawingsBecomeStandaloneSvgPages)
{
    struct Case
    {
        const char *file;
        int pages;
        int images;
    };
    for (const Case &c :
         {Case{"x7_models-heart_part1.cdr", 5, 2}, Case{"x5_irank_modelo1.cdr", 7, 0},
          Case{"cmx_libreoffice_fdo63782-1.cmx", 1, 0}}) {
        SCOPED_TRACE(c.file);
        const ExportedDrawing drawing(QString::fromLatin1(c.file));
        ASSERT_TRUE(drawing.pages);
        ASSERT_EQ(drawing.pages->count(), c.pages);
        int images = 0;
        for (int i = 0; i < drawing.pages->count(); ++i) {
            const QByteArray svg = drawing.pages->page(i).svg();
            EXPECT_TRUE(isWellFormedSvg(svg)) << "page " << i + 1;
            EXPECT_FALSE(svg.contains("<svg:")) << "page " << i + 1;
            EXPECT_FALSE(svg.contains("script")) << "page " << i + 1;
            EXPECT_FALSE(svg.contains("file:")) << "page " << i + 1;
            EXPECT_FALSE(drawing.pages->page(i).pageSize.isEmpty());
            images += int(svg.count("xlink:href=\"data:image/bmp;base64,Qk"));
        }
        EXPECT_EQ(images, c.images);
    }
}

TEST(DrawingPagesTest, OnlyTheConversionsOwnImageFilesAreEmbedded)
{
    QTemporaryDir folder;
    QFile own(folder.filePath("own.bmp"));
    ASSERT_TRUE(own.open(QIODevice::WriteOnly));
    own.write("BM-own-image");
    own.close();
    QFile other(folder.filePath("other.bmp"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("BM-private");
    other.close();

    const QByteArray content =
        "<svg:image width=\"10\" height=\"10\" xlink:href=\"" +
        QUrl::fromLocalFile(own.fileName()).toEncoded() +
        "\" />\n<svg:image width=\"10\" height=\"10\" xlink:href=\"" +
        QUrl::fromLocalFile(other.fileName()).toEncoded() +
        "\" />\n<svg:image width=\"10\" height=\"10\" xlink:href=\"" +
        QUrl::fromLocalFile(folder.filePath("gone.bmp")).toEncoded() +
        "\" />\n<svg:image width=\"10\" height=\"10\" xlink:href=\"http://example.invalid/a.png\" "
        "/>\n";
    const QList<QUrl> images = {QUrl::fromLocalFile(own.fileName()),
                                QUrl::fromLocalFile(folder.filePath("gone.bmp"))};
    const QByteArray svg = onlyPage(content, images).svg();
    EXPECT_TRUE(isWellFormedSvg(svg));
    EXPECT_EQ(svg.count("<image"), 1);
    EXPECT_TRUE(svg.contains("xlink:href=\"data:image/bmp;base64," +
                             QByteArray("BM-own-image").toBase64() + "\""));
    EXPECT_FALSE(svg.contains(QByteArray("BM-private").toBase64()));
}

TEST(DrawingPagesTest, BlanksInTextCollapseOverTheWholeTextAsInAWebEngine)
{
    // A blank with a span of its own, and a span that only moves to a new
    // line but holds no character, which web engines ignore.
    const QByteArray content = "<svg:text x=\"1\" y=\"2\">\n"
                               "<svg:tspan fill=\"#000\" >\nShort\n</svg:tspan>\n"
                               "<svg:tspan fill=\"#000\" >\n \n</svg:tspan>\n"
                               "<svg:tspan fill=\"#000\" >\ntext\n</svg:tspan>\n"
                               "<svg:tspan x=\"1\" dy=\"20\" >\n</svg:tspan>\n"
                               "<svg:tspan fill=\"#000\" >\n\tgoes on\n</svg:tspan>\n"
                               "</svg:text>\n";
    const QByteArray svg = onlyPage(content).svg();
    EXPECT_TRUE(isWellFormedSvg(svg));
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    EXPECT_EQ(QString::fromUtf8(svg.mid(svg.indexOf("<text"))).remove(tags).trimmed(),
              QStringLiteral("Short text goes on"));
    EXPECT_TRUE(svg.contains("<text x=\"1\" y=\"2\" xml:space=\"preserve\">"));
    EXPECT_FALSE(svg.contains("dy=\"20\""));
}

TEST(DrawingPagesTest, WrappedTextKeepsItsHtmlAndGainsSvgLines)
{
    const QByteArray svg = onlyPage(WrappedParagraphs).svg();
    ASSERT_TRUE(isWellFormedSvg(svg));
    // Readers with HTML take the first choice, the others the lines.
    EXPECT_TRUE(svg.contains("<switch><foreignObject x=\"10\" y=\"20\" width=\"120\" "
                             "height=\"200\" transform=\"rotate(5)\" "
                             "requiredExtensions=\"http://www.w3.org/1999/xhtml\">"));
    EXPECT_TRUE(svg.contains("<div xmlns=\"http://www.w3.org/1999/xhtml\" "));
    EXPECT_TRUE(svg.contains("<br/>"));
    EXPECT_TRUE(svg.contains("</foreignObject><g transform=\"rotate(5)\"><text "));

    static const QRegularExpression line(QStringLiteral("<text ([^>]*)>(.*?)</text>"));
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    QStringList lines;
    QStringList positions;
    for (const QRegularExpressionMatch &match : line.globalMatch(QString::fromUtf8(svg))) {
        positions.append(match.captured(1));
        lines.append(match.captured(2).remove(tags));
    }
    // 120 points hold only part of the sentence at 12 points; words stay
    // whole, and the last paragraph keeps its own line after the empty one.
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines.mid(0, lines.size() - 1).join(QLatin1Char(' ')),
              QStringLiteral("The quick brown fox jumps over the lazy dog and keeps running"));
    EXPECT_EQ(lines.last(), QStringLiteral("A &amp; B"));
    for (qsizetype i = 0; i + 1 < lines.size(); ++i)
        EXPECT_TRUE(positions[i].startsWith(QStringLiteral("x=\"70\" ")))
            << positions[i].toStdString();
    EXPECT_TRUE(positions.last().startsWith(QStringLiteral("x=\"10\" ")));
    EXPECT_TRUE(svg.contains("fill=\"#ff0000\""));
    EXPECT_TRUE(svg.contains("font-weight=\"bold\""));
    // Lines go down the box at the paragraphs' line height, one empty line
    // between the paragraphs.
    static const QRegularExpression baseline(QStringLiteral("y=\"([0-9.]+)\""));
    QList<double> baselines;
    for (const QString &position : std::as_const(positions))
        baselines.append(baseline.match(position).captured(1).toDouble());
    for (qsizetype i = 1; i + 1 < baselines.size(); ++i)
        EXPECT_NEAR(baselines[i] - baselines[i - 1], 13.8, 0.01);
    EXPECT_NEAR(baselines.last() - baselines[baselines.size() - 2], 2 * 13.8, 0.01);
    EXPECT_GT(baselines.first(), 20);
    EXPECT_LT(baselines.first(), 20 + 13.8);
}

TEST(DrawingPagesTest, TheViewBoxFramesTheGivenArea)
{
    const DrawingPages::Page page =
        onlyPage("<svg:rect x=\"1\" y=\"2\" width=\"3\" height=\"4\"/>\n");
    EXPECT_EQ(page.pageSize, QSizeF(612, 792));
    const QByteArray framed = page.svg(QRectF(-10.5, 20, 30, 40.25));
    EXPECT_TRUE(isWellFormedSvg(framed));
    EXPECT_TRUE(framed.contains(" width=\"30\" height=\"40.25\" viewBox=\"-10.5 20 30 40.25\">"));
    EXPECT_TRUE(page.svg().contains(" width=\"612\" height=\"792\">"));
    EXPECT_TRUE(framed.contains("<rect x=\"1\" y=\"2\" width=\"3\" height=\"4\"/>"));
}

TEST(DrawingPagesTest, ADocumentThatIsNotWellFormedIsRefused)
{
    for (const QByteArray &document :
         {QByteArray("<html><body><svg:svg>"), QByteArray(), QByteArray("<html/>")}) {
        Error error;
        EXPECT_FALSE(DrawingPages::fromPageDocument(document, {}, &error));
        EXPECT_EQ(error.domain(), DrawingPages::ErrorDomain);
        EXPECT_FALSE(error.localizedDescription().isEmpty());
    }
}

TEST(DrawingPagesTest, StyleDeclarationsAreReadByName)
{
    const WrappedText::Style style =
        WrappedText::parseStyle(u"font-family: 'A B', serif; color:#fff ;; font-size: 12px; x");
    EXPECT_EQ(style.value("font-family"), QStringLiteral("'A B', serif"));
    EXPECT_EQ(style.value("color"), QStringLiteral("#fff"));
    EXPECT_EQ(style.value("font-size"), QStringLiteral("12px"));
    EXPECT_EQ(style.size(), 3);
}

TEST(DrawingPagesTest, TextOfAGivenLengthIsStretchedToIt)
{
    // librsvg does not fit text to its length itself.
    const QByteArray content = "<svg:text x=\"10\" y=\"40\" textLength=\"300\" "
                               "lengthAdjust=\"spacingAndGlyphs\">\n"
                               "<svg:tspan font-family=\"'Liberation Sans', sans-serif\" "
                               "font-size=\"20\" fill=\"#000000\" >\nShort\n</svg:tspan>\n"
                               "</svg:text>\n";
    Error error;
    const std::optional<DrawingPages> pages =
        DrawingPages::fromPageDocument(pageDocument({content}), {}, &error);
    ASSERT_TRUE(pages);
    const QByteArray svg = pages->page(0).svg();
    EXPECT_TRUE(isWellFormedSvg(svg));
    EXPECT_FALSE(svg.contains("textLength"));
    EXPECT_TRUE(svg.contains("<text transform=\"translate(10 0) scale("));
    const QImage image = DrawingExport::pageImage(*pages, 0, 72, &error);
    // The glyphs' ink is a little narrower than their advance.
    EXPECT_NEAR(image.width(), 300, 12);
}
