#pragma once

#include "CDRStringVector.h"
#include "TextLayout.h"
#include "WPGPaintInterface.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Writes each page of a drawing as one SVG text and appends it to the page
// list when the page ends. Ids of gradients, patterns and shadows count up
// across all pages, because the viewer shows every page in one document.
class CDRSVGGenerator : public WPGPaintInterface
{
public:
    explicit CDRSVGGenerator(CDRStringVector &pages);

    void startGraphics(const WPXPropertyList &propList) override;
    void endGraphics() override;
    void setStyle(const WPXPropertyList &propList, const WPXPropertyListVector &gradient) override;
    void startLayer(const WPXPropertyList &propList) override;
    void endLayer() override;
    void startEmbeddedGraphics(const WPXPropertyList &propList) override;
    void endEmbeddedGraphics() override;
    void drawRectangle(const WPXPropertyList &propList) override;
    void drawEllipse(const WPXPropertyList &propList) override;
    void drawPolygon(const WPXPropertyListVector &vertices) override;
    void drawPolyline(const WPXPropertyListVector &vertices) override;
    void drawPath(const WPXPropertyListVector &path) override;
    void drawGraphicObject(const WPXPropertyList &propList,
                           const WPXBinaryData &binaryData) override;
    void startTextObject(const WPXPropertyList &propList,
                         const WPXPropertyListVector &path) override;
    void endTextObject() override;
    void startTextLine(const WPXPropertyList &propList) override;
    void endTextLine() override;
    void startTextSpan(const WPXPropertyList &propList) override;
    void endTextSpan() override;
    void insertText(const WPXString &text) override;

    // The number format of every real in the output: at most six
    // significant digits, "%g" style, always with "." as separator.
    static std::string formatNumber(double value);

private:
    void number(double value);
    // Writes a length key in points (the value is inches); absent keys count as 0.
    void points(const WPXPropertyList &list, std::string_view key);
    void text(const WPXPropertyList &list, std::string_view key);
    void appendAttributeText(std::string_view value);
    void writeStyle();
    void writeShadow();
    void writeGradient();
    void writeGradientWithStops(double angle);
    void writeTwoColourGradient(std::string_view kind, double angle);
    void writeTwoColourStop(std::string_view offset, std::string_view colourKey,
                            std::string_view opacityKey);
    void writeRotatedGradient(double angle);
    void writePattern();
    // Turns a shape by -libwpg:rotate degrees about the point (xKey, yKey).
    void writeRotation(const WPXPropertyList &propList, std::string_view xKey,
                       std::string_view yKey, std::string_view opening, std::string_view closing);
    void writeVertices(const WPXPropertyListVector &vertices, bool closed);
    // Mirrors and turns an image about its centre as the drawing does.
    void writeImageTransform(const WPXPropertyList &propList);

    WPXPropertyListVector m_gradient;
    WPXPropertyList m_style;
    int m_gradientIndex = 1;
    int m_patternIndex = 1;
    int m_shadowIndex = 1;
    std::string m_out;
    CDRStringVector &m_pages;

    // A text object is written when it ends, once the place of each line
    // is known.
    struct TextSpan
    {
        bool raw = false;       // text outside any span
        std::string attributes; // the span's start tag after its position
        std::string content;    // escaped, as written
        std::string css;        // the attributes as CSS, for wrapped text
        std::string plainText;
        double fontSize = 0;
    };
    struct TextLine
    {
        TextLayout::Anchor anchor = TextLayout::Anchor::Start;
        std::vector<TextSpan> spans;
    };
    struct TextObject
    {
        WPXPropertyList frame;
        std::vector<TextLine> lines;
        bool spanOpen = false;
        double lastFontSize = 0;
    };
    TextLine &currentTextLine();
    void writeWrappedText(const TextObject &text, const TextLayout::Frame &box,
                          const std::vector<double> &sizes,
                          const std::optional<TextLayout::Transform> &transform);
    // Puts text laid out in its own coordinates onto the page, or turns it
    // by libwpg:rotate about its origin.
    void writeTextTransform(const WPXPropertyList &frame,
                            const std::optional<TextLayout::Transform> &transform);
    std::string spanStyle(const WPXPropertyList &propList);
    void writeAnchor(TextLayout::Anchor anchor, std::string_view opening, std::string_view closing);

    std::optional<TextObject> m_text;
};
