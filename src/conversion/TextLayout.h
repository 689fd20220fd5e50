#pragma once

#include <optional>
#include <string>
#include <vector>

// Where the lines of one text object go on the page.
//
// libcdr gives a text object a frame and then its lines. For artistic text
// the frame is the box of the drawn glyphs; for paragraph text it is the
// text box, with the text at its top. SVG text starts at the first line's
// baseline, so the baseline is worked out from the frame: in a glyph box the
// last baseline sits a descender's depth above the bottom edge and the first
// a cap height below the top; in a text box the first baseline sits an
// ascent below the top and the next lines follow at the usual line spacing.
// A glyph box only one line tall holds one line, whatever the text's line
// breaks say. Paragraphs of a text box that has room for more lines than
// they are were wrapped at the box's width.
namespace TextLayout {

enum class Anchor
{
    Start,
    Middle,
    End
};

// All lengths in points, y growing downwards.
struct Frame
{
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0; // 0: unknown, the text hangs from y
};

struct Line
{
    double fontSize = 0; // the line's largest font, 0 for a line without text
    std::string text;    // UTF-8, all spans of the line
    Anchor anchor = Anchor::Start;
};

// Where a text's own coordinates land on the page, as SVG's
// matrix(a b c d e f): x' = a x + c y + e, y' = b x + d y + f. Turned,
// stretched, condensed and mirrored text is drawn in its own coordinates
// through it; those hang from the start of the first baseline (artistic
// text) or the top-left corner of the box (paragraph text).
struct Transform
{
    double a = 1;
    double b = 0;
    double c = 0;
    double d = 1;
    double e = 0; // points
    double f = 0; // points

    // Whether it only moves the text, leaving its shape as it is.
    bool movesOnly() const;
    // How much it stretches the text's own x and y axes.
    double scaleX() const;
    double scaleY() const;
    // The same without its stretch: what CorelDRAW does to the text in a
    // paragraph text's box, whose stretch widens the box, not the glyphs.
    // Unchanged when it squashes an axis flat.
    Transform unstretched() const;
};

struct Placement
{
    bool newLine = true; // false: the line goes on after the previous one
    double x = 0;        // where the line is anchored
    double baseline = 0;
};

// Font sizes without a value fall back to this.
constexpr double DefaultFontSize = 12.0;
// Baseline to baseline, in font sizes, of paragraph text at CorelDRAW's
// usual spacing.
constexpr double LineSpacing = 1.15;
// Above and below the baseline, in font sizes, for a font of typical
// proportions.
constexpr double Ascent = 0.9;
constexpr double CapHeight = 0.72;
constexpr double XHeight = 0.52;

// One placement per line, in order.
std::vector<Placement> place(const Frame &frame, const std::vector<Line> &lines);

// As place, moved so that the first line starts at (0, 0): where an artistic
// text's own coordinates start it. The frame may be empty when it is not
// known; the lines then follow at the usual spacing.
std::vector<Placement> placeAtOrigin(const Frame &frame, const std::vector<Line> &lines);

// The frame libcdr gives an artistic text's glyphs (see above), in the
// text's own coordinates, worked out from the frame it gives them on the
// page. Nothing when the text is turned too near a diagonal for the page box
// to tell its glyphs' width from their height.
std::optional<Frame> ownFrame(const Frame &pageFrame, const Transform &transform, Anchor anchor);

// The width that the glyphs of a one-line glyph box cover in the drawing,
// or 0 when that is not known. Artistic text keeps the size CorelDRAW gives
// it by stretching or squeezing (a transform libcdr does not pass on), and a
// stand-in face has widths of its own; fitting the line to this width draws
// it as wide as CorelDRAW did.
double fittedWidth(const Frame &frame, const std::vector<Line> &lines);

// Whether the lines are paragraphs of a text box with room for more lines
// than they are: CorelDRAW then wrapped them at the box's width.
bool wrapsInFrame(const Frame &frame, const std::vector<Line> &lines);

// The font size of each line; an empty line has the size of the next line
// with text, else of the one before.
std::vector<double> sizesOf(const std::vector<Line> &lines);

// How far the glyphs of a UTF-8 text reach above and below the baseline, in
// font sizes.
double heightAboveBaseline(const std::string &text);
double depthBelowBaseline(const std::string &text);

} // namespace TextLayout
