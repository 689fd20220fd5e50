#include "TestDrawings.h"

#include "conversion/RevengeDrawingAdapter.h"
#include "conversion/WPGPaintInterface.h"

#include <libcdr/libcdr.h>
#include <librevenge-stream/librevenge-stream.h>

#include <gtest/gtest.h>

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
    std::set<std::string> styleKeys;
    std::string characters;
    double widestStroke = 0;

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

TEST(RevengeDrawingAdapterTest, ManyPagesStayBalanced)
{
    const CheckingPainter painter = parse(drawing("x5_irank_modelo1.cdr"));
    EXPECT_EQ(painter.pages, 7);
}
