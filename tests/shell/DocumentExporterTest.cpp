#include "ShellTestSupport.h"

#include "conversion/DrawingConverter.h"
#include "shell/AppDelegate.h"
#include "shell/DocumentExporter.h"
#include "shell/ExportPrompts.h"
#include "viewer/Document.h"
#include "viewer/DocumentController.h"
#include "viewer/PageNavigation.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QPdfDocument>
#include <QPrinter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>

namespace {

// Answers the questions as a test says, and remembers what was asked.
class RecordingExportPrompts : public ExportPrompts
{
public:
    std::optional<DrawingExport::Options> chooseOptions(QWidget *, int pageCount, int currentPage,
                                                        const DrawingExport::Options &) override
    {
        askedPageCount = pageCount;
        askedCurrentPage = currentPage;
        if (!options)
            return std::nullopt;
        DrawingExport::Options chosen = *options;
        if (chosen.page)
            chosen.page = currentPage; // "Current page"
        return chosen;
    }
    QString chooseFile(QWidget *, const QString &suggestion, DrawingExport::Format) override
    {
        suggested = suggestion;
        return path;
    }
    bool confirmReplace(QWidget *, const QStringList &existing) override
    {
        replaceAsked = existing;
        return replace;
    }
    bool choosePrinter(QWidget *, QPrinter &printer, int pageCount) override
    {
        askedPageCount = pageCount;
        if (path.isEmpty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        printer.setPrintRange(range);
        printer.setFromTo(from, to);
        return true;
    }
    void showError(QWidget *, const QString &message) override { errors.append(message); }

    std::optional<DrawingExport::Options> options;
    QString path;
    bool replace = false;
    QPrinter::PrintRange range = QPrinter::AllPages;
    int from = 0;
    int to = 0;

    int askedPageCount = 0;
    int askedCurrentPage = -1;
    QString suggested;
    QStringList replaceAsked;
    QStringList errors;
};

DrawingExport::Options exportOptions(DrawingExport::Format format, bool currentPage,
                                     double dotsPerInch = 40)
{
    DrawingExport::Options options;
    options.format = format;
    options.page = currentPage ? std::optional<int>(0) : std::nullopt;
    options.dotsPerInch = dotsPerInch;
    return options;
}

class DocumentExporterTest : public testing::Test
{
protected:
    void SetUp() override
    {
        delegate.setAnalyticsStarter({});
        delegate.setExportPrompts(prompts);
    }
    void TearDown() override
    {
        delegate.documentController().closeAllDocuments();
        deleteClosedDocuments();
    }

    // The drawing open and drawn, with its Export and Print.
    DocumentExporter *open(const QString &name)
    {
        delegate.openDrawings({corpusDrawing(name)});
        document = delegate.documentController().documents().value(0);
        EXPECT_TRUE(document);
        if (!document)
            return nullptr;
        DocumentExporter *exporter = document->findChild<DocumentExporter *>();
        EXPECT_TRUE(exporter);
        // Nothing to export until the drawing is converted.
        EXPECT_FALSE(exporter->exportAction()->isEnabled());
        EXPECT_TRUE(waitForPage(*document));
        EXPECT_TRUE(exporter->exportAction()->isEnabled());
        EXPECT_TRUE(exporter->printAction()->isEnabled());
        return exporter;
    }

    void showPage(int index)
    {
        PageNavigation *navigation = document->pageNavigation();
        ASSERT_TRUE(QTest::qWaitFor([&] { return navigation->pageCount() > index; }, 60000));
        navigation->goToPage(index);
        ASSERT_TRUE(QTest::qWaitFor([&] { return navigation->currentPage() == index; }, 60000));
    }

    bool runExport(DocumentExporter *exporter)
    {
        QSignalSpy finished(exporter, &DocumentExporter::exportFinished);
        exporter->exportAction()->trigger();
        EXPECT_TRUE(finished.count() > 0 || finished.wait(120000));
        return finished.value(0).value(0).toBool();
    }

    ShellRecording recording;
    AppDelegate delegate;
    std::shared_ptr<RecordingExportPrompts> prompts = std::make_shared<RecordingExportPrompts>();
    QPointer<Document> document;
    QTemporaryDir folder;
};

int pdfPages(const QString &path)
{
    QPdfDocument pdf;
    return pdf.load(path) == QPdfDocument::Error::None ? pdf.pageCount() : -1;
}

} // namespace

TEST_F(DocumentExporterTest, ExportsThePageInViewOrAllPages)
{
    DocumentExporter *exporter = open(QStringLiteral("x5_irank_modelo1.cdr"));
    ASSERT_TRUE(exporter);
    showPage(2);

    prompts->options = exportOptions(DrawingExport::Format::Png, true);
    prompts->path = folder.filePath("third.png");
    ASSERT_TRUE(runExport(exporter));
    EXPECT_EQ(prompts->askedPageCount, 7);
    EXPECT_EQ(prompts->askedCurrentPage, 2);
    EXPECT_EQ(QFileInfo(prompts->suggested).fileName(), "x5_irank_modelo1.png");
    EXPECT_EQ(prompts->errors, QStringList());

    // The same picture as the export of that page from the command line
    // would be.
    Error error;
    const std::optional<DrawingPages> pages = DrawingPages::fromPageDocument(
        document->cdr2svgConvertor()->svgData(), document->tempURLs(), &error);
    ASSERT_TRUE(pages);
    const QImage expected = DrawingExport::pageImage(*pages, 2, 40, &error);
    EXPECT_EQ(QImage(folder.filePath("third.png")).convertToFormat(QImage::Format_ARGB32),
              expected.convertToFormat(QImage::Format_ARGB32));

    prompts->options = exportOptions(DrawingExport::Format::Pdf, false);
    prompts->path = folder.filePath("all.pdf");
    ASSERT_TRUE(runExport(exporter));
    EXPECT_EQ(pdfPages(folder.filePath("all.pdf")), 7);
}

TEST_F(DocumentExporterTest, NumberedFilesAreReplacedOnlyWhenTheUserSaysSo)
{
    DocumentExporter *exporter = open(QStringLiteral("x5_xapian_test2.cdr"));
    ASSERT_TRUE(exporter);
    QFile existing(folder.filePath("text-2.svg"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("kept");
    existing.close();

    prompts->options = exportOptions(DrawingExport::Format::Svg, false);
    prompts->path = folder.filePath("text.svg");
    prompts->replace = false;
    EXPECT_FALSE(runExport(exporter));
    EXPECT_EQ(prompts->replaceAsked, QStringList{folder.filePath("text-2.svg")});
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"text-2.svg"});

    prompts->replace = true;
    EXPECT_TRUE(runExport(exporter));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files),
              QStringList({"text-1.svg", "text-2.svg"}));
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_TRUE(existing.readAll().startsWith("<?xml"));

    // Cancelled at any question: nothing happens.
    prompts->options.reset();
    EXPECT_FALSE(runExport(exporter));
    prompts->options = exportOptions(DrawingExport::Format::Png, false);
    prompts->path.clear();
    EXPECT_FALSE(runExport(exporter));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 2);
}

TEST_F(DocumentExporterTest, AnExportThatFailsSaysWhy)
{
    DocumentExporter *exporter = open(QStringLiteral("x7_dblab_test.cdr"));
    ASSERT_TRUE(exporter);
    prompts->options = exportOptions(DrawingExport::Format::Pdf, false);
    prompts->path = folder.filePath("no such folder/out.pdf");
    EXPECT_FALSE(runExport(exporter));
    ASSERT_EQ(prompts->errors.size(), 1);
    EXPECT_TRUE(prompts->errors.first().contains("out.pdf"));
}

TEST_F(DocumentExporterTest, PrintsThePagesChosenInThePrintDialog)
{
    DocumentExporter *exporter = open(QStringLiteral("x5_irank_modelo1.cdr"));
    ASSERT_TRUE(exporter);
    const struct
    {
        QPrinter::PrintRange range;
        int from;
        int to;
        int pages;
    } cases[] = {
        {QPrinter::PageRange, 2, 4, 3},
        {QPrinter::AllPages, 0, 0, 7},
        {QPrinter::CurrentPage, 0, 0, 1},
    };
    for (const auto &c : cases) {
        prompts->path = folder.filePath(QStringLiteral("printed%1.pdf").arg(c.pages));
        prompts->range = c.range;
        prompts->from = c.from;
        prompts->to = c.to;
        QSignalSpy finished(exporter, &DocumentExporter::printFinished);
        exporter->printAction()->trigger();
        ASSERT_TRUE(finished.count() > 0 || finished.wait(120000));
        EXPECT_TRUE(finished.value(0).value(0).toBool());
        EXPECT_EQ(prompts->askedPageCount, 7);
        EXPECT_EQ(pdfPages(prompts->path), c.pages);
    }
    QPdfDocument pdf;
    ASSERT_EQ(pdf.load(folder.filePath("printed3.pdf")), QPdfDocument::Error::None);
    const QImage page = pdf.render(0, QSize(400, 560));
    EXPECT_GT(inkPixels(page), 400);
    EXPECT_EQ(prompts->errors, QStringList());

    // Cancelled: nothing printed.
    prompts->path.clear();
    QSignalSpy finished(exporter, &DocumentExporter::printFinished);
    exporter->printAction()->trigger();
    ASSERT_TRUE(finished.count() > 0 || finished.wait(60000));
    EXPECT_FALSE(finished.value(0).value(0).toBool());
}

TEST_F(DocumentExporterTest, ExchangeFilesOpenAndExportLikeDrawings)
{
    DocumentExporter *exporter = open(QStringLiteral("cmx_libreoffice_fdo63782-1.cmx"));
    ASSERT_TRUE(exporter);
    EXPECT_TRUE(document->windowForSheet()->isVisible());
    prompts->options = exportOptions(DrawingExport::Format::Png, true, 72);
    prompts->path = folder.filePath("exchange.png");
    ASSERT_TRUE(runExport(exporter));
    const QImage picture(folder.filePath("exchange.png"));
    ASSERT_FALSE(picture.isNull());
    EXPECT_GT(inkPixels(picture), picture.width() * picture.height() / 4);
}
