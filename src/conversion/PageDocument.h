#pragma once

#include <QByteArray>

class CDRStringVector;

// The XHTML page document that wraps the pages: a fixed head, each page's
// SVG text verbatim behind an inert SVG prolog (pages after the first
// behind an "<hr/>" line), and a fixed tail.
QByteArray pageDocument(const CDRStringVector &pages);
