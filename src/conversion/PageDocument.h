#pragma once

#include <QByteArray>
#include <QList>
#include <QSizeF>

class CDRStringVector;

// The XHTML page document that wraps a drawing's pages: a fixed head, each
// page's SVG text verbatim behind an inert SVG prolog (pages after the
// first behind an "<hr/>" line), and a fixed tail. Written by the
// converters, read back by the viewer.
namespace PageDocument {

QByteArray write(const CDRStringVector &pages);

// Each page's SVG text, in order, sharing the document's bytes.
QList<QByteArray> pages(const QByteArray &document);

// The page's size from its root element, in pixels of magnification 1
// (before the page's script sizes it to its content); empty when the page
// states none.
QSizeF pageSize(const QByteArray &page);

} // namespace PageDocument
