#include "conversion/TextLayout.h"
#include "conversion/FontFamily.h"

#include <gtest/gtest.h>

using namespace TextLayout;

TEST(TextLayoutTest, GlyphsReachAsTheirShapesDo)
{
    EXPECT_DOUBLE_EQ(heightAboveBaseline("27"), CapHeight);
    EXPECT_DOUBLE_EQ(heightAboveBaseline("ace mix"), CapHeight); // the dot of the i
    EXPECT_DOUBLE_EQ(heightAboveBaseline("ace race"), XHeight);
    EXPECT_DOUBLE_EQ(heightAboveBaseline("\xd0\xb5\xd0\xb4\xd0\xbe"), XHeight); // "едо"
    EXPECT_DOUBLE_EQ(heightAboveBaseline("\xe5\x96\xac"), 0.84);                // 喬
    EXPECT_DOUBLE_EQ(heightAboveBaseline(" "), 0);

    EXPECT_DOUBLE_EQ(depthBelowBaseline("27 AB"), 0);
    EXPECT_DOUBLE_EQ(depthBelowBaseline("Sample"), 0.21);
    EXPECT_DOUBLE_EQ(depthBelowBaseline("5,00 mm"), 0.12);
    EXPECT_DOUBLE_EQ(depthBelowBaseline("\xd0\xb5\xd0\xb4"), 0.12); // "ед"
    EXPECT_DOUBLE_EQ(depthBelowBaseline("\xd1\x80"), 0.21);         // "р"
}

TEST(TextLayoutTest, OneLineGlyphBoxHoldsEveryLineOnItsBaseline)
{
    // 14 points tall for 10-point lines: only one line fits, so CorelDRAW
    // showed the two as one.
    const std::vector<Placement> placed =
        place({100, 200, 50, 14}, {{10, "ON", Anchor::Start}, {10, "OFF", Anchor::Start}});
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_TRUE(placed[0].newLine);
    EXPECT_FALSE(placed[1].newLine);
    EXPECT_DOUBLE_EQ(placed[0].x, 100);
    EXPECT_DOUBLE_EQ(placed[0].baseline, 214);
}

TEST(TextLayoutTest, LinesOfAGlyphBoxSpreadFromTopToBottom)
{
    // The first baseline a cap height below the top, the last on the bottom
    // edge; the middle line halfway, both lines being the same size.
    const std::vector<Placement> placed =
        place({0, 100, 80, 30},
              {{10, "AB", Anchor::Start}, {10, "CD", Anchor::Start}, {10, "EF", Anchor::Start}});
    ASSERT_EQ(placed.size(), 3u);
    EXPECT_DOUBLE_EQ(placed[0].baseline, 107.2);
    EXPECT_DOUBLE_EQ(placed[1].baseline, 118.6);
    EXPECT_DOUBLE_EQ(placed[2].baseline, 130);
    for (const Placement &line : placed)
        EXPECT_TRUE(line.newLine);
}

TEST(TextLayoutTest, TextBoxLinesFollowAtLineSpacing)
{
    // An empty line takes the size of the line after it; the last empty line
    // the size of the one before.
    const std::vector<Placement> placed = place({10, 0, 300, 200}, {{12, "a", Anchor::Start},
                                                                    {0, "", Anchor::Start},
                                                                    {24, "b", Anchor::Middle},
                                                                    {0, "", Anchor::End}});
    ASSERT_EQ(placed.size(), 4u);
    EXPECT_DOUBLE_EQ(placed[0].baseline, 0.9 * 12);
    EXPECT_DOUBLE_EQ(placed[1].baseline, 0.9 * 12 + 1.15 * 24);
    EXPECT_DOUBLE_EQ(placed[2].baseline, 0.9 * 12 + 2 * 1.15 * 24);
    EXPECT_DOUBLE_EQ(placed[3].baseline, 0.9 * 12 + 3 * 1.15 * 24);
    EXPECT_DOUBLE_EQ(placed[2].x, 160);
    EXPECT_DOUBLE_EQ(placed[3].x, 310);
}

TEST(TextLayoutTest, TextWithoutFrameOrSizesHangsFromItsOrigin)
{
    const std::vector<Placement> placed = place({5, 5, 0, 0}, {{0, "x", Anchor::Start}});
    ASSERT_EQ(placed.size(), 1u);
    EXPECT_DOUBLE_EQ(placed[0].baseline, 5 + 0.9 * DefaultFontSize);
    EXPECT_TRUE(place({5, 5, 0, 0}, {}).empty());
}

TEST(FontFamilyTest, GenericFamilyFollowsTheName)
{
    for (const char *name : {"Arial", "Century Gothic", "Calibri", "Source Sans Pro Light",
                             "PT Sans Serif", "Gabriola", "Verdana"})
        EXPECT_EQ(FontFamily::genericFamily(name), "sans-serif") << name;
    for (const char *name : {"Times New Roman", "Garamond", "Book Antiqua", "Sitka Subheading",
                             "SimSun-ExtB", "DejaVu Serif", "GEORGIA"})
        EXPECT_EQ(FontFamily::genericFamily(name), "serif") << name;
    for (const char *name : {"Courier New", "Consolas", "Liberation Mono"})
        EXPECT_EQ(FontFamily::genericFamily(name), "monospace") << name;
    EXPECT_EQ(FontFamily::cssFamilyList("A\\B"), "'A\\\\B', sans-serif");
    // Century Gothic has the widths of the PostScript Avant Garde, which the
    // setup installs as URW Gothic.
    EXPECT_EQ(FontFamily::cssFamilyList("Century Gothic"),
              "'Century Gothic', 'URW Gothic', sans-serif");
    EXPECT_EQ(FontFamily::cssFamilyList("BOOK ANTIQUA"), "'BOOK ANTIQUA', 'P052', serif");
}

TEST(TextLayoutTest, OnlyTextBoxesWithRoomToSpareWrap)
{
    const std::vector<Line> oneLine = {{10, "words", Anchor::Start}};
    // Room for more than one line of 11.5 points.
    EXPECT_TRUE(wrapsInFrame({0, 0, 100, 22}, oneLine));
    // A box just as tall as its line, or a glyph box, holds the line as it is.
    EXPECT_FALSE(wrapsInFrame({0, 0, 100, 20}, oneLine));
    EXPECT_FALSE(wrapsInFrame({0, 0, 100, 8}, oneLine));
    // Without a width or a height nothing is known to wrap.
    EXPECT_FALSE(wrapsInFrame({0, 0, 0, 200}, oneLine));
    EXPECT_FALSE(wrapsInFrame({0, 0, 100, 0}, oneLine));
    EXPECT_FALSE(wrapsInFrame({0, 0, 100, 200}, {}));
}

TEST(TextLayoutTest, OneLineGlyphBoxesAreFittedToTheirGlyphs)
{
    // libcdr doubles the width of a glyph box.
    EXPECT_DOUBLE_EQ(fittedWidth({0, 0, 120, 10}, {{12, "Label", Anchor::Start}}), 60);
    EXPECT_DOUBLE_EQ(
        fittedWidth({0, 0, 120, 10}, {{12, "ON", Anchor::Start}, {12, "OFF", Anchor::Start}}), 60);
    // Spaces at an end have no glyphs to measure them by.
    EXPECT_EQ(fittedWidth({0, 0, 120, 10}, {{12, "Label ", Anchor::Start}}), 0);
    // Text boxes, glyph boxes of several lines and boxes without a width are
    // left as they are.
    EXPECT_EQ(fittedWidth({0, 0, 120, 40}, {{12, "Label", Anchor::Start}}), 0);
    EXPECT_EQ(
        fittedWidth({0, 0, 120, 30}, {{12, "One", Anchor::Start}, {12, "Two", Anchor::Start}}), 0);
    EXPECT_EQ(fittedWidth({0, 0, 0, 10}, {{12, "Label", Anchor::Start}}), 0);
}
