#include "DrawingExport.h"

#include "PagePicture.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cairo-pdf.h>
#include <cairo.h>

#include <cmath>
#include <memory>

namespace DrawingExport {

namespace {

// cairo's largest picture side, and a bound on the memory one picture takes
// (four bytes a pixel).
constexpr double MaximumSide = 32767;
constexpr double MaximumPixels = 200e6;

QString tr(const char *text)
{
    return QCoreApplication::translate("DrawingExport", text);
}

void setError(Error *error, int code, const QString &message)
{
    if (error)
        *error = Error::withDescription(DrawingPages::ErrorDomain, code, message);
}

QList<int> pagesToWrite(const DrawingPages &pages, const Options &options, Error *error)
{
    if (options.page) {
        if (*options.page < 0 || *options.page >= pages.count()) {
            setError(error, NoSuchPageError,
                     tr("The drawing has no page %1; its pages are 1 to %2.")
                         .arg(*options.page + 1)
                         .arg(pages.count()));
            return {};
        }
        return {*options.page};
    }
    QList<int> all;
    for (int i = 0; i < pages.count(); ++i)
        all.append(i);
    return all;
}

// The pixel size of the picture of `bounds` at the scale, if it can be
// made.
std::optional<QSize> pictureSize(const QRectF &bounds, double scale, Error *error)
{
    const double width = std::ceil(bounds.width() * scale);
    const double height = std::ceil(bounds.height() * scale);
    if (width > MaximumSide || height > MaximumSide || width * height > MaximumPixels) {
        setError(error, TooLargeError,
                 tr("The picture would be %1 by %2 pixels, too large to make; choose a lower "
                    "resolution.")
                     .arg(width, 0, 'f', 0)
                     .arg(height, 0, 'f', 0));
        return std::nullopt;
    }
    return QSize(std::max(1, int(width)), std::max(1, int(height)));
}

std::optional<QByteArray> png(const PagePicture &picture, double dotsPerInch, Error *error)
{
    const double scale = dotsPerInch / 72;
    const std::optional<QSize> size = pictureSize(picture.bounds(), scale, error);
    if (!size)
        return std::nullopt;
    QImage image = picture.image(*size, scale, Qt::white);
    if (image.isNull()) {
        setError(error, TooLargeError, tr("There is not enough memory to draw the page."));
        return std::nullopt;
    }
    const int dotsPerMeter = int(std::lround(dotsPerInch / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        setError(error, WriteError, tr("The picture cannot be encoded."));
        return std::nullopt;
    }
    return bytes;
}

cairo_status_t appendToByteArray(void *closure, const unsigned char *data, unsigned int length)
{
    static_cast<QByteArray *>(closure)->append(reinterpret_cast<const char *>(data),
                                               qsizetype(length));
    return CAIRO_STATUS_SUCCESS;
}

// All pages in one PDF, each page as large as its drawing, in vectors.
std::optional<QByteArray> pdf(const QList<const PagePicture *> &pictures, const QString &title,
                              Error *error)
{
    QByteArray bytes;
    const QRectF first = pictures.first()->bounds();
    cairo_surface_t *surface = cairo_pdf_surface_create_for_stream(appendToByteArray, &bytes,
                                                                   first.width(), first.height());
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, "Quillmoor");
    if (!title.isEmpty())
        cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE,
                                       title.toUtf8().constData());
    cairo_t *context = cairo_create(surface);
    bool drawn = true;
    for (const PagePicture *picture : pictures) {
        cairo_pdf_surface_set_size(surface, picture->bounds().width(), picture->bounds().height());
        drawn = drawn && picture->render(context, 1.0);
        cairo_show_page(context);
    }
    cairo_destroy(context);
    cairo_surface_finish(surface);
    drawn = drawn && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    if (!drawn) {
        setError(error, PagePicture::UnreadablePageError,
                 tr("A page of the drawing cannot be drawn."));
        return std::nullopt;
    }
    return bytes;
}

// Commits every file or none.
bool writeFiles(const QStringList &paths, const QList<QByteArray> &contents, Error *error)
{
    std::vector<std::unique_ptr<QSaveFile>> files;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        auto file = std::make_unique<QSaveFile>(paths[i]);
        if (!file->open(QIODevice::WriteOnly) || file->write(contents[i]) != contents[i].size()) {
            setError(error, WriteError,
                     tr("%1 cannot be written: %2").arg(paths[i], file->errorString()));
            return false; // the unfinished files go with their objects
        }
        files.push_back(std::move(file));
    }
    QStringList committed;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!files[i]->commit()) {
            setError(error, WriteError,
                     tr("%1 cannot be written: %2").arg(paths[i], files[i]->errorString()));
            for (const QString &path : std::as_const(committed))
                QFile::remove(path);
            return false;
        }
        committed.append(paths[i]);
    }
    return true;
}

std::unique_ptr<PagePicture> loadPage(const DrawingPages &pages, int page, Error *error)
{
    if (page < 0 || page >= pages.count()) {
        setError(error, NoSuchPageError, tr("The drawing has no page %1.").arg(page + 1));
        return nullptr;
    }
    return PagePicture::load(pages.page(page), error);
}

} // namespace

std::optional<Format> formatNamed(QStringView name)
{
    for (Format format : {Format::Png, Format::Pdf, Format::Svg})
        if (name.compare(suffix(format), Qt::CaseInsensitive) == 0)
            return format;
    return std::nullopt;
}

QString suffix(Format format)
{
    switch (format) {
    case Format::Png:
        return QStringLiteral("png");
    case Format::Pdf:
        return QStringLiteral("pdf");
    case Format::Svg:
        return QStringLiteral("svg");
    }
    return {};
}

QStringList targetPaths(const QString &outputPath, const Options &options, int pageCount)
{
    if (options.format == Format::Pdf || options.page || pageCount <= 1)
        return {outputPath};
    const QFileInfo info(outputPath);
    const QString suffix = info.suffix();
    const QString stem = suffix.isEmpty() ? outputPath : outputPath.chopped(suffix.size() + 1);
    QStringList paths;
    for (int i = 1; i <= pageCount; ++i)
        paths.append(suffix.isEmpty() ? QStringLiteral("%1-%2").arg(stem).arg(i)
                                      : QStringLiteral("%1-%2.%3").arg(stem).arg(i).arg(suffix));
    return paths;
}

bool write(const DrawingPages &pages, const Options &options, const QString &outputPath,
           Error *error)
{
    const QList<int> indexes = pagesToWrite(pages, options, error);
    if (indexes.isEmpty())
        return false;
    if (options.dotsPerInch < MinimumDotsPerInch || options.dotsPerInch > MaximumDotsPerInch) {
        setError(error, TooLargeError,
                 tr("The resolution must be between %1 and %2 dots per inch.")
                     .arg(MinimumDotsPerInch)
                     .arg(MaximumDotsPerInch));
        return false;
    }

    std::vector<std::unique_ptr<PagePicture>> pictures;
    for (int index : indexes) {
        std::unique_ptr<PagePicture> picture = PagePicture::load(pages.page(index), error);
        if (!picture)
            return false;
        pictures.push_back(std::move(picture));
    }

    QList<QByteArray> contents;
    if (options.format == Format::Pdf) {
        QList<const PagePicture *> all;
        for (const auto &picture : pictures)
            all.append(picture.get());
        std::optional<QByteArray> bytes = pdf(all, options.title, error);
        if (!bytes)
            return false;
        contents.append(std::move(*bytes));
    } else {
        for (const auto &picture : pictures) {
            if (options.format == Format::Svg) {
                contents.append(picture->svg());
                continue;
            }
            std::optional<QByteArray> bytes = png(*picture, options.dotsPerInch, error);
            if (!bytes)
                return false;
            contents.append(std::move(*bytes));
        }
    }
    return writeFiles(targetPaths(outputPath, options, pages.count()), contents, error);
}

QImage thumbnail(const DrawingPages &pages, int size, Error *error)
{
    const std::unique_ptr<PagePicture> picture = loadPage(pages, 0, error);
    if (!picture)
        return {};
    const QRectF bounds = picture->bounds();
    const double scale = double(size) / std::max(bounds.width(), bounds.height());
    const QSize pixels(std::max(1, int(std::lround(bounds.width() * scale))),
                       std::max(1, int(std::lround(bounds.height() * scale))));
    QImage image = picture->image(pixels, scale, Qt::white);
    if (image.isNull())
        setError(error, PagePicture::UnreadablePageError,
                 tr("A page of the drawing cannot be drawn."));
    return image;
}

QImage pageImage(const DrawingPages &pages, int page, double dotsPerInch, Error *error)
{
    const std::unique_ptr<PagePicture> picture = loadPage(pages, page, error);
    if (!picture)
        return {};
    const double scale = dotsPerInch / 72;
    const std::optional<QSize> size = pictureSize(picture->bounds(), scale, error);
    if (!size)
        return {};
    QImage image = picture->image(*size, scale, Qt::white);
    if (image.isNull())
        setError(error, TooLargeError, tr("There is not enough memory to draw the page."));
    return image;
}

} // namespace DrawingExport
