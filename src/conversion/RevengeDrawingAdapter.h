#pragma once

#include <librevenge/librevenge.h>

class WPGPaintInterface;
class WPXPropertyList;

// Receives what libcdr reports through librevenge's drawing interface and
// drives a WPGPaintInterface with it: keys renamed to the callback
// contract's, values carried with their units, paragraphs as text lines.
// Calls the contract has no place for are dropped here.
class RevengeDrawingAdapter : public librevenge::RVNGDrawingInterface
{
public:
    explicit RevengeDrawingAdapter(WPGPaintInterface &painter);

    // Translates one librevenge property list into the contract's form
    // (child vectors, and the key named, are left out).
    static WPXPropertyList convert(const librevenge::RVNGPropertyList &list,
                                   const char *skippedKey = nullptr);

    void startDocument(const librevenge::RVNGPropertyList &) override {}
    void endDocument() override {}
    void setDocumentMetaData(const librevenge::RVNGPropertyList &) override {}
    void defineEmbeddedFont(const librevenge::RVNGPropertyList &) override {}
    void startPage(const librevenge::RVNGPropertyList &propList) override;
    void endPage() override;
    // Drawings have no master pages; anything sent for one is not shown.
    void startMasterPage(const librevenge::RVNGPropertyList &) override { ++m_masterDepth; }
    void endMasterPage() override { --m_masterDepth; }
    void setStyle(const librevenge::RVNGPropertyList &propList) override;
    void startLayer(const librevenge::RVNGPropertyList &propList) override;
    void endLayer() override;
    void startEmbeddedGraphics(const librevenge::RVNGPropertyList &propList) override;
    void endEmbeddedGraphics() override;
    void openGroup(const librevenge::RVNGPropertyList &propList) override;
    void closeGroup() override;
    void drawRectangle(const librevenge::RVNGPropertyList &propList) override;
    void drawEllipse(const librevenge::RVNGPropertyList &propList) override;
    void drawPolygon(const librevenge::RVNGPropertyList &propList) override;
    void drawPolyline(const librevenge::RVNGPropertyList &propList) override;
    void drawPath(const librevenge::RVNGPropertyList &propList) override;
    void drawGraphicObject(const librevenge::RVNGPropertyList &propList) override;
    // Connectors are not part of CorelDRAW pages as libcdr reports them.
    void drawConnector(const librevenge::RVNGPropertyList &) override {}
    void startTextObject(const librevenge::RVNGPropertyList &propList) override;
    void endTextObject() override;
    // Tables do not occur in drawings; their cells carry no drawing.
    void startTableObject(const librevenge::RVNGPropertyList &) override {}
    void openTableRow(const librevenge::RVNGPropertyList &) override {}
    void closeTableRow() override {}
    void openTableCell(const librevenge::RVNGPropertyList &) override {}
    void closeTableCell() override {}
    void insertCoveredTableCell(const librevenge::RVNGPropertyList &) override {}
    void endTableObject() override {}
    void insertTab() override;
    void insertSpace() override;
    void insertText(const librevenge::RVNGString &text) override;
    void insertLineBreak() override;
    // Fields (page numbers, dates) have no stored text to show.
    void insertField(const librevenge::RVNGPropertyList &) override {}
    // List levels only indent; their elements are lines like paragraphs.
    void openOrderedListLevel(const librevenge::RVNGPropertyList &) override {}
    void openUnorderedListLevel(const librevenge::RVNGPropertyList &) override {}
    void closeOrderedListLevel() override {}
    void closeUnorderedListLevel() override {}
    void openListElement(const librevenge::RVNGPropertyList &propList) override;
    void closeListElement() override;
    // Styles arrive again with each paragraph and span that uses them.
    void defineParagraphStyle(const librevenge::RVNGPropertyList &) override {}
    void openParagraph(const librevenge::RVNGPropertyList &propList) override;
    void closeParagraph() override;
    void defineCharacterStyle(const librevenge::RVNGPropertyList &) override {}
    void openSpan(const librevenge::RVNGPropertyList &propList) override;
    void closeSpan() override;
    // A link's text is drawn by its spans; the target has no place in a picture.
    void openLink(const librevenge::RVNGPropertyList &) override {}
    void closeLink() override {}

private:
    bool drawing() const { return m_inPage && m_masterDepth == 0; }

    WPGPaintInterface &m_painter;
    bool m_inPage = false;
    int m_masterDepth = 0;
    // The open line and span, reopened after a line break.
    librevenge::RVNGPropertyList m_lineProperties;
    librevenge::RVNGPropertyList m_spanProperties;
    bool m_inLine = false;
    bool m_inSpan = false;
    // A style set between pages is applied when the next page starts, so
    // that its definitions land inside a page.
    librevenge::RVNGPropertyList m_pendingStyle;
    bool m_hasPendingStyle = false;
};
