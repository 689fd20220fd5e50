// quillmoor-convert DRAWING [--to xhtml|png|pdf|svg] [--page N|all] [--dpi D] [-o OUT]
// Converts one drawing into the page document the viewer shows (with drawn
// images embedded, so that it stands on its own), or exports its pages as
// PNG pictures, a vector PDF or SVG documents.

#include "export/ConvertedDrawing.h"
#include "export/DrawingExport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>

#include <cstdio>
#include <optional>

namespace {

enum ExitStatus
{
    Success = 0,
    Failure = 1,
    Usage = 2
};

QString tr(const char *text)
{
    return QCoreApplication::translate("quillmoor-convert", text);
}

void printError(const QString &message)
{
    std::fprintf(stderr, "quillmoor-convert: %s\n", qPrintable(message));
}

// The document with each image reference replaced by a data URL holding the
// image itself. Images are referenced in the order they were saved, so one
// pass over the document finds them all.
std::optional<QByteArray> embedImages(const QByteArray &document, const QList<QUrl> &images)
{
    QByteArray result;
    qsizetype position = 0;
    for (const QUrl &url : images) {
        QFile image(url.toLocalFile());
        if (!image.open(QIODevice::ReadOnly))
            return std::nullopt;
        const QByteArray reference = "xlink:href=\"" + url.toEncoded() + "\"";
        const qsizetype found = document.indexOf(reference, position);
        if (found < 0)
            continue;
        result.append(QByteArrayView(document).sliced(position, found - position));
        result.append("xlink:href=\"data:image/bmp;base64,");
        result.append(image.readAll().toBase64());
        result.append('"');
        position = found + reference.size();
    }
    if (position == 0)
        return document;
    result.append(QByteArrayView(document).sliced(position));
    return result;
}

bool writeDocument(const QByteArray &document, const QString &path)
{
    if (path.isEmpty())
        return std::fwrite(document.constData(), 1, size_t(document.size()), stdout) ==
                   size_t(document.size()) &&
               std::fflush(stdout) == 0;
    // Written beside the target and renamed, so a failed run leaves no file.
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(document) == document.size() &&
           file.commit();
}

int writePageDocument(const ConvertedDrawing &drawing, const QString &output)
{
    const std::optional<QByteArray> document =
        embedImages(drawing.pageDocument(), drawing.imageFiles());
    if (!document) {
        printError(tr("A drawn image cannot be read back."));
        return Failure;
    }
    if (!writeDocument(*document, output)) {
        printError(
            tr("%1 cannot be written.").arg(output.isEmpty() ? tr("The standard output") : output));
        return Failure;
    }
    return Success;
}

int exportPages(const ConvertedDrawing &drawing, DrawingExport::Options options, bool pageGiven,
                const QString &output)
{
    Error error;
    const std::optional<DrawingPages> pages =
        DrawingPages::fromPageDocument(drawing.pageDocument(), drawing.imageFiles(), &error);
    if (!pages) {
        printError(error.localizedDescription());
        return Failure;
    }
    // One picture or SVG document unless all pages are asked for.
    if (!pageGiven && options.format != DrawingExport::Format::Pdf)
        options.page = 0;
    if (!DrawingExport::write(*pages, options, output, &error)) {
        printError(error.localizedDescription());
        return Failure;
    }
    if (!pageGiven && options.format != DrawingExport::Format::Pdf && pages->count() > 1)
        printError(
            tr("wrote page 1 of %1; --page N or --page all writes others.").arg(pages->count()));
    return Success;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillmoor-convert"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        tr("Converts a CorelDRAW drawing (.cdr) or exchange file (.cmx) into an XHTML document "
           "with one SVG per page, or exports its pages as PNG, PDF or SVG."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("drawing"), tr("The drawing to convert."));
    const QCommandLineOption outputOption(
        {QStringLiteral("o"), QStringLiteral("output")},
        tr("Write to <file> (XHTML: standard output when not given)."), QStringLiteral("file"));
    const QCommandLineOption formatOption(
        QStringLiteral("to"), tr("Output format: xhtml (the default), png, pdf or svg."),
        QStringLiteral("format"), QStringLiteral("xhtml"));
    const QCommandLineOption pageOption(
        QStringLiteral("page"),
        tr("The page to export, from 1, or \"all\" (PNG and SVG pages go to numbered files). "
           "Default: all pages for PDF, page 1 otherwise."),
        QStringLiteral("N"));
    const QCommandLineOption dpiOption(
        QStringLiteral("dpi"), tr("Resolution of PNG pictures in dots per inch (default 96)."),
        QStringLiteral("D"));
    parser.addOptions({outputOption, formatOption, pageOption, dpiOption});
    parser.process(app);

    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 1) {
        std::fprintf(stderr, "%s\n", qPrintable(parser.helpText()));
        return Usage;
    }
    const QString format = parser.value(formatOption);
    const QString output = parser.value(outputOption);
    const bool pageDocument = format.compare(QLatin1String("xhtml"), Qt::CaseInsensitive) == 0;
    DrawingExport::Options options;
    if (!pageDocument) {
        const std::optional<DrawingExport::Format> exportFormat =
            DrawingExport::formatNamed(format);
        if (!exportFormat) {
            printError(tr("Unknown format \"%1\"; use xhtml, png, pdf or svg.").arg(format));
            return Usage;
        }
        options.format = *exportFormat;
        if (output.isEmpty()) {
            printError(tr("--to %1 needs an output file (-o).").arg(format));
            return Usage;
        }
    }
    if (pageDocument && (parser.isSet(pageOption) || parser.isSet(dpiOption))) {
        printError(tr("--page and --dpi apply to exports (--to png, pdf or svg)."));
        return Usage;
    }
    if (parser.isSet(pageOption) &&
        parser.value(pageOption).compare(QLatin1String("all"), Qt::CaseInsensitive) != 0) {
        bool ok = false;
        const int page = parser.value(pageOption).toInt(&ok);
        if (!ok || page < 1) {
            printError(tr("--page takes a page number from 1, or \"all\"."));
            return Usage;
        }
        options.page = page - 1;
    }
    if (parser.isSet(dpiOption)) {
        bool ok = false;
        options.dotsPerInch = parser.value(dpiOption).toDouble(&ok);
        if (options.format != DrawingExport::Format::Png) {
            printError(tr("--dpi applies to PNG pictures only."));
            return Usage;
        }
        if (!ok || options.dotsPerInch < DrawingExport::MinimumDotsPerInch ||
            options.dotsPerInch > DrawingExport::MaximumDotsPerInch) {
            printError(tr("--dpi takes a resolution from %1 to %2.")
                           .arg(DrawingExport::MinimumDotsPerInch)
                           .arg(DrawingExport::MaximumDotsPerInch));
            return Usage;
        }
    }
    options.title = QFileInfo(arguments.first()).fileName();

    Error error;
    const std::unique_ptr<ConvertedDrawing> drawing =
        ConvertedDrawing::convert(arguments.first(), &error);
    if (!drawing) {
        std::fprintf(stderr, "%s\n", qPrintable(error.localizedDescription()));
        if (const QString reason = error.localizedFailureReason(); !reason.isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(reason));
        // Each conversion error code has an exit status of its own.
        return error.code() > Usage ? error.code() : Failure;
    }
    if (pageDocument)
        return writePageDocument(*drawing, output);
    return exportPages(*drawing, options, parser.isSet(pageOption), output);
}
