#pragma once

#include "WPXBinaryData.h"
#include "WPXPropertyList.h"
#include "WPXPropertyListVector.h"
#include "WPXString.h"

// The drawing callbacks through which a parsed drawing reaches the SVG
// generator, in the order a page is described. Lengths are inches.
class WPGPaintInterface
{
public:
    virtual ~WPGPaintInterface() = default;

    virtual void startGraphics(const WPXPropertyList &propList) = 0;
    virtual void endGraphics() = 0;
    virtual void setStyle(const WPXPropertyList &propList,
                          const WPXPropertyListVector &gradient) = 0;
    virtual void startLayer(const WPXPropertyList &propList) = 0;
    virtual void endLayer() = 0;
    virtual void startEmbeddedGraphics(const WPXPropertyList &propList) = 0;
    virtual void endEmbeddedGraphics() = 0;
    virtual void drawRectangle(const WPXPropertyList &propList) = 0;
    virtual void drawEllipse(const WPXPropertyList &propList) = 0;
    virtual void drawPolygon(const WPXPropertyListVector &vertices) = 0;
    virtual void drawPolyline(const WPXPropertyListVector &vertices) = 0;
    virtual void drawPath(const WPXPropertyListVector &path) = 0;
    virtual void drawGraphicObject(const WPXPropertyList &propList,
                                   const WPXBinaryData &binaryData) = 0;
    virtual void startTextObject(const WPXPropertyList &propList,
                                 const WPXPropertyListVector &path) = 0;
    virtual void endTextObject() = 0;
    virtual void startTextLine(const WPXPropertyList &propList) = 0;
    virtual void endTextLine() = 0;
    virtual void startTextSpan(const WPXPropertyList &propList) = 0;
    virtual void endTextSpan() = 0;
    virtual void insertText(const WPXString &text) = 0;
};
