#include "conversion/TextLayout.h"
#include "conversion/FontFamily.h"

#include <gtest/gtest.h>

#include <cmath>

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

namespace {

void expectFrame(const std::optional<Frame> &frame, const Frame &expected)
{
    ASSERT_TRUE(frame.has_value());
    EXPECT_NEAR(frame->x, expected.x, 1e-9);
    EXPECT_NEAR(frame->y, expected.y, 1e-9);
    EXPECT_NEAR(frame->width, expected.width, 1e-9);
    EXPECT_NEAR(frame->height, expected.height, 1e-9);
}

} // namespace

TEST(TextLayoutTest, TransformsTellMovingFromShaping)
{
    EXPECT_TRUE((Transform{1, 0, 0, 1, 300, -20}).movesOnly());
    EXPECT_TRUE((Transform{1.0002, 0, 0, 0.9998, 0, 0}).movesOnly());
    EXPECT_FALSE((Transform{0.959, 0, 0, 1, 0, 0}).movesOnly());
    EXPECT_FALSE((Transform{0, -1, 1, 0, 0, 0}).movesOnly());
    EXPECT_FALSE((Transform{1, 0, 0, -1, 0, 0}).movesOnly());

    // Turned by 30 degrees and stretched 2 by 3: the stretch comes off, the
    // turn and the place stay.
    const double c = std::cos(M_PI / 6), s = std::sin(M_PI / 6);
    const Transform shaped{2 * c, 2 * s, -3 * s, 3 * c, 10, 20};
    EXPECT_DOUBLE_EQ(shaped.scaleX(), 2);
    EXPECT_DOUBLE_EQ(shaped.scaleY(), 3);
    const Transform turned = shaped.unstretched();
    EXPECT_DOUBLE_EQ(turned.a, c);
    EXPECT_DOUBLE_EQ(turned.b, s);
    EXPECT_DOUBLE_EQ(turned.c, -s);
    EXPECT_DOUBLE_EQ(turned.d, c);
    EXPECT_EQ(turned.e, 10);
    EXPECT_EQ(turned.f, 20);
    EXPECT_TRUE((Transform{2, 0, 0, 3, 10, 20}).unstretched().movesOnly());
    // A flattened axis has no stretch to take off.
    EXPECT_EQ((Transform{0, 0, 0, 3, 1, 2}).unstretched().d, 3);
}

// Glyphs 40 by 24 points in the text's own coordinates, 2 points right of the
// origin and reaching 20 above the baseline; libcdr's frame on the page is
// their page box, twice as wide, starting where the text's alignment has it.
TEST(TextLayoutTest, OwnFrameOfAStretchedOrTurnedText)
{
    const Frame own{2, -20, 80, 24};
    // Condensed to half its width.
    expectFrame(ownFrame({101, 180, 40, 24}, {0.5, 0, 0, 1, 100, 200}, Anchor::Start), own);
    // Turned to run upwards: its page box is 24 wide and 40 tall.
    expectFrame(ownFrame({80, 158, 48, 40}, {0, -1, 1, 0, 100, 200}, Anchor::Start), own);
    // Mirrored top to bottom.
    expectFrame(ownFrame({102, 196, 80, 24}, {1, 0, 0, -1, 100, 200}, Anchor::Start), own);
    // Centred glyphs, condensed: their page box starts at 90 and is 20 wide,
    // libcdr's frame a quarter of its width further left.
    expectFrame(ownFrame({80, 180, 40, 24}, {0.5, 0, 0, 1, 100, 200}, Anchor::Middle),
                Frame{-40, -20, 80, 24});
    // Right-aligned glyphs end at the origin.
    expectFrame(ownFrame({60, 180, 40, 24}, {0.5, 0, 0, 1, 100, 200}, Anchor::End),
                Frame{-80, -20, 80, 24});
    // Near the diagonals a page box no longer tells width from height.
    const double r = std::sqrt(0.5);
    EXPECT_FALSE(ownFrame({0, 0, 90, 45}, {r, r, -r, r, 0, 0}, Anchor::Start).has_value());
    // Nor does one that is squashed flat.
    EXPECT_FALSE(ownFrame({0, 0, 10, 0}, {0.5, 0, 0, 0, 0, 0}, Anchor::Start).has_value());
}

TEST(TextLayoutTest, ArtisticTextStartsAtItsOrigin)
{
    // Laid out in its glyph box, then moved so that the first baseline
    // starts at the origin; the second line keeps its distance.
    const std::vector<Placement> placed =
        placeAtOrigin({2, -10, 80, 20}, {{10, "AB", Anchor::Start}, {10, "CD", Anchor::Start}});
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_DOUBLE_EQ(placed[0].x, 0);
    EXPECT_DOUBLE_EQ(placed[0].baseline, 0);
    EXPECT_DOUBLE_EQ(placed[1].x, 0);
    EXPECT_DOUBLE_EQ(placed[1].baseline, 20 - 7.2);
    // Without a frame the lines follow at the usual spacing.
    const std::vector<Placement> unknown =
        placeAtOrigin({}, {{10, "AB", Anchor::Middle}, {20, "CD", Anchor::Middle}});
    ASSERT_EQ(unknown.size(), 2u);
    EXPECT_DOUBLE_EQ(unknown[0].baseline, 0);
    EXPECT_DOUBLE_EQ(unknown[1].baseline, 1.15 * 20);
    EXPECT_DOUBLE_EQ(unknown[1].x, 0);
    EXPECT_TRUE(placeAtOrigin({}, {}).empty());
}
