#pragma once

#include "DrawingPages.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <optional>

// Writes pages of a drawing as PNG pictures, one vector PDF or SVG
// documents. Every file is written under a temporary name and renamed once
// complete, and either all files of an export are written or none is: a
// failed export leaves nothing that looks like a result.
namespace DrawingExport {

enum class Format
{
    Png,
    Pdf,
    Svg
};

constexpr int NoSuchPageError = 3;
constexpr int TooLargeError = 4;
constexpr int WriteError = 5;

// Picture resolutions offered and accepted, in dots per inch.
constexpr double DefaultDotsPerInch = 96;
constexpr double MinimumDotsPerInch = 1;
constexpr double MaximumDotsPerInch = 2400;

struct Options
{
    Format format = Format::Png;
    // The page, counted from 0; all pages when none is given.
    std::optional<int> page;
    // For PNG pictures.
    double dotsPerInch = DefaultDotsPerInch;
    // For the PDF's properties, usually the drawing's file name.
    QString title;
};

// "png", "pdf" or "svg", in any case.
std::optional<Format> formatNamed(QStringView name);
QString suffix(Format format);

// The files an export writes: the output path itself, except for several
// PNG or SVG pages, which go to files numbered from 1 beside it
// ("name-1.png", "name-2.png", ...).
QStringList targetPaths(const QString &outputPath, const Options &options, int pageCount);

// Renders and writes; false, with *error set, when nothing was written.
bool write(const DrawingPages &pages, const Options &options, const QString &outputPath,
           Error *error);

// A picture of the first page no larger than `size` pixels either way, on
// white; null, with *error set, when it cannot be drawn.
QImage thumbnail(const DrawingPages &pages, int size, Error *error);

// The page drawn at `dotsPerInch` on white, for printing; null, with
// *error set, when it cannot be drawn.
QImage pageImage(const DrawingPages &pages, int page, double dotsPerInch, Error *error);

} // namespace DrawingExport
