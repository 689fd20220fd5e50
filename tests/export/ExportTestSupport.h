#pragma once

#include "conversion/TestDrawings.h"
#include "export/ConvertedDrawing.h"
#include "export/DrawingPages.h"

#include <QImage>
#include <QList>
#include <QSizeF>

#include <memory>

// A drawing of the corpus converted, with its pages read.
struct ExportedDrawing
{
    explicit ExportedDrawing(const QString &name);
    std::unique_ptr<ConvertedDrawing> converted;
    std::optional<DrawingPages> pages;
};

// Pixels that are clearly not white (or, for pictures with transparency,
// clearly visible and not white).
int inkPixels(const QImage &image);

// The page sizes of a PDF file in points, one per page; nothing when it
// cannot be read.
std::optional<QList<QSizeF>> pdfPageSizes(const QString &path);

// Whether the text is a well-formed SVG document whose root is an SVG
// element; the failure says why not.
testing::AssertionResult isWellFormedSvg(const QByteArray &svg);
