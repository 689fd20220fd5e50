#include "TextLayout.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <cmath>

namespace TextLayout {

namespace {

// Lower-case letters that stay within the x-height, Latin and Cyrillic.
const QString XHeightLetters = QStringLiteral(u"acegmnopqrsuvwxyzавгдежзиклмнопрстухцчшщъыьэюя");
// Characters that reach below the baseline, with their depth in font sizes.
const QString DeepCharacters = QStringLiteral(u"gjpqyрурф()[]{}|/\\_");
const QString ShallowCharacters = QStringLiteral(u",;дцщДЦЩ");
constexpr double DescenderDepth = 0.21;
constexpr double ShallowDepth = 0.12;
// Ideographs fill the em box, which reaches a little below the baseline.
constexpr double IdeographHeight = 0.84;
constexpr double IdeographDepth = 0.12;
// A glyph box less tall than this many font sizes holds one line.
constexpr double OneLineLimit = 1.5;
// Stretching text by less than a thousandth leaves it as it looks.
constexpr double ShapeTolerance = 1e-3;
// A turned glyph box tells its width from its height only while it is not
// too square to the diagonals: the share of its page box that the turn
// mixes in must stay this far below the share it keeps.
constexpr double SeparableShare = 0.5;

bool isIdeographic(char32_t c)
{
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF) ||
           (c >= 0x20000 && c <= 0x3FFFF);
}

double sizeOf(const Line &line)
{
    return line.fontSize > 0 ? line.fontSize : 0;
}

} // namespace

bool Transform::movesOnly() const
{
    return std::abs(a - 1) < ShapeTolerance && std::abs(b) < ShapeTolerance &&
           std::abs(c) < ShapeTolerance && std::abs(d - 1) < ShapeTolerance;
}

double Transform::scaleX() const
{
    return std::hypot(a, b);
}

double Transform::scaleY() const
{
    return std::hypot(c, d);
}

Transform Transform::unstretched() const
{
    const double x = scaleX();
    const double y = scaleY();
    if (!(x > 0 && y > 0))
        return *this;
    return {a / x, b / x, c / y, d / y, e, f};
}

std::vector<double> sizesOf(const std::vector<Line> &lines)
{
    std::vector<double> sizes(lines.size(), 0);
    double next = 0;
    for (std::size_t i = lines.size(); i-- > 0;) {
        if (sizeOf(lines[i]) > 0)
            next = sizeOf(lines[i]);
        sizes[i] = next;
    }
    double previous = DefaultFontSize;
    for (double &size : sizes) {
        if (size > 0)
            previous = size;
        else
            size = previous;
    }
    return sizes;
}

double heightAboveBaseline(const std::string &text)
{
    double height = 0;
    for (char32_t c : QString::fromUtf8(text).toUcs4()) {
        if (QChar::isSpace(c))
            continue;
        if (isIdeographic(c))
            height = std::max(height, IdeographHeight);
        else if (c < 0x10000 && XHeightLetters.contains(QChar(char16_t(c))))
            height = std::max(height, XHeight);
        else
            height = std::max(height, CapHeight);
    }
    return height;
}

double depthBelowBaseline(const std::string &text)
{
    double depth = 0;
    for (char32_t c : QString::fromUtf8(text).toUcs4()) {
        if (isIdeographic(c))
            depth = std::max(depth, IdeographDepth);
        else if (c >= 0x10000)
            continue;
        else if (DeepCharacters.contains(QChar(char16_t(c))))
            depth = std::max(depth, DescenderDepth);
        else if (ShallowCharacters.contains(QChar(char16_t(c))))
            depth = std::max(depth, ShallowDepth);
    }
    return depth;
}

namespace {

double largestSize(const std::vector<double> &sizes)
{
    return sizes.empty() ? DefaultFontSize : *std::max_element(sizes.begin(), sizes.end());
}

// No taller than the glyphs of its lines at a generous spacing.
bool isGlyphBox(const Frame &frame, std::size_t count, double largest)
{
    return frame.height > 0 &&
           frame.height <= (double(count) - 1) * LineSpacing * largest + 1.1 * largest;
}

} // namespace

double fittedWidth(const Frame &frame, const std::vector<Line> &lines)
{
    if (lines.empty() || frame.width <= 0)
        return 0;
    const std::vector<double> sizes = sizesOf(lines);
    const double largest = largestSize(sizes);
    if (!isGlyphBox(frame, lines.size(), largest) ||
        (lines.size() > 1 && frame.height >= OneLineLimit * largest))
        return 0;
    std::string text;
    for (const Line &line : lines)
        text += line.text;
    // Spaces at either end take room in the line but not in the glyph box.
    const QString glyphs = QString::fromUtf8(text);
    if (glyphs.isEmpty() || glyphs.front().isSpace() || glyphs.back().isSpace())
        return 0;
    // libcdr reports a glyph box twice as wide as the glyphs, so that a text
    // frame made from it never wraps them.
    return frame.width / 2;
}

bool wrapsInFrame(const Frame &frame, const std::vector<Line> &lines)
{
    if (lines.empty() || frame.width <= 0)
        return false;
    const std::vector<double> sizes = sizesOf(lines);
    double height = 0;
    for (double size : sizes)
        height += LineSpacing * size;
    return !isGlyphBox(frame, lines.size(), largestSize(sizes)) &&
           frame.height >= height + 0.9 * LineSpacing * sizes.back();
}

std::optional<Frame> ownFrame(const Frame &pageFrame, const Transform &t, Anchor anchor)
{
    // libcdr's frame is twice as wide as the glyphs and starts where a text
    // frame aligned like the text would.
    const double width = pageFrame.width / 2;
    const double shift = anchor == Anchor::Middle ? width / 2 : anchor == Anchor::End ? width : 0;
    const double pageX = pageFrame.x + shift;
    const double pageY = pageFrame.y;

    // The page box of a box w by h is w |a| + h |c| wide and w |b| + h |d| tall.
    const double kept = std::abs(t.a) * std::abs(t.d);
    const double mixed = std::abs(t.b) * std::abs(t.c);
    const double determinant = kept - mixed;
    if (determinant == 0 || !(std::abs(determinant) >= SeparableShare * (kept + mixed)))
        return std::nullopt;
    const double w = (width * std::abs(t.d) - pageFrame.height * std::abs(t.c)) / determinant;
    const double h = (pageFrame.height * std::abs(t.a) - width * std::abs(t.b)) / determinant;
    if (!(w > 0 && h > 0))
        return std::nullopt;

    // Its top-left corner (x, y) lands where the page box starts, less what
    // the corners reaching further left or up add.
    const double u = pageX - t.e - std::min(0.0, t.a * w) - std::min(0.0, t.c * h);
    const double v = pageY - t.f - std::min(0.0, t.b * w) - std::min(0.0, t.d * h);
    const double inverse = 1 / (t.a * t.d - t.b * t.c);
    const double x = (u * t.d - t.c * v) * inverse;
    const double y = (t.a * v - t.b * u) * inverse;
    const double ownShift = anchor == Anchor::Middle ? w / 2 : anchor == Anchor::End ? w : 0;
    return Frame{x - ownShift, y, 2 * w, h};
}

std::vector<Placement> placeAtOrigin(const Frame &frame, const std::vector<Line> &lines)
{
    std::vector<Placement> placements = place(frame, lines);
    if (placements.empty())
        return placements;
    const Placement first = placements.front();
    for (Placement &line : placements) {
        line.x -= first.x;
        line.baseline -= first.baseline;
    }
    return placements;
}

std::vector<Placement> place(const Frame &frame, const std::vector<Line> &lines)
{
    std::vector<Placement> placements(lines.size());
    if (lines.empty())
        return placements;
    const std::vector<double> sizes = sizesOf(lines);
    const double largest = largestSize(sizes);
    const std::size_t count = lines.size();

    for (std::size_t i = 0; i < count; ++i) {
        switch (lines[i].anchor) {
        case Anchor::Start:
            placements[i].x = frame.x;
            break;
        case Anchor::Middle:
            placements[i].x = frame.x + frame.width / 2;
            break;
        case Anchor::End:
            placements[i].x = frame.x + frame.width;
            break;
        }
    }

    // A glyph box: no taller than the glyphs of its lines at a generous
    // spacing. The last baseline sits on the bottom edge, above any
    // descenders; the first hangs below the top edge by its glyphs' height;
    // lines between are spread evenly by size.
    if (isGlyphBox(frame, count, largest)) {
        const double bottom =
            frame.y + frame.height - depthBelowBaseline(lines.back().text) * sizes.back();
        // Only one line fits: the lines follow one another on it.
        if (count == 1 || frame.height < OneLineLimit * largest) {
            for (std::size_t i = 0; i < count; ++i) {
                placements[i].newLine = i == 0;
                placements[i].x = placements[0].x;
                placements[i].baseline = bottom;
            }
            return placements;
        }
        const double top = frame.y + heightAboveBaseline(lines.front().text) * sizes.front();
        double advances = 0;
        for (std::size_t i = 1; i < count; ++i)
            advances += sizes[i];
        const double spacing = std::max(0.0, bottom - top) / advances;
        double baseline = top;
        for (std::size_t i = 0; i < count; ++i) {
            if (i > 0)
                baseline += spacing * sizes[i];
            placements[i].baseline = baseline;
        }
        return placements;
    }

    // A text box: the text hangs from its top edge.
    double baseline = frame.y + Ascent * sizes.front();
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            baseline += LineSpacing * sizes[i];
        placements[i].baseline = baseline;
    }
    return placements;
}

} // namespace TextLayout
