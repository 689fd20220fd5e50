#include "CDRSVGGenerator.h"

#include "FontFamily.h"
#include "TMPManager.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <optional>
#include <tuple>

namespace {

const char *const RootStartTag =
    "<svg:svg id=\"svgRoot\" version=\"1.1\" xmlns:svg=\"http://www.w3.org/2000/svg\" "
    "xmlns:xlink=\"http://www.w3.org/1999/xlink\" ";

// Sizes each page to its drawn content once the web view has laid it out.
const char *const BoundingBoxScript =
    "<svg:script><![CDATA[                                  \n"
    "var svgElement = document.getElementById(\"svgRoot\"); \n"
    "var gElement = document.getElementById(\"rootGroup\"); \n"
    "var b = gElement.getBBox();                            \n"
    "svgElement.setAttribute(\"width\", b.width);           \n"
    "svgElement.setAttribute(\"height\", b.height);         \n"
    "svgElement.setAttribute(\"viewBox\", [b.x,b.y,b.width,b.height]); \n"
    "]]></svg:script>                                       \n";

// Damaged files can carry absurd dash counts; more dashes than this add
// nothing visible and only blow up the page.
constexpr int MaxDashes = 1024;

constexpr std::size_t NumberBufferSize = 32;

// "%g" with six significant digits; to_chars never uses the locale, so the
// separator is always ".".
char *writeNumber(char (&buffer)[NumberBufferSize], double value)
{
    return std::to_chars(buffer, buffer + NumberBufferSize, value, std::chars_format::general, 6)
        .ptr;
}

bool isText(const WPXProperty *property, std::string_view value)
{
    return property && property->getStr() == value;
}

double realOr(const WPXProperty *property, double fallback)
{
    return property ? property->getDouble() : fallback;
}

double realOf(const WPXPropertyList &list, std::string_view key)
{
    return realOr(list[key], 0.0);
}

// Brings an angle into 0..360 the way the viewer's gradients expect, without
// looping forever on values that are not finite or are very large.
double wrapAngle(double angle)
{
    if (!std::isfinite(angle))
        return angle;
    if (std::abs(angle) > 360.0 * 1024)
        angle = std::fmod(angle, 360.0);
    while (angle < 0)
        angle += 360;
    while (angle > 360)
        angle -= 360;
    return angle;
}

// Where a text's own coordinates land on the page, when libcdr tells and the
// text is more than moved there.
std::optional<TextLayout::Transform> shapedTextTransform(const WPXPropertyList &frame)
{
    const char *const keys[] = {"libcdr:transform-a", "libcdr:transform-b", "libcdr:transform-c",
                                "libcdr:transform-d", "libcdr:transform-e", "libcdr:transform-f"};
    double values[std::size(keys)];
    for (std::size_t i = 0; i < std::size(keys); ++i) {
        const WPXProperty *property = frame[keys[i]];
        if (!property || !std::isfinite(property->getDouble()))
            return std::nullopt;
        values[i] = property->getDouble();
    }
    const TextLayout::Transform transform{values[0], values[1],      values[2],
                                          values[3], values[4] * 72, values[5] * 72};
    if (transform.movesOnly())
        return std::nullopt;
    return transform;
}

// Where a text object's lines are laid out.
struct TextFrame
{
    // In the coordinates the text is written in.
    TextLayout::Frame box;
    // Puts those on the page, when they are the text's own.
    std::optional<TextLayout::Transform> transform;
    // The first line starts at (0, 0).
    bool atOrigin = false;
};

// Text that is turned, stretched or mirrored is laid out in its own
// coordinates, which a transform then puts on the page; other text on the
// page, in the frame libcdr gives it.
TextFrame textFrame(const WPXPropertyList &frame, TextLayout::Anchor anchor)
{
    TextFrame placed;
    placed.box = {realOf(frame, "svg:x") * 72, realOf(frame, "svg:y") * 72,
                  realOf(frame, "svg:width") * 72, realOf(frame, "svg:height") * 72};
    if (!frame["svg:x"] || !frame["svg:y"])
        return placed;
    const std::optional<TextLayout::Transform> transform = shapedTextTransform(frame);
    if (!transform)
        return placed;
    if (frame["libcdr:box-width"] && frame["libcdr:box-height"]) {
        // A paragraph text's box stretches; its glyphs keep their size.
        const TextLayout::Transform unstretched = transform->unstretched();
        if (unstretched.movesOnly())
            return placed;
        placed.box = {0, 0, realOf(frame, "libcdr:box-width") * 72 * transform->scaleX(),
                      realOf(frame, "libcdr:box-height") * 72 * transform->scaleY()};
        placed.transform = unstretched;
        return placed;
    }
    placed.transform = transform;
    placed.box = TextLayout::ownFrame(placed.box, *transform, anchor).value_or(TextLayout::Frame{});
    placed.atOrigin = true;
    return placed;
}

// How much wider than its box wrapped text may run, as a share of the width.
constexpr double WrapSlack = 0.05;

// Frames whose proportions differ from the bitmap's by less than this show
// it unchanged.
constexpr double AspectTolerance = 0.005;

// Width and height of a BMP file's bitmap, when its header tells them.
std::optional<std::pair<int, int>> bitmapSize(const WPXBinaryData &data)
{
    const unsigned char *bytes = data.getDataBuffer();
    const auto word = [bytes](std::size_t at, std::size_t size) {
        std::uint32_t value = 0;
        for (std::size_t i = size; i-- > 0;)
            value = (value << 8) | bytes[at + i];
        return value;
    };
    if (data.size() < 26 || bytes[0] != 'B' || bytes[1] != 'M')
        return std::nullopt;
    int width = 0, height = 0;
    if (word(14, 4) == 12) { // the old core header: 16-bit sizes
        width = int(word(18, 2));
        height = int(word(20, 2));
    } else {
        width = std::int32_t(word(18, 4));
        height = std::abs(std::int32_t(word(22, 4))); // negative: stored top-down
    }
    if (width <= 0 || height <= 0)
        return std::nullopt;
    return std::pair{width, height};
}

} // namespace

CDRSVGGenerator::CDRSVGGenerator(CDRStringVector &pages)
    : m_pages(pages)
{}

std::string CDRSVGGenerator::formatNumber(double value)
{
    char buffer[NumberBufferSize];
    return std::string(buffer, writeNumber(buffer, value));
}

void CDRSVGGenerator::number(double value)
{
    char buffer[NumberBufferSize];
    m_out.append(buffer, writeNumber(buffer, value));
}

void CDRSVGGenerator::points(const WPXPropertyList &list, std::string_view key)
{
    number(realOf(list, key) * 72);
}

void CDRSVGGenerator::text(const WPXPropertyList &list, std::string_view key)
{
    if (const WPXProperty *property = list[key])
        m_out += property->getStr();
}

void CDRSVGGenerator::startGraphics(const WPXPropertyList &propList)
{
    m_out += RootStartTag;
    if (propList["svg:width"]) {
        m_out += "width=\"";
        points(propList, "svg:width");
        m_out += "\" ";
    }
    if (propList["svg:height"]) {
        m_out += "height=\"";
        points(propList, "svg:height");
        m_out += "\"";
    }
    m_out += " >\n<svg:g id=\"rootGroup\">\n";
}

void CDRSVGGenerator::endGraphics()
{
    // A text object left open still belongs to its page.
    endTextObject();
    m_out += "</svg:g>\n";
    m_out += BoundingBoxScript;
    m_out += "</svg:svg>\n";
    m_pages.append(WPXString(std::move(m_out)));
    m_out.clear();
}

void CDRSVGGenerator::startLayer(const WPXPropertyList &propList)
{
    m_out += "<svg:g";
    if (const WPXProperty *id = propList["svg:id"]) {
        m_out += " id=\"Layer";
        m_out += std::to_string(id->getInt());
        m_out += "\"";
    }
    if (propList["svg:fill-rule"]) {
        m_out += " fill-rule=\"";
        text(propList, "svg:fill-rule");
        m_out += "\"";
    }
    m_out += ">\n";
}

void CDRSVGGenerator::endLayer()
{
    m_out += "</svg:g>\n";
}

void CDRSVGGenerator::startEmbeddedGraphics(const WPXPropertyList &) {}

void CDRSVGGenerator::endEmbeddedGraphics() {}

void CDRSVGGenerator::setStyle(const WPXPropertyList &propList,
                               const WPXPropertyListVector &gradient)
{
    m_style = propList;
    m_gradient = gradient;

    if (isText(m_style["draw:shadow"], "visible"))
        writeShadow();

    if (isText(m_style["draw:fill"], "gradient"))
        writeGradient();
    else if (isText(m_style["draw:fill"], "bitmap") && m_style["draw:fill-image"] &&
             m_style["libwpg:mime-type"])
        writePattern();
}

void CDRSVGGenerator::writeShadow()
{
    unsigned shadowColour = 0;
    if (const WPXProperty *colour = m_style["draw:shadow-color"]) {
        const std::string value = colour->getStr();
        if (value.size() == 7 && value[0] == '#')
            std::from_chars(value.data() + 1, value.data() + 7, shadowColour, 16);
    }
    const double red = ((shadowColour >> 16) & 0xff) / 255.0;
    const double green = ((shadowColour >> 8) & 0xff) / 255.0;
    const double blue = (shadowColour & 0xff) / 255.0;

    m_out += "<svg:defs>\n<svg:filter filterUnits=\"userSpaceOnUse\" id=\"shadow";
    m_out += std::to_string(m_shadowIndex++);
    m_out += "\">";
    m_out += "<svg:feOffset in=\"SourceGraphic\" result=\"offset\" dx=\"";
    points(m_style, "draw:shadow-offset-x");
    m_out += "\" dy=\"";
    points(m_style, "draw:shadow-offset-y");
    m_out += "\"/>";
    m_out += "<svg:feColorMatrix in=\"offset\" result=\"offset-color\" type=\"matrix\" values=\"";
    m_out += "0 0 0 0 ";
    number(red);
    m_out += " 0 0 0 0 ";
    number(green);
    m_out += " 0 0 0 0 ";
    number(blue);
    m_out += " 0 0 0 ";
    const double shadowOpacity = realOf(m_style, "draw:shadow-opacity");
    const WPXProperty *opacity = m_style["draw:opacity"];
    if (opacity && opacity->getDouble() < 1.0)
        number(shadowOpacity / opacity->getDouble());
    else
        number(shadowOpacity);
    m_out += " 0\"/>";
    m_out += "<svg:feMerge><svg:feMergeNode in=\"offset-color\" /><svg:feMergeNode "
             "in=\"SourceGraphic\" /></svg:feMerge></svg:filter></svg:defs>";
}

void CDRSVGGenerator::writeGradient()
{
    // An absent angle negates to minus zero, which is kept as such.
    const double angle = wrapAngle(-realOr(m_style["draw:angle"], 0.0));
    if (!m_gradient.empty()) {
        writeGradientWithStops(angle);
        return;
    }
    const WPXProperty *style = m_style["draw:style"];
    if (style)
        writeTwoColourGradient(style->getStr(), angle);
}

void CDRSVGGenerator::writeGradientWithStops(double angle)
{
    m_out += "<svg:defs>\n";
    const bool radial = isText(m_style["draw:style"], "radial");
    if (radial) {
        m_out += "  <svg:radialGradient id=\"grad";
        m_out += std::to_string(m_gradientIndex++);
        m_out += "\" cx=\"";
        text(m_style, "svg:cx");
        m_out += "\" cy=\"";
        text(m_style, "svg:cy");
        m_out += "\" r=\"";
        text(m_style, "svg:r");
        m_out += "\" >\n";
    } else {
        m_out += "  <svg:linearGradient id=\"grad";
        m_out += std::to_string(m_gradientIndex++);
        m_out += "\" >\n";
    }
    for (const WPXPropertyList &stop : m_gradient) {
        m_out += "    <svg:stop offset=\"";
        text(stop, "svg:offset");
        m_out += "\" stop-color=\"";
        text(stop, "svg:stop-color");
        m_out += "\" stop-opacity=\"";
        number(realOf(stop, "svg:stop-opacity"));
        m_out += "\" />\n";
    }
    if (radial) {
        m_out += "  </svg:radialGradient>\n";
    } else {
        m_out += "  </svg:linearGradient>\n";
        if (angle != 270)
            writeRotatedGradient(angle);
    }
    m_out += "</svg:defs>\n";
}

void CDRSVGGenerator::writeTwoColourGradient(std::string_view kind, double angle)
{
    const bool bothColours = m_style["draw:start-color"] && m_style["draw:end-color"];
    if (kind == "radial" || kind == "rectangular" || kind == "square" || kind == "ellipsoid") {
        m_out += "<svg:defs>\n  <svg:radialGradient id=\"grad";
        m_out += std::to_string(m_gradientIndex++);
        m_out += "\"";
        for (const auto &[attribute, primary, alternative] :
             {std::tuple{" cx=\"", "svg:cx", "draw:cx"},
              std::tuple{" cy=\"", "svg:cy", "draw:cy"}}) {
            const char *key = m_style[primary] ? primary : alternative;
            if (m_style[key]) {
                m_out += attribute;
                text(m_style, key);
                m_out += "\"";
            }
        }
        m_out += " r=\"";
        number((1.0 - realOf(m_style, "draw:border")) * 100.0);
        m_out += "%\" >\n";
        if (bothColours) {
            writeTwoColourStop("0%", "draw:end-color", "libwpg:end-opacity");
            writeTwoColourStop("100%", "draw:start-color", "libwpg:start-opacity");
        }
        m_out += "  </svg:radialGradient>\n</svg:defs>\n";
    } else if (kind == "linear" || kind == "axial") {
        m_out += "<svg:defs>\n  <svg:linearGradient id=\"grad";
        m_out += std::to_string(m_gradientIndex++);
        m_out += "\" >\n";
        if (bothColours && kind == "linear") {
            writeTwoColourStop("0%", "draw:start-color", "libwpg:start-opacity");
            writeTwoColourStop("100%", "draw:end-color", "libwpg:end-opacity");
        } else if (bothColours) {
            writeTwoColourStop("0%", "draw:end-color", "libwpg:end-opacity");
            writeTwoColourStop("50%", "draw:start-color", "libwpg:start-opacity");
            writeTwoColourStop("100%", "draw:end-color", "libwpg:end-opacity");
        }
        m_out += "  </svg:linearGradient>\n";
        if (angle != 270)
            writeRotatedGradient(angle);
        m_out += "</svg:defs>\n";
    }
}

void CDRSVGGenerator::writeTwoColourStop(std::string_view offset, std::string_view colourKey,
                                         std::string_view opacityKey)
{
    m_out += "    <svg:stop offset=\"";
    m_out += offset;
    m_out += "\" stop-color=\"";
    text(m_style, colourKey);
    m_out += "\" stop-opacity=\"";
    number(realOr(m_style[opacityKey], 1.0));
    m_out += "\" />\n";
}

void CDRSVGGenerator::writeRotatedGradient(double angle)
{
    m_out += "  <svg:linearGradient xlink:href=\"#grad";
    m_out += std::to_string(m_gradientIndex - 1);
    m_out += "\" id=\"grad";
    m_out += std::to_string(m_gradientIndex++);
    m_out += "\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\" gradientTransform=\"rotate(";
    number(angle);
    m_out += " .5 .5)\" gradientUnits=\"objectBoundingBox\" >\n  </svg:linearGradient>\n";
}

void CDRSVGGenerator::writePattern()
{
    const auto lengthOr100 = [this](const char *name, const char *key, const char *closing) {
        m_out += name;
        if (m_style[key])
            points(m_style, key);
        else
            m_out += "100";
        m_out += closing;
    };
    m_out += "<svg:defs>\n  <svg:pattern id=\"img";
    m_out += std::to_string(m_patternIndex++);
    m_out += "\" patternUnits=\"userSpaceOnUse\" ";
    lengthOr100("width=\"", "svg:width", "\" ");
    lengthOr100("height=\"", "svg:height", "\">");
    m_out += "\n<svg:image ";
    for (const auto &[name, key] : {std::pair{"x=\"", "svg:x"}, std::pair{"y=\"", "svg:y"}}) {
        m_out += name;
        if (m_style[key])
            points(m_style, key);
        else
            m_out += "0";
        m_out += "\" ";
    }
    lengthOr100("width=\"", "svg:width", "\" ");
    lengthOr100("height=\"", "svg:height", "\" ");
    m_out += "xlink:href=\"data:";
    text(m_style, "libwpg:mime-type");
    m_out += ";base64,";
    text(m_style, "draw:fill-image");
    m_out += "\" />\n  </svg:pattern>\n</svg:defs>\n";
}

void CDRSVGGenerator::writeStyle()
{
    const WPXProperty *stroke = m_style["draw:stroke"];
    const WPXProperty *fill = m_style["draw:fill"];
    const bool visibleStroke = stroke && stroke->getStr() != "none";

    m_out += "style=\"";
    if (const WPXProperty *width = m_style["svg:stroke-width"]) {
        double inches = width->getDouble();
        if (inches == 0 && visibleStroke)
            inches = 1.0 / 360.0; // a hairline
        m_out += "stroke-width: ";
        number(inches * 72);
        m_out += "; ";
    }
    if (visibleStroke) {
        if (m_style["svg:stroke-color"]) {
            m_out += "stroke: ";
            text(m_style, "svg:stroke-color");
            m_out += "; ";
        }
        const WPXProperty *opacity = m_style["svg:stroke-opacity"];
        if (opacity && opacity->getInt() != 1) {
            m_out += "stroke-opacity: ";
            number(opacity->getDouble());
            m_out += "; ";
        }
    }
    if (isText(stroke, "solid")) {
        m_out += "stroke-dasharray:  solid; ";
    } else if (isText(stroke, "dash")) {
        const auto integer = [this](const char *key) {
            const WPXProperty *property = m_style[key];
            return property ? property->getInt() : 0;
        };
        const int firstDashes = std::min(integer("draw:dots1"), MaxDashes);
        const int secondDashes = std::min(integer("draw:dots2"), MaxDashes);
        const std::string firstLength = std::to_string(integer("draw:dots1-length"));
        const std::string secondLength = std::to_string(integer("draw:dots2-length"));
        const std::string gap = std::to_string(integer("draw:distance"));
        m_out += "stroke-dasharray: ";
        for (int i = 0; i < firstDashes; ++i) {
            if (i > 0)
                m_out += ", ";
            m_out += firstLength + ", " + gap;
        }
        for (int i = 0; i < secondDashes; ++i)
            m_out += ", " + secondLength + ", " + gap;
        m_out += "; ";
    }
    if (m_style["svg:stroke-linecap"]) {
        m_out += "stroke-linecap: ";
        text(m_style, "svg:stroke-linecap");
        m_out += "; ";
    }
    if (m_style["svg:stroke-linejoin"]) {
        m_out += "stroke-linejoin: ";
        text(m_style, "svg:stroke-linejoin");
        m_out += "; ";
    }
    if (isText(fill, "none")) {
        m_out += "fill: none; ";
    } else if (m_style["svg:fill-rule"]) {
        m_out += "fill-rule: ";
        text(m_style, "svg:fill-rule");
        m_out += "; ";
    }
    if (isText(fill, "gradient")) {
        m_out += "fill: url(#grad";
        m_out += std::to_string(m_gradientIndex - 1);
        m_out += "); ";
    }
    if (isText(fill, "bitmap")) {
        m_out += "fill: url(#img";
        m_out += std::to_string(m_patternIndex - 1);
        m_out += "); ";
    }
    if (isText(m_style["draw:shadow"], "visible")) {
        m_out += "filter:url(#shadow";
        m_out += std::to_string(m_shadowIndex - 1);
        m_out += "); ";
    }
    if (isText(fill, "solid") && m_style["draw:fill-color"]) {
        m_out += "fill: ";
        text(m_style, "draw:fill-color");
        m_out += "; ";
    }
    const WPXProperty *opacity = m_style["draw:opacity"];
    if (opacity && opacity->getDouble() < 1.0) {
        m_out += "fill-opacity: ";
        number(opacity->getDouble());
        m_out += "; ";
    }
    m_out += "\"";
}

void CDRSVGGenerator::drawRectangle(const WPXPropertyList &propList)
{
    m_out += "<svg:rect x=\"";
    points(propList, "svg:x");
    m_out += "\" y=\"";
    points(propList, "svg:y");
    m_out += "\" width=\"";
    points(propList, "svg:width");
    m_out += "\" height=\"";
    points(propList, "svg:height");
    m_out += "\" ";
    const WPXProperty *rx = propList["svg:rx"];
    const WPXProperty *ry = propList["svg:ry"];
    if ((rx && rx->getInt() != 0) || (ry && ry->getInt() != 0)) {
        m_out += "rx=\"";
        points(propList, "svg:rx");
        m_out += "\" ry=\"";
        points(propList, "svg:ry");
        m_out += "\" ";
    }
    writeStyle();
    m_out += "/>\n";
}

void CDRSVGGenerator::drawEllipse(const WPXPropertyList &propList)
{
    m_out += "<svg:ellipse cx=\"";
    points(propList, "svg:cx");
    m_out += "\" cy=\"";
    points(propList, "svg:cy");
    m_out += "\" rx=\"";
    points(propList, "svg:rx");
    m_out += "\" ry=\"";
    points(propList, "svg:ry");
    m_out += "\" ";
    writeStyle();
    writeRotation(propList, "svg:cx", "svg:cy", " transform=\" translate(", ")\" ");
    m_out += "/>\n";
}

void CDRSVGGenerator::writeRotation(const WPXPropertyList &propList, std::string_view xKey,
                                    std::string_view yKey, std::string_view opening,
                                    std::string_view closing)
{
    // NaN counts as a rotation: only an exact zero leaves the shape as it is.
    const WPXProperty *rotate = propList["libwpg:rotate"];
    if (!rotate || rotate->getDouble() == 0)
        return;
    m_out += opening;
    points(propList, xKey);
    m_out += ", ";
    points(propList, yKey);
    m_out += ") rotate(";
    number(-rotate->getDouble());
    m_out += ") translate(";
    number(-72 * realOf(propList, xKey));
    m_out += ", ";
    number(-72 * realOf(propList, yKey));
    m_out += closing;
}

void CDRSVGGenerator::drawPolygon(const WPXPropertyListVector &vertices)
{
    writeVertices(vertices, true);
}

void CDRSVGGenerator::drawPolyline(const WPXPropertyListVector &vertices)
{
    writeVertices(vertices, false);
}

void CDRSVGGenerator::writeVertices(const WPXPropertyListVector &vertices, bool closed)
{
    if (vertices.count() < 2)
        return;
    if (vertices.count() == 2) {
        m_out += "<svg:line x1=\"";
        points(vertices[0], "svg:x");
        m_out += "\"  y1=\"";
        points(vertices[0], "svg:y");
        m_out += "\" x2=\"";
        points(vertices[1], "svg:x");
        m_out += "\"  y2=\"";
        points(vertices[1], "svg:y");
        m_out += "\"\n";
    } else {
        m_out += closed ? "<svg:polygon " : "<svg:polyline ";
        m_out += "points=\"";
        for (std::size_t i = 0; i < vertices.count(); ++i) {
            if (i > 0)
                m_out += ", ";
            points(vertices[i], "svg:x");
            m_out += " ";
            points(vertices[i], "svg:y");
        }
        m_out += "\"\n";
    }
    writeStyle();
    m_out += "/>\n";
}

void CDRSVGGenerator::drawPath(const WPXPropertyListVector &path)
{
    m_out += "<svg:path d=\" ";
    const std::size_t count = path.count();
    for (std::size_t i = 0; i < count; ++i) {
        const WPXPropertyList &element = path[i];
        const WPXProperty *actionProperty = element["libwpg:path-action"];
        if (!actionProperty)
            continue;
        const std::string action = actionProperty->getStr();
        const auto endPoint = [&] {
            points(element, "svg:x");
            m_out += ",";
            points(element, "svg:y");
        };
        const auto controlPoint = [&](const char *x, const char *y) {
            points(element, x);
            m_out += ",";
            points(element, y);
            m_out += " ";
        };
        if (action == "M" || action == "L") {
            m_out += '\n';
            m_out += action;
            endPoint();
        } else if (action == "C") {
            m_out += "\nC";
            controlPoint("svg:x1", "svg:y1");
            controlPoint("svg:x2", "svg:y2");
            endPoint();
        } else if (action == "Q") {
            m_out += "\nQ";
            controlPoint("svg:x1", "svg:y1");
            endPoint();
        } else if (action == "A") {
            m_out += "\nA";
            controlPoint("svg:rx", "svg:ry");
            number(realOr(element["libwpg:rotate"], 0.0));
            m_out += " ";
            const WPXProperty *largeArc = element["libwpg:large-arc"];
            const WPXProperty *sweep = element["libwpg:sweep"];
            m_out += std::to_string(largeArc ? largeArc->getInt() : 1);
            m_out += ",";
            m_out += std::to_string(sweep ? sweep->getInt() : 1);
            m_out += " ";
            endPoint();
        } else if (action == "Z" && i == count - 1 && i >= 3) {
            m_out += "\nZ";
        }
    }
    m_out += "\" \n";
    writeStyle();
    m_out += "/>\n";
}

void CDRSVGGenerator::drawGraphicObject(const WPXPropertyList &propList,
                                        const WPXBinaryData &binaryData)
{
    const WPXProperty *mimeType = propList["libwpg:mime-type"];
    if (!mimeType || mimeType->getStr().empty())
        return;
    const std::string url =
        TMPManager::instance().save(binaryData.getDataBuffer(), binaryData.size());
    // An image that could not be saved is left out: a reference to nothing
    // would only show as a broken picture.
    if (url.empty())
        return;

    m_out += "<svg:image ";
    if (propList["svg:x"] && propList["svg:y"] && propList["svg:width"] && propList["svg:height"]) {
        m_out += "x=\"";
        points(propList, "svg:x");
        m_out += "\" y=\"";
        points(propList, "svg:y");
        m_out += "\" ";
    }
    m_out += "width=\"";
    points(propList, "svg:width");
    m_out += "\" height=\"";
    points(propList, "svg:height");
    m_out += "\" ";
    // The frame is where the drawing shows the whole bitmap, stretched if
    // need be; a web view would otherwise keep the bitmap's own proportions.
    if (const auto size = bitmapSize(binaryData)) {
        const double frameAspect = realOf(propList, "svg:width") / realOf(propList, "svg:height");
        const double bitmapAspect = double(size->first) / size->second;
        if (!(std::abs(frameAspect / bitmapAspect - 1) < AspectTolerance))
            m_out += "preserveAspectRatio=\"none\" ";
    }
    writeImageTransform(propList);
    m_out += "xlink:href=\"";
    WPXString::appendEscaped(m_out, url);
    m_out += "\" />\n";
}

void CDRSVGGenerator::writeImageTransform(const WPXPropertyList &propList)
{
    const bool mirrorX = isText(propList["draw:mirror-horizontal"], "true");
    const bool mirrorY = isText(propList["draw:mirror-vertical"], "true");
    double angle = realOr(propList["libwpg:rotate"], 0.0);
    if (!mirrorX && !mirrorY && angle == 0)
        return;
    // libcdr measures the turn of a mirrored bitmap the other way round.
    if (mirrorX != mirrorY && angle != 0)
        angle = -angle;
    const double centreX = realOf(propList, "svg:x") + realOf(propList, "svg:width") / 2;
    const double centreY = realOf(propList, "svg:y") + realOf(propList, "svg:height") / 2;
    m_out += "transform=\"translate(";
    number(centreX * 72);
    m_out += ", ";
    number(centreY * 72);
    m_out += ") rotate(";
    number(angle);
    m_out += ") scale(";
    m_out += mirrorX ? "-1" : "1";
    m_out += ", ";
    m_out += mirrorY ? "-1" : "1";
    m_out += ") translate(";
    number(-72 * centreX);
    m_out += ", ";
    number(-72 * centreY);
    m_out += ")\" ";
}

void CDRSVGGenerator::startTextObject(const WPXPropertyList &propList,
                                      const WPXPropertyListVector &)
{
    if (m_text)
        endTextObject();
    m_text.emplace(TextObject{});
    m_text->frame = propList;
}

void CDRSVGGenerator::endTextObject()
{
    if (!m_text)
        return;
    const TextObject text = std::move(*m_text);
    m_text.reset();

    std::vector<TextLayout::Line> lines;
    for (const TextLine &line : text.lines) {
        TextLayout::Line &laidOut = lines.emplace_back();
        laidOut.anchor = line.anchor;
        for (const TextSpan &span : line.spans) {
            laidOut.fontSize = std::max(laidOut.fontSize, span.fontSize);
            laidOut.text += span.plainText;
        }
    }
    const WPXPropertyList &frame = text.frame;
    const TextLayout::Anchor anchor =
        lines.empty() ? TextLayout::Anchor::Start : lines.front().anchor;
    const bool positioned = frame["svg:x"] && frame["svg:y"];
    const TextFrame placed = textFrame(frame, anchor);
    const TextLayout::Frame &box = placed.box;
    const std::optional<TextLayout::Transform> &transform = placed.transform;
    if (positioned && TextLayout::wrapsInFrame(box, lines)) {
        writeWrappedText(text, box, TextLayout::sizesOf(lines), transform);
        return;
    }
    const std::vector<TextLayout::Placement> placements =
        placed.atOrigin ? TextLayout::placeAtOrigin(box, lines) : TextLayout::place(box, lines);

    m_out += "<svg:text ";
    if (positioned) {
        m_out += "x=\"";
        number(placements.empty() ? box.x : placements.front().x);
        m_out += "\" y=\"";
        number(placements.empty() ? box.y : placements.front().baseline);
        m_out += "\"";
    }
    writeAnchor(anchor, " text-anchor=\"", "\"");
    const double width = TextLayout::fittedWidth(box, lines);
    if (width > 0 && positioned && !frame["libwpg:rotate"]) {
        m_out += " textLength=\"";
        number(width);
        m_out += "\" lengthAdjust=\"spacingAndGlyphs\"";
    }
    writeTextTransform(frame, transform);
    m_out += ">\n";

    double baseline = placements.empty() ? 0.0 : placements.front().baseline;
    for (std::size_t i = 0; i < text.lines.size(); ++i) {
        const TextLine &line = text.lines[i];
        // A position on a span without characters is lost, so the line is
        // placed by its first span with some.
        const auto firstDrawn =
            std::find_if(line.spans.begin(), line.spans.end(),
                         [](const TextSpan &s) { return !s.plainText.empty(); });
        for (auto span = line.spans.begin(); span != line.spans.end(); ++span) {
            if (span->raw) {
                m_out += span->content;
                continue;
            }
            m_out += "<svg:tspan ";
            // A later line starts below the previous one, back at the
            // text's edge; the first line is placed by the text element.
            if (span == firstDrawn && i > 0 && placements[i].newLine) {
                m_out += "x=\"";
                number(placements[i].x);
                m_out += "\" dy=\"";
                number(placements[i].baseline - baseline);
                m_out += "\" ";
                baseline = placements[i].baseline;
                if (line.anchor != anchor)
                    writeAnchor(line.anchor, "text-anchor=\"", "\" ");
            }
            m_out += span->attributes;
            m_out += span->content;
            m_out += "</svg:tspan>\n";
        }
    }
    m_out += "</svg:text>\n";
}

// Paragraphs of a text box that CorelDRAW wrapped at the box's width: SVG
// text cannot wrap, so they go into the box as XHTML, which the web view
// wraps with the fonts it really has.
void CDRSVGGenerator::writeWrappedText(const TextObject &text, const TextLayout::Frame &box,
                                       const std::vector<double> &sizes,
                                       const std::optional<TextLayout::Transform> &transform)
{
    // Even metric-compatible faces differ a little in kerning and hinting:
    // the box grows away from its aligned edge, so that a line that just
    // fitted in CorelDRAW does not wrap here.
    const double slack = box.width * WrapSlack;
    double x = box.x;
    if (!text.lines.empty() && text.lines.front().anchor == TextLayout::Anchor::Middle)
        x -= slack / 2;
    else if (!text.lines.empty() && text.lines.front().anchor == TextLayout::Anchor::End)
        x -= slack;
    m_out += "<svg:foreignObject x=\"";
    number(x);
    m_out += "\" y=\"";
    number(box.y);
    m_out += "\" width=\"";
    number(box.width + slack);
    m_out += "\" height=\"";
    number(box.height);
    m_out += "\"";
    writeTextTransform(text.frame, transform);
    m_out += ">\n<div xmlns=\"http://www.w3.org/1999/xhtml\" style=\"line-height: ";
    number(TextLayout::LineSpacing);
    m_out += "; \">\n";
    for (std::size_t i = 0; i < text.lines.size(); ++i) {
        const TextLine &line = text.lines[i];
        // Spaces and tabs as the drawing has them; the line feeds between
        // paragraphs are outside them and so take no room.
        m_out += "<div style=\"white-space: pre-wrap; ";
        if (line.anchor != TextLayout::Anchor::Start)
            m_out += line.anchor == TextLayout::Anchor::Middle ? "text-align: center; "
                                                               : "text-align: right; ";
        // The paragraph's own size, so that its lines are no taller than its text.
        m_out += "font-size: ";
        number(sizes[i]);
        m_out += "px; \">";
        if (line.spans.empty())
            m_out += "<br/>";
        for (const TextSpan &span : line.spans) {
            if (span.raw) {
                WPXString::appendEscaped(m_out, span.plainText);
                continue;
            }
            m_out += "<span style=\"";
            m_out += span.css;
            m_out += "\">";
            WPXString::appendEscaped(m_out, span.plainText);
            m_out += "</span>";
        }
        m_out += "</div>\n";
    }
    m_out += "</div>\n</svg:foreignObject>\n";
}

void CDRSVGGenerator::writeTextTransform(const WPXPropertyList &frame,
                                         const std::optional<TextLayout::Transform> &transform)
{
    if (!transform) {
        writeRotation(frame, "svg:x", "svg:y", " transform=\"translate(", ")\"");
        return;
    }
    m_out += " transform=\"matrix(";
    for (double value : {transform->a, transform->b, transform->c, transform->d, transform->e}) {
        number(value);
        m_out += ' ';
    }
    number(transform->f);
    m_out += ")\"";
}

void CDRSVGGenerator::writeAnchor(TextLayout::Anchor anchor, std::string_view opening,
                                  std::string_view closing)
{
    if (anchor == TextLayout::Anchor::Start)
        return;
    m_out += opening;
    m_out += anchor == TextLayout::Anchor::Middle ? "middle" : "end";
    m_out += closing;
}

void CDRSVGGenerator::startTextLine(const WPXPropertyList &propList)
{
    if (!m_text)
        return;
    TextLine &line = m_text->lines.emplace_back();
    if (const WPXProperty *align = propList["fo:text-align"]) {
        const std::string value = align->getStr();
        if (value == "center")
            line.anchor = TextLayout::Anchor::Middle;
        else if (value == "end" || value == "right")
            line.anchor = TextLayout::Anchor::End;
    }
}

void CDRSVGGenerator::endTextLine() {}

CDRSVGGenerator::TextLine &CDRSVGGenerator::currentTextLine()
{
    if (m_text->lines.empty())
        m_text->lines.emplace_back();
    return m_text->lines.back();
}

// The span's attributes as CSS declarations, for text written as XHTML.
std::string CDRSVGGenerator::spanStyle(const WPXPropertyList &propList)
{
    const std::size_t mark = m_out.size();
    if (const WPXProperty *font = propList["style:font-name"]) {
        m_out += "font-family: ";
        appendAttributeText(FontFamily::cssFamilyList(font->getStr()));
        m_out += "; ";
    }
    for (const auto &[declaration, key] :
         {std::pair{"font-style: ", "fo:font-style"}, std::pair{"font-weight: ", "fo:font-weight"},
          std::pair{"font-variant: ", "fo:font-variant"}, std::pair{"color: ", "fo:color"},
          std::pair{"text-transform: ", "fo:text-transform"}}) {
        if (const WPXProperty *value = propList[key]) {
            m_out += declaration;
            appendAttributeText(value->getStr());
            m_out += "; ";
        }
    }
    if (const WPXProperty *size = propList["fo:font-size"]) {
        m_out += "font-size: ";
        number(size->getDouble());
        m_out += "px; ";
    }
    if (const WPXProperty *opacity = propList["svg:fill-opacity"]) {
        m_out += "opacity: ";
        number(opacity->getDouble());
        m_out += "; ";
    }
    if (const WPXProperty *colour = propList["svg:stroke-color"]) {
        m_out += "-webkit-text-stroke: ";
        points(propList, "svg:stroke-width");
        m_out += "px ";
        appendAttributeText(colour->getStr());
        m_out += "; ";
        if (isText(propList["svg:paint-order"], "stroke"))
            m_out += "paint-order: stroke; ";
    }
    std::string style = m_out.substr(mark);
    m_out.resize(mark);
    return style;
}

// Text from the drawing inside a double-quoted attribute: a font name with
// a quote or an ampersand must not break the page.
void CDRSVGGenerator::appendAttributeText(std::string_view value)
{
    for (char c : value) {
        switch (c) {
        case '&':
            m_out += "&amp;";
            break;
        case '<':
            m_out += "&lt;";
            break;
        case '>':
            m_out += "&gt;";
            break;
        case '"':
            m_out += "&quot;";
            break;
        default:
            m_out += c;
        }
    }
}

void CDRSVGGenerator::startTextSpan(const WPXPropertyList &propList)
{
    // Outside a text object a span is written where it stands.
    const std::size_t mark = m_out.size();
    if (!m_text)
        m_out += "<svg:tspan ";

    const WPXProperty *fontSize = propList["fo:font-size"];
    if (const WPXProperty *font = propList["style:font-name"]) {
        m_out += "font-family=\"";
        appendAttributeText(FontFamily::cssFamilyList(font->getStr()));
        m_out += "\" ";
    }
    for (const auto &[attribute, key] : {std::pair{"font-style=\"", "fo:font-style"},
                                         std::pair{"font-weight=\"", "fo:font-weight"},
                                         std::pair{"font-variant=\"", "fo:font-variant"}}) {
        if (const WPXProperty *value = propList[key]) {
            m_out += attribute;
            appendAttributeText(value->getStr());
            m_out += "\" ";
        }
    }
    if (fontSize) {
        m_out += "font-size=\"";
        number(fontSize->getDouble());
        m_out += "\" ";
    }
    for (const auto &[attribute, key] :
         {std::pair{"fill=\"", "fo:color"}, std::pair{"text-transform=\"", "fo:text-transform"}}) {
        if (const WPXProperty *value = propList[key]) {
            m_out += attribute;
            appendAttributeText(value->getStr());
            m_out += "\" ";
        }
    }
    for (const auto &[attribute, key] : {std::pair{"fill-opacity=\"", "svg:fill-opacity"},
                                         std::pair{"stroke-opacity=\"", "svg:stroke-opacity"}}) {
        if (propList[key]) {
            m_out += attribute;
            number(realOf(propList, key));
            m_out += "\" ";
        }
    }
    // Outlined glyphs.
    if (const WPXProperty *colour = propList["svg:stroke-color"]) {
        m_out += "stroke=\"";
        appendAttributeText(colour->getStr());
        m_out += "\" stroke-width=\"";
        points(propList, "svg:stroke-width");
        m_out += "\" ";
        if (isText(propList["svg:paint-order"], "stroke"))
            m_out += "paint-order=\"stroke\" ";
    }
    m_out += ">\n";
    if (!m_text)
        return;

    TextSpan span;
    span.attributes = m_out.substr(mark);
    m_out.resize(mark);
    span.css = spanStyle(propList);
    // A span without a size of its own keeps the size of the one before.
    span.fontSize =
        fontSize && fontSize->getDouble() > 0 ? fontSize->getDouble() : m_text->lastFontSize;
    m_text->lastFontSize = span.fontSize;
    currentTextLine().spans.push_back(std::move(span));
    m_text->spanOpen = true;
}

void CDRSVGGenerator::endTextSpan()
{
    if (m_text)
        m_text->spanOpen = false;
    else
        m_out += "</svg:tspan>\n";
}

void CDRSVGGenerator::insertText(const WPXString &text)
{
    std::string *out = &m_out;
    if (m_text) {
        TextLine &line = currentTextLine();
        // Text outside a span stands on its own, as it would be written.
        if (!m_text->spanOpen || line.spans.empty()) {
            line.spans.emplace_back().raw = true;
            m_text->spanOpen = false;
        }
        line.spans.back().plainText += text.str();
        out = &line.spans.back().content;
    }
    WPXString::appendEscaped(*out, text.str());
    *out += '\n';
}
