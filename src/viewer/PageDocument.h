#pragma once

#include <QByteArray>
#include <QList>
#include <QSizeF>

// Reads the page document that a conversion makes: the SVG text of each
// page, and the page's size as the drawing gives it (before the page's
// script sizes it to its content).
namespace PageDocument {

// Each page's SVG text, in order, sharing the document's bytes.
QList<QByteArray> pages(const QByteArray &document);

// The page's size from its root element, in pixels of magnification 1;
// empty when the page states none.
QSizeF pageSize(const QByteArray &page);

} // namespace PageDocument
