#include "GeneratorTestSupport.h"

#include "conversion/TMPManager.h"
#include "foundation/NotificationCenter.h"

#include <QFile>
#include <QTemporaryFile>
#include <QUrl>

#include <cmath>
#include <thread>

namespace {

WPXPropertyList element(const char *action, double x = 0, double y = 0)
{
    return props(
        {{"libwpg:path-action", text(action)}, {"svg:x", inches(x)}, {"svg:y", inches(y)}});
}

const WPXPropertyList SolidRed = props({{"draw:fill", text("solid")},
                                        {"draw:fill-color", text("#ff0000")},
                                        {"draw:stroke", text("none")},
                                        {"svg:stroke-width", inches(0)}});

} // namespace

TEST_F(GeneratorTest, ClosedSquarePathIsWrittenExactly)
{
    begin();
    generator.setStyle(SolidRed, WPXPropertyListVector());
    generator.drawPath(
        vector({element("M", 1, 1), element("L", 2, 1), element("L", 2, 2), element("Z")}));
    EXPECT_EQ(body(), "<svg:path d=\" \nM72,72\nL144,72\nL144,144\nZ\" \n"
                      "style=\"stroke-width: 0; fill: #ff0000; \"/>\n");
}

TEST_F(GeneratorTest, CloseIsKeptOnlyAtTheEndOfALongEnoughPath)
{
    begin();
    generator.drawPath(vector({element("M"), element("L", 1), element("Z")}));
    generator.drawPath(vector({element("M"), element("L", 1), element("L", 1, 1), element("Z"),
                               element("M", 2, 2), element("L", 3, 3)}));
    generator.drawPath(vector({props({{"svg:x", inches(1)}})}));
    EXPECT_EQ(body(), "<svg:path d=\" \nM0,0\nL72,0\" \nstyle=\"\"/>\n"
                      "<svg:path d=\" \nM0,0\nL72,0\nL72,72\nM144,144\nL216,216\" \nstyle=\"\"/>\n"
                      "<svg:path d=\" \" \nstyle=\"\"/>\n");
}

TEST_F(GeneratorTest, CurvesAndArcs)
{
    begin();
    WPXPropertyList curve = element("C", 3, 3);
    curve.insert("svg:x1", 1.0);
    curve.insert("svg:y1", 1.0);
    curve.insert("svg:x2", 2.0);
    curve.insert("svg:y2", 2.0);
    WPXPropertyList quad = element("Q", 2, 0);
    quad.insert("svg:x1", 1.0);
    quad.insert("svg:y1", 0.5);
    WPXPropertyList arc = element("A", 1, 1);
    arc.insert("svg:rx", 0.5);
    arc.insert("svg:ry", 0.25);
    WPXPropertyList flaggedArc = arc;
    flaggedArc.insert("libwpg:rotate", real(30));
    flaggedArc.insert("libwpg:large-arc", false);
    flaggedArc.insert("libwpg:sweep", WPXProperty::integer(0));
    generator.drawPath(vector({element("M"), curve, quad, arc, flaggedArc}));
    EXPECT_EQ(body(), "<svg:path d=\" \nM0,0\nC72,72 144,144 216,216\nQ72,36 144,0"
                      "\nA36,18 0 1,1 72,72\nA36,18 30 0,0 72,72\" \nstyle=\"\"/>\n");
}

// The large-arc flag comes before the sweep flag; arcs with unequal flags
// show a swap.
TEST_F(GeneratorTest, ArcFlagsKeepTheirOrder)
{
    begin();
    WPXPropertyList largeOnly = element("A", 1, 0);
    largeOnly.insert("svg:rx", 0.5);
    largeOnly.insert("svg:ry", 0.5);
    WPXPropertyList sweepOnly = largeOnly;
    largeOnly.insert("libwpg:large-arc", true);
    largeOnly.insert("libwpg:sweep", false);
    sweepOnly.insert("libwpg:large-arc", false);
    sweepOnly.insert("libwpg:sweep", true);
    generator.drawPath(vector({element("M"), largeOnly, sweepOnly}));
    EXPECT_EQ(body(), "<svg:path d=\" \nM0,0\nA36,36 0 1,0 72,0\nA36,36 0 0,1 72,0\" \n"
                      "style=\"\"/>\n");
}

TEST_F(GeneratorTest, RectangleRadiiOnlyFromAnInchUp)
{
    begin();
    const auto rect = [](double radius) {
        return props({{"svg:x", inches(1)},
                      {"svg:y", inches(2)},
                      {"svg:width", inches(3)},
                      {"svg:height", inches(4)},
                      {"svg:rx", inches(radius)},
                      {"svg:ry", inches(radius)}});
    };
    generator.drawRectangle(rect(0.5));
    generator.drawRectangle(rect(1.5));
    EXPECT_EQ(body(), "<svg:rect x=\"72\" y=\"144\" width=\"216\" height=\"288\" style=\"\"/>\n"
                      "<svg:rect x=\"72\" y=\"144\" width=\"216\" height=\"288\" rx=\"108\" "
                      "ry=\"108\" style=\"\"/>\n");
}

TEST_F(GeneratorTest, RotatedEllipseTurnsAboutItsCentre)
{
    begin();
    generator.drawEllipse(props({{"svg:cx", inches(1)},
                                 {"svg:cy", inches(2)},
                                 {"svg:rx", inches(0.5)},
                                 {"svg:ry", inches(0.25)},
                                 {"libwpg:rotate", real(30)}}));
    generator.drawEllipse(props({{"svg:cx", inches(1)},
                                 {"svg:cy", inches(2)},
                                 {"svg:rx", inches(0.5)},
                                 {"svg:ry", inches(0.25)},
                                 {"libwpg:rotate", real(0)}}));
    EXPECT_EQ(body(), "<svg:ellipse cx=\"72\" cy=\"144\" rx=\"36\" ry=\"18\" style=\"\" "
                      "transform=\" translate(72, 144) rotate(-30) translate(-72, -144)\" />\n"
                      "<svg:ellipse cx=\"72\" cy=\"144\" rx=\"36\" ry=\"18\" style=\"\"/>\n");
}

TEST_F(GeneratorTest, VertexListsByCount)
{
    begin();
    const WPXPropertyList a = props({{"svg:x", inches(0)}, {"svg:y", inches(0)}});
    const WPXPropertyList b = props({{"svg:x", inches(1)}, {"svg:y", inches(2)}});
    generator.drawPolygon(vector({a}));
    generator.drawPolygon(vector({a, b}));
    generator.drawPolyline(vector({a, b, a}));
    EXPECT_EQ(body(), "<svg:line x1=\"0\"  y1=\"0\" x2=\"72\"  y2=\"144\"\nstyle=\"\"/>\n"
                      "<svg:polyline points=\"0 0, 72 144, 0 0\"\nstyle=\"\"/>\n");
}

// A frame taller than its glyphs is a text box: the first baseline hangs an
// ascent (0.9 font sizes) below its top edge.
TEST_F(GeneratorTest, TextInATextBoxHangsFromItsTop)
{
    begin();
    generator.startTextObject(props({{"svg:x", inches(1)},
                                     {"svg:y", inches(2)},
                                     {"svg:width", inches(3)},
                                     {"svg:height", inches(0.25)}}),
                              WPXPropertyListVector());
    generator.startTextLine(WPXPropertyList());
    generator.startTextSpan(props({{"style:font-name", text("Arial")},
                                   {"fo:font-weight", text("bold")},
                                   {"fo:font-size", WPXProperty::real(12, Unit::Point)},
                                   {"fo:color", text("#1b1918")},
                                   {"svg:fill-opacity", fraction(0.5)}}));
    generator.insertText("a<b & 'c'");
    generator.endTextSpan();
    generator.endTextLine();
    generator.endTextObject();
    EXPECT_EQ(body(), "<svg:text x=\"72\" y=\"154.8\">\n"
                      "<svg:tspan font-family=\"'Arial', sans-serif\" font-weight=\"bold\" "
                      "font-size=\"12\" "
                      "fill=\"#1b1918\" fill-opacity=\"0.5\" >\n"
                      "a&lt;b &amp; &apos;c&apos;\n"
                      "</svg:tspan>\n"
                      "</svg:text>\n");
}

// A frame no taller than its glyphs is their box: the baseline is its
// bottom edge, or a descender's depth (0.21 font sizes) above it, and the
// line is as wide as the glyphs were in the drawing.
TEST_F(GeneratorTest, TextInAGlyphBoxSitsOnItsBottom)
{
    begin();
    const auto label = [this](const char *words) {
        generator.startTextObject(props({{"svg:x", inches(1)},
                                         {"svg:y", inches(2)},
                                         {"svg:width", inches(2)},
                                         {"svg:height", inches(0.2)}}),
                                  WPXPropertyListVector());
        generator.startTextLine(WPXPropertyList());
        generator.startTextSpan(props({{"fo:font-size", WPXProperty::real(20, Unit::Point)}}));
        generator.insertText(words);
        generator.endTextSpan();
        generator.endTextLine();
        generator.endTextObject();
    };
    label("27");
    label("Sample");
    // The line is fitted to the glyphs' width, half the frame's.
    const std::string fitted = "textLength=\"72\" lengthAdjust=\"spacingAndGlyphs\">\n";
    EXPECT_EQ(body(), "<svg:text x=\"72\" y=\"158.4\" " + fitted +
                          "<svg:tspan font-size=\"20\" >\n27\n</svg:tspan>\n</svg:text>\n"
                          "<svg:text x=\"72\" y=\"154.2\" " +
                          fitted +
                          "<svg:tspan font-size=\"20\" >\nSample\n</svg:tspan>\n</svg:text>\n");
}

TEST_F(GeneratorTest, RotatedTextTurnsAboutItsOrigin)
{
    begin();
    generator.startTextObject(
        props({{"svg:x", inches(1)}, {"svg:y", inches(2)}, {"libwpg:rotate", real(90)}}),
        WPXPropertyListVector());
    generator.endTextObject();
    EXPECT_EQ(body(), "<svg:text x=\"72\" y=\"144\" transform=\"translate(72, 144) rotate(-90) "
                      "translate(-72, -144)\">\n</svg:text>\n");
}

namespace {

// The keys by which libcdr tells where a text's own coordinates land on the
// page: lengths in inches, the rest plain factors.
WPXPropertyList placedBy(WPXPropertyList frame, double a, double b, double c, double d, double e,
                         double f)
{
    frame.insert("libcdr:transform-a", real(a));
    frame.insert("libcdr:transform-b", real(b));
    frame.insert("libcdr:transform-c", real(c));
    frame.insert("libcdr:transform-d", real(d));
    frame.insert("libcdr:transform-e", inches(e));
    frame.insert("libcdr:transform-f", inches(f));
    return frame;
}

} // namespace

// Artistic text turned to run upwards from (1, 2) inches: laid out in its own
// coordinates, where its baseline starts at the origin, and fitted to the
// width of its glyphs there (36 points, the page box's height).
TEST_F(GeneratorTest, TurnedTextIsDrawnInItsOwnCoordinates)
{
    begin();
    generator.startTextObject(placedBy(props({{"svg:x", inches(0.8)},
                                              {"svg:y", inches(1.5)},
                                              {"svg:width", inches(0.4)},
                                              {"svg:height", inches(0.5)}}),
                                       0, -1, 1, 0, 1, 2),
                              WPXPropertyListVector());
    generator.startTextLine(WPXPropertyList());
    generator.startTextSpan(props({{"fo:font-size", WPXProperty::real(20, Unit::Point)}}));
    generator.insertText("27");
    generator.endTextSpan();
    generator.endTextLine();
    generator.endTextObject();
    EXPECT_EQ(body(),
              "<svg:text x=\"0\" y=\"0\" textLength=\"36\" lengthAdjust=\"spacingAndGlyphs\" "
              "transform=\"matrix(0 -1 1 0 72 144)\">\n"
              "<svg:tspan font-size=\"20\" >\n27\n</svg:tspan>\n</svg:text>\n");
}

// Near a diagonal the page box tells nothing of the glyphs: the lines hang
// from the origin at the usual spacing.
TEST_F(GeneratorTest, TextTurnedNearADiagonalHangsFromItsOrigin)
{
    begin();
    const double r = std::sqrt(0.5);
    generator.startTextObject(placedBy(props({{"svg:x", inches(1)},
                                              {"svg:y", inches(1)},
                                              {"svg:width", inches(1)},
                                              {"svg:height", inches(0.5)}}),
                                       r, r, -r, r, 1, 2),
                              WPXPropertyListVector());
    for (const char *words : {"one", "two"}) {
        generator.startTextLine(WPXPropertyList());
        generator.startTextSpan(props({{"fo:font-size", WPXProperty::real(10, Unit::Point)}}));
        generator.insertText(words);
        generator.endTextSpan();
        generator.endTextLine();
    }
    generator.endTextObject();
    EXPECT_EQ(body(), "<svg:text x=\"0\" y=\"0\" "
                      "transform=\"matrix(0.707107 0.707107 -0.707107 0.707107 72 144)\">\n"
                      "<svg:tspan font-size=\"10\" >\none\n</svg:tspan>\n"
                      "<svg:tspan x=\"0\" dy=\"11.5\" font-size=\"10\" >\ntwo\n</svg:tspan>\n"
                      "</svg:text>\n");
}

// Stretching a paragraph text's box widens the box, not its glyphs: a box
// 1.5 inches wide stretched to 3 is drawn as a 3-inch box, as if it had not
// been stretched, and turned, it is turned but not stretched.
TEST_F(GeneratorTest, ParagraphTextTurnsButItsGlyphsDoNotStretch)
{
    const auto paragraph = [this](double a, double b, double c, double d) {
        generator.startTextObject(placedBy(props({{"svg:x", inches(1)},
                                                  {"svg:y", inches(2)},
                                                  {"svg:width", inches(3)},
                                                  {"svg:height", inches(0.25)},
                                                  {"libcdr:box-width", inches(1.5)},
                                                  {"libcdr:box-height", inches(0.25)}}),
                                           a, b, c, d, 1, 2),
                                  WPXPropertyListVector());
        generator.startTextLine(WPXPropertyList());
        generator.startTextSpan(props({{"fo:font-size", WPXProperty::real(12, Unit::Point)}}));
        generator.insertText("words");
        generator.endTextSpan();
        generator.endTextLine();
        generator.endTextObject();
    };
    begin();
    paragraph(2, 0, 0, 1);
    paragraph(0, -2, 1, 0);
    const std::string span = "<svg:tspan font-size=\"12\" >\nwords\n</svg:tspan>\n</svg:text>\n";
    EXPECT_EQ(body(), "<svg:text x=\"72\" y=\"154.8\">\n" + span +
                          "<svg:text x=\"0\" y=\"10.8\" transform=\"matrix(0 -1 1 0 72 144)\">\n" +
                          span);
}

// A line that starts with a span without characters, as a line break leaves
// one, is placed by its first span with characters: a position on an empty
// span would be lost.
TEST_F(GeneratorTest, LinesAfterABreakKeepTheirPlace)
{
    begin();
    generator.startTextObject(props({{"svg:x", inches(1)}, {"svg:y", inches(2)}}),
                              WPXPropertyListVector());
    generator.startTextLine(WPXPropertyList());
    generator.startTextSpan(props({{"fo:font-size", WPXProperty::real(10, Unit::Point)}}));
    generator.insertText("one");
    generator.endTextSpan();
    generator.endTextLine();
    generator.startTextLine(WPXPropertyList());
    generator.startTextSpan(props({{"fo:font-size", WPXProperty::real(10, Unit::Point)}}));
    generator.endTextSpan();
    generator.startTextSpan(props({{"fo:font-size", WPXProperty::real(10, Unit::Point)}}));
    generator.insertText("two");
    generator.endTextSpan();
    generator.endTextLine();
    generator.endTextObject();
    EXPECT_EQ(body(), "<svg:text x=\"72\" y=\"153\">\n"
                      "<svg:tspan font-size=\"10\" >\none\n</svg:tspan>\n"
                      "<svg:tspan font-size=\"10\" >\n</svg:tspan>\n"
                      "<svg:tspan x=\"72\" dy=\"11.5\" font-size=\"10\" >\ntwo\n</svg:tspan>\n"
                      "</svg:text>\n");
}

// Lines of a text box are 1.15 font sizes of the lower line apart; an empty
// line takes the size of the next line.
TEST_F(GeneratorTest, LaterLinesStartBelowThePreviousOne)
{
    begin();
    generator.startTextObject(props({{"svg:x", inches(1)}, {"svg:y", inches(2)}}),
                              WPXPropertyListVector());
    const auto line = [this](const char *words, double size) {
        generator.startTextLine(WPXPropertyList());
        generator.startTextSpan(props({{"fo:font-size", WPXProperty::real(size, Unit::Point)}}));
        generator.insertText(words);
        generator.endTextSpan();
        generator.startTextSpan(WPXPropertyList());
        generator.insertText("!");
        generator.endTextSpan();
        generator.endTextLine();
    };
    line("one", 10);
    line("two", 20);
    generator.startTextLine(WPXPropertyList()); // an empty line still takes room
    generator.endTextLine();
    line("four", 10);
    generator.endTextObject();
    EXPECT_EQ(body(), "<svg:text x=\"72\" y=\"153\">\n"
                      "<svg:tspan font-size=\"10\" >\none\n</svg:tspan>\n"
                      "<svg:tspan >\n!\n</svg:tspan>\n"
                      "<svg:tspan x=\"72\" dy=\"23\" font-size=\"20\" >\ntwo\n</svg:tspan>\n"
                      "<svg:tspan >\n!\n</svg:tspan>\n"
                      "<svg:tspan x=\"72\" dy=\"23\" font-size=\"10\" >\nfour\n</svg:tspan>\n"
                      "<svg:tspan >\n!\n</svg:tspan>\n"
                      "</svg:text>\n");
}

// Centred and right-aligned lines are anchored at the middle and the right
// edge of the frame.
TEST_F(GeneratorTest, AlignedLinesAreAnchoredAtTheirEdge)
{
    begin();
    generator.startTextObject(props({{"svg:x", inches(1)},
                                     {"svg:y", inches(2)},
                                     {"svg:width", inches(2)},
                                     {"svg:height", inches(0.5)}}),
                              WPXPropertyListVector());
    for (const char *align : {"center", "end", "center"}) {
        generator.startTextLine(props({{"fo:text-align", text(align)}}));
        generator.startTextSpan(props({{"fo:font-size", WPXProperty::real(10, Unit::Point)}}));
        generator.insertText(align);
        generator.endTextSpan();
        generator.endTextLine();
    }
    generator.endTextObject();
    EXPECT_EQ(body(), "<svg:text x=\"144\" y=\"153\" text-anchor=\"middle\">\n"
                      "<svg:tspan font-size=\"10\" >\ncenter\n</svg:tspan>\n"
                      "<svg:tspan x=\"216\" dy=\"11.5\" text-anchor=\"end\" font-size=\"10\" "
                      ">\nend\n</svg:tspan>\n"
                      "<svg:tspan x=\"144\" dy=\"11.5\" font-size=\"10\" >\ncenter\n</svg:tspan>\n"
                      "</svg:text>\n");
}

// Paragraphs of a text box with room for more lines than they are were
// wrapped by CorelDRAW at the box's width: they go into the box as XHTML,
// which the web view wraps. The box grows by a twentieth, here on both sides
// of its centred text.
TEST_F(GeneratorTest, ParagraphsOfARoomyTextBoxWrap)
{
    begin();
    generator.startTextObject(props({{"svg:x", inches(1)},
                                     {"svg:y", inches(2)},
                                     {"svg:width", inches(2)},
                                     {"svg:height", inches(1)}}),
                              WPXPropertyListVector());
    generator.startTextLine(props({{"fo:text-align", text("center")}}));
    generator.startTextSpan(props({{"style:font-name", text("Calibri")},
                                   {"fo:font-size", WPXProperty::real(10, Unit::Point)},
                                   {"fo:color", text("#ececed")}}));
    generator.insertText("a long  line & more");
    generator.endTextSpan();
    generator.endTextLine();
    generator.startTextLine(WPXPropertyList());
    generator.endTextLine();
    generator.endTextObject();
    EXPECT_EQ(body(),
              "<svg:foreignObject x=\"68.4\" y=\"144\" width=\"151.2\" height=\"72\">\n"
              "<div xmlns=\"http://www.w3.org/1999/xhtml\" style=\"line-height: 1.15; \">\n"
              "<div style=\"white-space: pre-wrap; text-align: center; font-size: 10px; \">"
              "<span style=\"font-family: 'Calibri', sans-serif; color: #ececed; font-size: 10px; "
              "\">a long  line &amp; more</span></div>\n"
              "<div style=\"white-space: pre-wrap; font-size: 10px; \"><br/></div>\n"
              "</div>\n</svg:foreignObject>\n");
}

// A page that ends inside a text object keeps the text.
TEST_F(GeneratorTest, TextLeftOpenEndsWithItsPage)
{
    begin();
    generator.startTextObject(props({{"svg:x", inches(1)}, {"svg:y", inches(2)}}),
                              WPXPropertyListVector());
    generator.startTextLine(WPXPropertyList());
    generator.startTextSpan(WPXPropertyList());
    generator.insertText("kept");
    EXPECT_EQ(body(), "<svg:text x=\"72\" y=\"154.8\">\n<svg:tspan >\nkept\n</svg:tspan>\n"
                      "</svg:text>\n");
}

// Text that comes outside any span is written as it stands.
// Outlined glyphs, one outline drawn over the fill and one behind it, in
// SVG text and in wrapped text.
TEST_F(GeneratorTest, OutlinedTextKeepsItsOutline)
{
    const WPXPropertyList outlined = props({{"fo:color", text("#ffffff")},
                                            {"svg:stroke-color", text("#000000")},
                                            {"svg:stroke-width", inches(0.01)}});
    WPXPropertyList behind = outlined;
    behind.insert("svg:paint-order", text("stroke"));
    begin();
    generator.startTextObject(props({{"svg:x", inches(1)}, {"svg:y", inches(2)}}),
                              WPXPropertyListVector());
    for (const WPXPropertyList &span : {outlined, behind}) {
        generator.startTextSpan(span);
        generator.insertText("5");
        generator.endTextSpan();
    }
    generator.endTextObject();
    generator.startTextObject(props({{"svg:x", inches(1)},
                                     {"svg:y", inches(2)},
                                     {"svg:width", inches(2)},
                                     {"svg:height", inches(1)}}),
                              WPXPropertyListVector());
    generator.startTextLine(WPXPropertyList());
    generator.startTextSpan(behind);
    generator.insertText("wrapped");
    generator.endTextSpan();
    generator.endTextLine();
    generator.endTextObject();
    const std::string page = body();
    EXPECT_NE(
        page.find("<svg:text x=\"72\" y=\"154.8\">\n"
                  "<svg:tspan fill=\"#ffffff\" stroke=\"#000000\" stroke-width=\"0.72\" >\n5\n"
                  "</svg:tspan>\n"
                  "<svg:tspan fill=\"#ffffff\" stroke=\"#000000\" stroke-width=\"0.72\" "
                  "paint-order=\"stroke\" >\n5\n</svg:tspan>\n"),
        std::string::npos)
        << page;
    EXPECT_NE(page.find("<span style=\"color: #ffffff; -webkit-text-stroke: 0.72px #000000; "
                        "paint-order: stroke; \">wrapped</span>"),
              std::string::npos)
        << page;
}

TEST_F(GeneratorTest, TextOutsideSpansIsKept)
{
    begin();
    generator.insertText("loose");
    generator.startTextObject(props({{"svg:x", inches(1)}, {"svg:y", inches(2)}}),
                              WPXPropertyListVector());
    generator.insertText("a&b");
    generator.endTextObject();
    EXPECT_EQ(body(), "loose\n<svg:text x=\"72\" y=\"154.8\">\na&amp;b\n</svg:text>\n");
}

class ImageTest : public GeneratorTest
{
protected:
    void SetUp() override
    {
        NotificationCenter::defaultCenter().addObserver(
            TMPManager::DidSaveFileNotification, nullptr, this, [this](const Notification &n) {
                EXPECT_EQ(n.object, nullptr);
                EXPECT_EQ(std::this_thread::get_id(), testThread);
                const QUrl url = n.userInfo.value(TMPManager::FilePathKey).toUrl();
                // The file is complete by the time it is announced.
                EXPECT_TRUE(QFile::exists(url.toLocalFile()));
                announced.append(url);
            });
    }
    void TearDown() override
    {
        NotificationCenter::defaultCenter().removeObserver(this);
        for (const QUrl &url : std::as_const(announced))
            QFile::remove(url.toLocalFile());
    }

    std::thread::id testThread = std::this_thread::get_id();
    QList<QUrl> announced;
};

TEST_F(ImageTest, EachImageBecomesAnAnnouncedTemporaryFile)
{
    const unsigned char first[] = {'B', 'M', 1, 2, 3};
    const unsigned char second[] = {'B', 'M', 9};
    const WPXPropertyList placed = props({{"libwpg:mime-type", text("image/bmp")},
                                          {"svg:x", inches(1)},
                                          {"svg:y", inches(1)},
                                          {"svg:width", inches(2)},
                                          {"svg:height", inches(1)}});
    const WPXPropertyList unplaced = props({{"libwpg:mime-type", text("image/bmp")},
                                            {"svg:width", inches(2)},
                                            {"svg:height", inches(1)}});
    begin();
    generator.drawGraphicObject(placed, WPXBinaryData(first, sizeof first));
    generator.drawGraphicObject(unplaced, WPXBinaryData(second, sizeof second));
    const std::string page = body();

    ASSERT_EQ(announced.size(), 2);
    EXPECT_NE(announced[0], announced[1]);
    QFile firstFile(announced[0].toLocalFile());
    ASSERT_TRUE(firstFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(firstFile.readAll(), QByteArray("BM\1\2\3", 5));
    EXPECT_TRUE(announced[0].fileName().endsWith(".bmp"));
    EXPECT_EQ(announced[0].fileName().size(), 40);
    EXPECT_TRUE(TMPManager::instance().savedPaths().contains(announced[1].toLocalFile()));

    EXPECT_EQ(page, "<svg:image x=\"72\" y=\"72\" width=\"144\" height=\"72\" xlink:href=\"" +
                        announced[0].toString().toStdString() + "\" />\n" +
                        "<svg:image width=\"144\" height=\"72\" xlink:href=\"" +
                        announced[1].toString().toStdString() + "\" />\n");
}

TEST_F(ImageTest, ImageWithoutTypeWritesNothing)
{
    const unsigned char bytes[] = {'B', 'M'};
    begin();
    generator.drawGraphicObject(props({{"libwpg:mime-type", text("")}}),
                                WPXBinaryData(bytes, sizeof bytes));
    generator.drawGraphicObject(WPXPropertyList(), WPXBinaryData(bytes, sizeof bytes));
    EXPECT_EQ(body(), "");
    EXPECT_TRUE(announced.isEmpty());
}

TEST_F(ImageTest, ImageThatCannotBeSavedIsLeftOut)
{
    QTemporaryFile notADirectory;
    ASSERT_TRUE(notADirectory.open());
    const QByteArray previous = qgetenv("TMPDIR");
    const unsigned char bytes[] = {'B', 'M'};
    begin();
    // A missing temporary directory, and one that is really a file.
    for (const QString &directory :
         {QStringLiteral("/nonexistent/quillmoor-test"), notADirectory.fileName()}) {
        qputenv("TMPDIR", directory.toUtf8());
        generator.drawGraphicObject(props({{"libwpg:mime-type", text("image/bmp")},
                                           {"svg:width", inches(1)},
                                           {"svg:height", inches(1)}}),
                                    WPXBinaryData(bytes, sizeof bytes));
    }
    generator.startLayer(WPXPropertyList());
    generator.endLayer();
    if (previous.isEmpty())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", previous);
    // The page goes on normally after the failed images.
    EXPECT_EQ(body(), "<svg:g>\n</svg:g>\n");
    EXPECT_TRUE(announced.isEmpty());
}

namespace {

// The header of a BMP file of the given size, enough to tell its proportions.
WPXBinaryData bitmapOfSize(int width, int height)
{
    std::vector<unsigned char> bytes(54, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    bytes[14] = 40;
    for (int i = 0; i < 4; ++i) {
        bytes[18 + i] = static_cast<unsigned char>(unsigned(width) >> (8 * i));
        bytes[22 + i] = static_cast<unsigned char>(unsigned(height) >> (8 * i));
    }
    return WPXBinaryData(bytes.data(), bytes.size());
}

WPXPropertyList framedImage(std::initializer_list<std::pair<const char *, WPXProperty>> extra)
{
    WPXPropertyList list = props({{"libwpg:mime-type", text("image/bmp")},
                                  {"svg:x", inches(1)},
                                  {"svg:y", inches(1)},
                                  {"svg:width", inches(2)},
                                  {"svg:height", inches(1)}});
    for (const auto &[key, value] : extra)
        list.insert(key, value);
    return list;
}

} // namespace

// A bitmap fills its frame, mirrored and turned about the frame's centre as
// the drawing says; a plain one is written as it always was.
TEST_F(ImageTest, ImagesFillTheirFrameTheRightWayUp)
{
    begin();
    generator.drawGraphicObject(framedImage({}), bitmapOfSize(200, 100));
    generator.drawGraphicObject(framedImage({}), bitmapOfSize(100, -100)); // stored top-down
    generator.drawGraphicObject(framedImage({{"draw:mirror-vertical", WPXProperty::boolean(true)}}),
                                bitmapOfSize(200, 100));
    generator.drawGraphicObject(framedImage({{"draw:mirror-horizontal", WPXProperty::boolean(true)},
                                             {"libwpg:rotate", real(90)}}),
                                bitmapOfSize(200, 100));
    const std::string page = body();
    ASSERT_EQ(announced.size(), 4);
    const auto href = [this](int i) {
        return "xlink:href=\"" + announced[i].toString().toStdString() + "\" />\n";
    };
    const std::string frame = "<svg:image x=\"72\" y=\"72\" width=\"144\" height=\"72\" ";
    EXPECT_EQ(page, frame + href(0) + frame + "preserveAspectRatio=\"none\" " + href(1) + frame +
                        "transform=\"translate(144, 108) rotate(0) scale(1, -1) translate(-144, "
                        "-108)\" " +
                        href(2) + frame +
                        "transform=\"translate(144, 108) rotate(-90) scale(-1, 1) "
                        "translate(-144, -108)\" " +
                        href(3));
}

// A font the viewer lacks falls back to a face of its kind; names are quoted
// and escaped, so that no font name can break the page.
TEST_F(GeneratorTest, FontsFallBackToTheirKind)
{
    begin();
    generator.startTextObject(WPXPropertyList(), WPXPropertyListVector());
    for (const char *font :
         {"Century Gothic", "Times New Roman", "Courier New", "Sans & \"Serif's\""}) {
        generator.startTextSpan(props({{"style:font-name", text(font)}}));
        generator.endTextSpan();
    }
    generator.endTextObject();
    EXPECT_EQ(body(), "<svg:text >\n"
                      "<svg:tspan font-family=\"'Century Gothic', 'URW Gothic', sans-serif\" >\n"
                      "</svg:tspan>\n"
                      "<svg:tspan font-family=\"'Times New Roman', serif\" >\n</svg:tspan>\n"
                      "<svg:tspan font-family=\"'Courier New', monospace\" >\n</svg:tspan>\n"
                      "<svg:tspan font-family=\"'Sans &amp; &quot;Serif\\'s&quot;', sans-serif\" "
                      ">\n</svg:tspan>\n"
                      "</svg:text>\n");
}
