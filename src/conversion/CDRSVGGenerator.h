#pragma once

#include "CDRStringVector.h"
#include "WPGPaintInterface.h"

#include <string>
#include <string_view>

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

    WPXPropertyListVector m_gradient;
    WPXPropertyList m_style;
    int m_gradientIndex = 1;
    int m_patternIndex = 1;
    int m_shadowIndex = 1;
    std::string m_out;
    CDRStringVector &m_pages;

    // Placing the lines of a text object below one another.
    double m_textOriginX = 0.0;
    int m_textLines = 0;
    int m_pendingLineAdvances = 0;
    bool m_lineHasSpan = false;
    double m_lastFontSize = 0.0;
};
