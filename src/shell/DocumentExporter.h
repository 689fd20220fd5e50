#pragma once

#include "export/DrawingExport.h"

#include <QFutureWatcher>
#include <QObject>

#include <memory>

class Document;
class ExportPrompts;
class QAction;
class QPrinter;

// Export and Print for one open drawing: the current page or all pages as
// PNG pictures, a vector PDF or SVG drawings, or on paper through the
// system's print dialog. Exports are drawn and written in the background;
// printing draws each page as a picture at the printer's resolution (up to
// 300 dots per inch), as large as it is or shrunk to fit the paper.
class DocumentExporter : public QObject
{
    Q_OBJECT
public:
    static constexpr double MaximumPrintDotsPerInch = 300;

    // Lives as long as the document, whose child it becomes.
    DocumentExporter(Document &document, std::shared_ptr<ExportPrompts> prompts);
    ~DocumentExporter() override;

    // For the document window's File menu; usable once the drawing has
    // been converted.
    QAction *exportAction() const { return m_exportAction; }
    QAction *printAction() const { return m_printAction; }

public slots:
    void exportDrawing();
    void printDrawing();

signals:
    // An export ended: written, failed (and said so) or cancelled.
    void exportFinished(bool written);
    void printFinished(bool printed);

private:
    // The page most in view in the window, from 0.
    int currentPage() const;
    std::optional<DrawingPages> pages(Error *error) const;
    QString suggestedPath(DrawingExport::Format format) const;
    void exportPages(DrawingPages pages, int currentPage);
    bool print(const DrawingPages &pages, QPrinter &printer, int currentPage);
    void fail(const Error &error);

    Document &m_document;
    std::shared_ptr<ExportPrompts> m_prompts;
    QAction *m_exportAction = nullptr;
    QAction *m_printAction = nullptr;
    // The choices of the last export, offered again.
    DrawingExport::Options m_lastOptions;
    QFutureWatcher<Error> m_running;
};
