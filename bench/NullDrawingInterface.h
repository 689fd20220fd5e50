#pragma once

#include <librevenge/librevenge.h>

// Receives a parse and does nothing with it: what libcdr costs on its own.
class NullDrawingInterface : public librevenge::RVNGDrawingInterface
{
public:
    using PropertyList = librevenge::RVNGPropertyList;
    void startDocument(const PropertyList &) override {}
    void endDocument() override {}
    void setDocumentMetaData(const PropertyList &) override {}
    void defineEmbeddedFont(const PropertyList &) override {}
    void startPage(const PropertyList &) override {}
    void endPage() override {}
    void startMasterPage(const PropertyList &) override {}
    void endMasterPage() override {}
    void setStyle(const PropertyList &) override {}
    void startLayer(const PropertyList &) override {}
    void endLayer() override {}
    void startEmbeddedGraphics(const PropertyList &) override {}
    void endEmbeddedGraphics() override {}
    void openGroup(const PropertyList &) override {}
    void closeGroup() override {}
    void drawRectangle(const PropertyList &) override {}
    void drawEllipse(const PropertyList &) override {}
    void drawPolygon(const PropertyList &) override {}
    void drawPolyline(const PropertyList &) override {}
    void drawPath(const PropertyList &) override {}
    void drawGraphicObject(const PropertyList &) override {}
    void drawConnector(const PropertyList &) override {}
    void startTextObject(const PropertyList &) override {}
    void endTextObject() override {}
    void startTableObject(const PropertyList &) override {}
    void openTableRow(const PropertyList &) override {}
    void closeTableRow() override {}
    void openTableCell(const PropertyList &) override {}
    void closeTableCell() override {}
    void insertCoveredTableCell(const PropertyList &) override {}
    void endTableObject() override {}
    void insertTab() override {}
    void insertSpace() override {}
    void insertText(const librevenge::RVNGString &) override {}
    void insertLineBreak() override {}
    void insertField(const PropertyList &) override {}
    void openOrderedListLevel(const PropertyList &) override {}
    void openUnorderedListLevel(const PropertyList &) override {}
    void closeOrderedListLevel() override {}
    void closeUnorderedListLevel() override {}
    void openListElement(const PropertyList &) override {}
    void closeListElement() override {}
    void defineParagraphStyle(const PropertyList &) override {}
    void openParagraph(const PropertyList &) override {}
    void closeParagraph() override {}
    void defineCharacterStyle(const PropertyList &) override {}
    void openSpan(const PropertyList &) override {}
    void closeSpan() override {}
    void openLink(const PropertyList &) override {}
    void closeLink() override {}
};
