#pragma once

#include "foundation/Error.h"

#include <QByteArray>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QUrl>

#include <optional>

// The pages of a page document, each as a standalone SVG document that any
// SVG reader can draw: SVG elements without the svg: prefix, the viewer's
// script left out, drawn images embedded as data URLs, and every text box
// written as XHTML given a fallback of SVG text lines, laid out with the
// same fonts, for readers without HTML (see WrappedText).
class DrawingPages
{
public:
    static inline const QString ErrorDomain = QStringLiteral("QuillmoorExportErrorDomain");
    static constexpr int UnreadableDocumentError = 1;

    // The group that holds a page's content.
    static inline const QByteArray ContentId = QByteArrayLiteral("quillmoorPage");

    struct Page
    {
        // The size the drawing gives the page, in points; empty when it
        // gives none.
        QSizeF pageSize;
        // What goes inside the root element.
        QByteArray content;
        // The same with each drawn image as a rectangle in its place.
        QByteArray outline;

        // The page as an SVG document showing the area `viewBox` (in
        // points, at one pixel per point), or the page's own size when none
        // is given.
        QByteArray svg(const std::optional<QRectF> &viewBox = std::nullopt) const;
        // The page with its images as plain rectangles, for measuring what
        // it draws (librsvg leaves images out of its measures).
        QByteArray outlineSvg() const;
    };

    // Reads the pages of a page document. Drawn images are read only from
    // `imageFiles`, the files the conversion wrote; a reference to any other
    // file is left out, as is an image that cannot be read. Nothing (with
    // *error set) when the document is not well-formed. With a page limit,
    // only that many pages are read (the rest is not looked at).
    static std::optional<DrawingPages> fromPageDocument(const QByteArray &document,
                                                        const QList<QUrl> &imageFiles, Error *error,
                                                        std::optional<int> pageLimit = {});

    int count() const { return int(m_pages.size()); }
    const Page &page(int index) const { return m_pages.at(index); }

private:
    QList<Page> m_pages;
};
