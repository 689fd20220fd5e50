#include "TestDrawings.h"

#include "conversion/CDRSVGGenerator.h"
#include "conversion/RevengeDrawingAdapter.h"
#include "conversion/WPGPaintInterface.h"

#include <libcdr/libcdr.h>
#include <librevenge-stream/librevenge-stream.h>

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

// Checks what the adapter hands on: the calling order the generator relies
// on, and keys in the contract's names and units.
class CheckingPainter : public WPGPaintInterface
{
public:
    int pages = 0, paths = 0, images = 0, texts = 0, spans = 0;
    int depth = 0;
    bool inPage = false, inText = false;
    std::set<std::string> pathActions;
    // Each arc's large-arc and sweep flags, as "1,0" and the like.
    std::set<std::string> arcFlags;
    std::set<std::string> styleKeys;
    std::string characters;
    double widestStroke = 0;
    int solidFills = 0;
    std::map<std::string, int> textColours;

    void startGraphics(const WPXPropertyList &list) override
    {
        EXPECT_FALSE(inPage);
        inPage = true;
        ++pages;
        ASSERT_NE(list["svg:width"], nullptr);
        EXPECT_EQ(list["svg:width"]->unit(), WPXProperty::Unit::Inch);
    }
    void endGraphics() override
    {
        EXPECT_TRUE(inPage);
        EXPECT_EQ(depth, 0);
        inPage = false;
    }
    void setStyle(const WPXPropertyList &list, const WPXPropertyListVector &) override
    {
        EXPECT_TRUE(inPage);
        for (const auto &entry : list)
            styleKeys.insert(entry.first);
        if (const WPXProperty *width = list["svg:stroke-width"])
            widestStroke = std::max(widestStroke, width->getDouble());
        if (list["draw:fill"] && list["draw:fill"]->getStr() == "solid")
            ++solidFills;
    }
    void startLayer(const WPXPropertyList &) override { ++depth; }
    void endLayer() override
    {
        --depth;
        EXPECT_GE(depth, 0);
    }
    void startEmbeddedGraphics(const WPXPropertyList &) override {}
    void endEmbeddedGraphics() override {}
    void drawRectangle(const WPXPropertyList &) override {}
    void drawEllipse(const WPXPropertyList &) override {}
    void drawPolygon(const WPXPropertyListVector &) override {}
    void drawPolyline(const WPXPropertyListVector &) override {}
    void drawPath(const WPXPropertyListVector &path) override
    {
        EXPECT_TRUE(inPage);
        ++paths;
        for (const WPXPropertyList &element : path) {
            ASSERT_NE(element["libwpg:path-action"], nullptr);
            pathActions.insert(element["libwpg:path-action"]->getStr());
            if (element["libwpg:path-action"]->getStr() == "A") {
                const WPXProperty *largeArc = element["libwpg:large-arc"];
                const WPXProperty *sweep = element["libwpg:sweep"];
                ASSERT_NE(largeArc, nullptr);
                ASSERT_NE(sweep, nullptr);
                EXPECT_EQ(largeArc->kind(), WPXProperty::Kind::Bool);
                EXPECT_EQ(sweep->kind(), WPXProperty::Kind::Bool);
                arcFlags.insert(std::to_string(largeArc->getInt()) + "," +
                                std::to_string(sweep->getInt()));
            }
            if (const WPXProperty *x = element["svg:x"]) {
                EXPECT_EQ(x->unit(), WPXProperty::Unit::Inch);
            }
        }
    }
    void drawGraphicObject(const WPXPropertyList &list, const WPXBinaryData &data) override
    {
        ++images;
        ASSERT_NE(list["libwpg:mime-type"], nullptr);
        EXPECT_EQ(list["libwpg:mime-type"]->getStr(), "image/bmp");
        EXPECT_EQ(list["office:binary-data"], nullptr);
        ASSERT_GT(data.size(), 2u);
        EXPECT_EQ(data.getDataBuffer()[0], 'B');
        EXPECT_EQ(data.getDataBuffer()[1], 'M');
    }
    void startTextObject(const WPXPropertyList &list, const WPXPropertyListVector &) override
    {
        ++texts;
        inText = true;
        EXPECT_NE(list["svg:x"], nullptr);
        // Where the text's own coordinates land: plain factors and inches.
        for (const char *key : {"libcdr:transform-a", "libcdr:transform-d"}) {
            ASSERT_NE(list[key], nullptr) << key;
            EXPECT_EQ(list[key]->kind(), WPXProperty::Kind::Real) << key;
            EXPECT_EQ(list[key]->unit(), WPXProperty::Unit::Generic) << key;
        }
        ASSERT_NE(list["libcdr:transform-f"], nullptr);
        EXPECT_EQ(list["libcdr:transform-f"]->unit(), WPXProperty::Unit::Inch);
    }
    void endTextObject() override { inText = false; }
    void startTextLine(const WPXPropertyList &) override { EXPECT_TRUE(inText); }
    void endTextLine() override {}
    void startTextSpan(const WPXPropertyList &list) override
    {
        EXPECT_TRUE(inText);
        ++spans;
        if (const WPXProperty *size = list["fo:font-size"]) {
            EXPECT_EQ(size->unit(), WPXProperty::Unit::Point);
        }
        if (const WPXProperty *colour = list["fo:color"])
            ++textColours[colour->getStr()];
    }
    void endTextSpan() override {}
    void insertText(const WPXString &text) override { characters += text.str(); }
};

CheckingPainter parse(const QString &path)
{
    CheckingPainter painter;
    RevengeDrawingAdapter adapter(painter);
    librevenge::RVNGFileStream input(path.toUtf8().constData());
    EXPECT_TRUE(libcdr::CDRDocument::parse(&input, &adapter)) << path.toStdString();
    EXPECT_FALSE(painter.inPage);
    return painter;
}

} // namespace

// Property lists as librevenge builds them: a boolean reports no unit, just
// as text does, and must still read as a boolean.
TEST(RevengeDrawingAdapterTest, ValuesKeepTheirTypeAndUnit)
{
    librevenge::RVNGPropertyList list;
    list.insert("librevenge:large-arc", true);
    list.insert("librevenge:sweep", false);
    list.insert("svg:x", 1.5, librevenge::RVNG_INCH);
    list.insert("fo:font-size", 12.5, librevenge::RVNG_POINT);
    list.insert("draw:opacity", 0.25, librevenge::RVNG_PERCENT);
    list.insert("draw:angle", 90);
    list.insert("librevenge:rotate", 30.5, librevenge::RVNG_GENERIC);
    list.insert("draw:fill-color", "#ff0000");
    list.insert("style:font-name", "false friends");
    const WPXPropertyList converted = RevengeDrawingAdapter::convert(list);

    ASSERT_EQ(converted.size(), 9u);
    const auto check = [&](const char *key, WPXProperty::Kind kind, int integer,
                           const std::string &text) {
        const WPXProperty *property = converted[key];
        ASSERT_NE(property, nullptr) << key;
        EXPECT_EQ(property->kind(), kind) << key;
        EXPECT_EQ(property->getInt(), integer) << key;
        EXPECT_EQ(property->getStr(), text) << key;
    };
    check("libwpg:large-arc", WPXProperty::Kind::Bool, 1, "true");
    check("libwpg:sweep", WPXProperty::Kind::Bool, 0, "false");
    check("svg:x", WPXProperty::Kind::Real, 1, "1.5000in");
    check("fo:font-size", WPXProperty::Kind::Real, 12, "12.5000pt");
    check("draw:opacity", WPXProperty::Kind::Real, 0, "25.0000%");
    check("draw:angle", WPXProperty::Kind::Int, 90, "90");
    check("libwpg:rotate", WPXProperty::Kind::Real, 30, "30.5000");
    check("draw:fill-color", WPXProperty::Kind::String, 0, "#ff0000");
    check("style:font-name", WPXProperty::Kind::String, 0, "false friends");
    EXPECT_DOUBLE_EQ(converted["svg:x"]->getDouble(), 1.5);
    EXPECT_DOUBLE_EQ(converted["draw:opacity"]->getDouble(), 0.25);
}

// An arc as libcdr hands it over reaches the page with its own flags.
TEST(RevengeDrawingAdapterTest, ArcFlagsReachThePage)
{
    CDRStringVector pages;
    CDRSVGGenerator generator(pages);
    RevengeDrawingAdapter adapter(generator);
    librevenge::RVNGPropertyList move, arc, path;
    move.insert("librevenge:path-action", "M");
    move.insert("svg:x", 0.0);
    move.insert("svg:y", 0.0);
    arc.insert("librevenge:path-action", "A");
    arc.insert("svg:rx", 0.5);
    arc.insert("svg:ry", 0.5);
    arc.insert("librevenge:rotate", 0.0, librevenge::RVNG_GENERIC);
    arc.insert("librevenge:large-arc", true);
    arc.insert("librevenge:sweep", false);
    arc.insert("svg:x", 1.0);
    arc.insert("svg:y", 0.0);
    librevenge::RVNGPropertyListVector elements;
    elements.append(move);
    elements.append(arc);
    path.insert("svg:d", elements);

    adapter.startPage(librevenge::RVNGPropertyList());
    adapter.drawPath(path);
    adapter.endPage();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_NE(pages[0].str().find("\nM0,0\nA36,36 0 1,0 72,0\" \n"), std::string::npos)
        << pages[0].str();
}

// A text object's transform as libcdr sends it reaches the page.
TEST(RevengeDrawingAdapterTest, TextTransformReachesThePage)
{
    CDRStringVector pages;
    CDRSVGGenerator generator(pages);
    RevengeDrawingAdapter adapter(generator);
    librevenge::RVNGPropertyList frame, span;
    frame.insert("svg:x", 0.9);
    frame.insert("svg:y", 1.5);
    frame.insert("svg:width", 0.4);
    frame.insert("svg:height", 0.5);
    frame.insert("libcdr:transform-a", 0.0, librevenge::RVNG_GENERIC);
    frame.insert("libcdr:transform-b", -1.0, librevenge::RVNG_GENERIC);
    frame.insert("libcdr:transform-c", 1.0, librevenge::RVNG_GENERIC);
    frame.insert("libcdr:transform-d", 0.0, librevenge::RVNG_GENERIC);
    frame.insert("libcdr:transform-e", 1.0);
    frame.insert("libcdr:transform-f", 2.0);
    span.insert("fo:font-size", 20.0, librevenge::RVNG_POINT);

    adapter.startPage(librevenge::RVNGPropertyList());
    adapter.startTextObject(frame);
    adapter.openParagraph(librevenge::RVNGPropertyList());
    adapter.openSpan(span);
    adapter.insertText("27");
    adapter.closeSpan();
    adapter.closeParagraph();
    adapter.endTextObject();
    adapter.endPage();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_NE(pages[0].str().find(" transform=\"matrix(0 -1 1 0 72 144)\">\n"), std::string::npos)
        << pages[0].str();
}

TEST(RevengeDrawingAdapterTest, PathsAndStylesArriveInContractTerms)
{
    const CheckingPainter painter = parse(drawing("cdr09_fas-dpd_ICON.cdr"));
    EXPECT_EQ(painter.pages, 1);
    EXPECT_EQ(painter.paths, 113);
    EXPECT_TRUE(painter.pathActions.count("M"));
    EXPECT_TRUE(painter.pathActions.count("C"));
    EXPECT_TRUE(painter.styleKeys.count("draw:fill"));
    for (const std::string &key : painter.styleKeys)
        EXPECT_NE(key.rfind("librevenge:", 0), 0u) << key;
    // Line widths are inches: no real drawing has lines an inch wide.
    EXPECT_GT(painter.widestStroke, 0);
    EXPECT_LT(painter.widestStroke, 1);
}

TEST(RevengeDrawingAdapterTest, ImagesArriveAsBitmapBytes)
{
    const CheckingPainter painter = parse(drawing("v23_2021_corolDrow_zakaz.cdr"));
    EXPECT_EQ(painter.images, 22);
    EXPECT_EQ(painter.texts, 6);
}

TEST(RevengeDrawingAdapterTest, TextKeepsEveryCharacterInSpans)
{
    const CheckingPainter painter = parse(drawing("x5_xapian_test2.cdr"));
    EXPECT_EQ(painter.pages, 2);
    EXPECT_EQ(painter.texts, 2);
    EXPECT_GE(painter.spans, 4);
    EXPECT_NE(painter.characters.find("Hello world"), std::string::npos);
    EXPECT_NE(painter.characters.find("\xe5\x96\xac\xe4\xbc\x8a"), std::string::npos); // 喬伊
    EXPECT_NE(painter.characters.find("This is a sample document"), std::string::npos);
}

// A CorelDRAW 2024 drawing: boxes filled white, black text in them and
// some in colour. Read with the layout of older fills, every shape lost its
// fill and all text came out white.
TEST(RevengeDrawingAdapterTest, FillsOfRecentDrawingsAreRead)
{
    const CheckingPainter painter = parse(drawing("v25_2024_Razoom-laser_map.cdr"));
    EXPECT_EQ(painter.solidFills, 102);
    std::set<std::string> colours;
    for (const auto &[colour, spans] : painter.textColours)
        colours.insert(colour);
    EXPECT_EQ(colours, (std::set<std::string>{"#000000", "#0000ff", "#00ff00", "#ff0000"}));
    EXPECT_GT(painter.textColours.at("#000000"), 1000);
}

// The drawing's round chips are drawn with arcs of both kinds: short and
// long ones, all turning the same way.
TEST(RevengeDrawingAdapterTest, ManyPagesStayBalancedAndCirclesKeepTheirArcs)
{
    const CheckingPainter painter = parse(drawing("x5_irank_modelo1.cdr"));
    EXPECT_EQ(painter.pages, 7);
    EXPECT_EQ(painter.arcFlags, (std::set<std::string>{"0,1", "1,1"}));
}
