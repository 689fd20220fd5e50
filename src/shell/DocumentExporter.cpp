#include "DocumentExporter.h"

#include "ExportPrompts.h"
#include "conversion/DrawingConverter.h"
#include "viewer/Document.h"
#include "viewer/PageNavigation.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QPainter>
#include <QPrinter>
#include <QStandardPaths>
#include <QtConcurrent/QtConcurrentRun>

#include <cmath>

DocumentExporter::DocumentExporter(Document &document, std::shared_ptr<ExportPrompts> prompts)
    : QObject(&document)
    , m_document(document)
    , m_prompts(std::move(prompts))
{
    // The page in view, until the user chooses otherwise.
    m_lastOptions.page = 0;
    m_exportAction = new QAction(tr("&Export…"), document.windowForSheet());
    m_exportAction->setShortcut(QKeySequence(tr("Ctrl+Shift+E")));
    m_printAction = new QAction(tr("&Print…"), document.windowForSheet());
    m_printAction->setShortcut(QKeySequence::Print);
    const bool converted =
        document.cdr2svgConvertor() && !document.cdr2svgConvertor()->svgData().isEmpty();
    m_exportAction->setEnabled(converted);
    m_printAction->setEnabled(converted);
    connect(&document, &Document::conversionEnded, this, [this](bool ok) {
        m_exportAction->setEnabled(ok && !m_running.isRunning());
        m_printAction->setEnabled(ok);
    });
    connect(m_exportAction, &QAction::triggered, this, &DocumentExporter::exportDrawing);
    connect(m_printAction, &QAction::triggered, this, &DocumentExporter::printDrawing);
    connect(&m_running, &QFutureWatcher<Error>::finished, this, [this] {
        m_exportAction->setEnabled(true);
        const Error error = m_running.result();
        if (!error.isNull())
            fail(error);
        emit exportFinished(error.isNull());
    });
}

DocumentExporter::~DocumentExporter()
{
    // A running export finishes on its own; its files are complete or none.
    m_running.disconnect(this);
}

std::optional<DrawingPages> DocumentExporter::pages(Error *error) const
{
    if (!m_document.cdr2svgConvertor())
        return std::nullopt;
    return DrawingPages::fromPageDocument(m_document.cdr2svgConvertor()->svgData(),
                                          m_document.tempURLs(), error);
}

int DocumentExporter::currentPage() const
{
    // The page the window's page field names, so that "this page" means
    // what the user reads there.
    const PageNavigation *navigation = m_document.pageNavigation();
    return navigation ? std::max(0, navigation->currentPage()) : 0;
}

QString DocumentExporter::suggestedPath(DrawingExport::Format format) const
{
    const QFileInfo drawing(m_document.fileURL().toLocalFile());
    QString folder = drawing.absolutePath();
    // Samples and drawings on read-only media export to the user's pictures.
    if (!QFileInfo(folder).isWritable())
        folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return QDir(folder).filePath(drawing.completeBaseName() + QLatin1Char('.') +
                                 DrawingExport::suffix(format));
}

void DocumentExporter::exportDrawing()
{
    if (m_running.isRunning())
        return;
    Error error;
    // Read now, while the drawing's images are surely there.
    std::optional<DrawingPages> drawingPages = pages(&error);
    if (!drawingPages) {
        fail(error);
        emit exportFinished(false);
        return;
    }
    const int page = std::min(currentPage(), drawingPages->count() - 1);
    exportPages(std::move(*drawingPages), page);
}

void DocumentExporter::exportPages(DrawingPages drawingPages, int currentPage)
{
    QWidget *window = m_document.windowForSheet();
    DrawingExport::Options preset = m_lastOptions;
    if (preset.page)
        preset.page = currentPage;
    const std::optional<DrawingExport::Options> chosen =
        m_prompts->chooseOptions(window, drawingPages.count(), currentPage, preset);
    if (!chosen) {
        emit exportFinished(false);
        return;
    }
    DrawingExport::Options options = *chosen;
    options.title = m_document.displayName();
    const QString path =
        m_prompts->chooseFile(window, suggestedPath(options.format), options.format);
    if (path.isEmpty()) {
        emit exportFinished(false);
        return;
    }
    m_lastOptions = options;
    // The file dialog asked about the name chosen; numbered files are asked
    // about here.
    const QStringList targets = DrawingExport::targetPaths(path, options, drawingPages.count());
    QStringList existing;
    if (targets != QStringList{path})
        for (const QString &target : targets)
            if (QFileInfo::exists(target))
                existing.append(target);
    if (!existing.isEmpty() && !m_prompts->confirmReplace(window, existing)) {
        emit exportFinished(false);
        return;
    }
    m_exportAction->setEnabled(false);
    m_running.setFuture(QtConcurrent::run([drawingPages = std::move(drawingPages), options, path] {
        Error error;
        DrawingExport::write(drawingPages, options, path, &error);
        return error;
    }));
}

void DocumentExporter::printDrawing()
{
    Error error;
    std::optional<DrawingPages> drawingPages = pages(&error);
    if (!drawingPages) {
        fail(error);
        emit printFinished(false);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(m_document.displayName());
    printer.setFullPage(false);
    if (!m_prompts->choosePrinter(m_document.windowForSheet(), printer, drawingPages->count())) {
        emit printFinished(false);
        return;
    }
    emit printFinished(print(*drawingPages, printer, currentPage()));
}

bool DocumentExporter::print(const DrawingPages &drawingPages, QPrinter &printer, int currentPage)
{
    int first = 0;
    int last = drawingPages.count() - 1;
    if (printer.printRange() == QPrinter::CurrentPage) {
        first = last = std::min(currentPage, last);
    } else if (printer.printRange() == QPrinter::PageRange) {
        first = std::max(printer.fromPage(), 1) - 1;
        last = std::min(printer.toPage() > 0 ? printer.toPage() : drawingPages.count(),
                        drawingPages.count()) -
               1;
    }
    const double dotsPerInch = std::min<double>(printer.resolution(), MaximumPrintDotsPerInch);
    QPainter painter;
    if (first > last || !painter.begin(&printer)) {
        fail(Error::withDescription(DrawingPages::ErrorDomain, DrawingExport::WriteError,
                                    tr("The printer cannot be used.")));
        return false;
    }
    for (int page = first; page <= last; ++page) {
        if (page > first)
            printer.newPage();
        Error error;
        const QImage image = DrawingExport::pageImage(drawingPages, page, dotsPerInch, &error);
        if (image.isNull()) {
            painter.end();
            fail(error);
            return false;
        }
        // The drawing's own size on paper, shrunk to fit if need be, in
        // the middle of the printable area.
        const QRectF area = printer.pageRect(QPrinter::DevicePixel);
        const double toDevice = printer.resolution() / dotsPerInch;
        QSizeF size = QSizeF(image.size()) * toDevice;
        if (size.width() > area.width() || size.height() > area.height())
            size.scale(area.size(), Qt::KeepAspectRatio);
        const QRectF target(
            QPointF((area.width() - size.width()) / 2, (area.height() - size.height()) / 2), size);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, image);
    }
    return painter.end();
}

void DocumentExporter::fail(const Error &error)
{
    m_prompts->showError(m_document.windowForSheet(), error.localizedDescription());
}
