#include "ViewerTestSupport.h"

#include "controls/HUDWindow.h"
#include "controls/HUDWindowButtonCell.h"
#include "conversion/CDR2SVG.h"
#include "conversion/PageDocument.h"
#include "ui_Document.h"
#include "viewer/CDRWebViewContainer.h"
#include "viewer/Document.h"
#include "viewer/DocumentController.h"
#include "viewer/PageLayout.h"
#include "viewer/PageNavigation.h"
#include "viewer/PageThumbnails.h"
#include "viewer/WindowCascade.h"

#include <QAccessible>
#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QSpinBox>
#include <QTest>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include <cmath>

namespace {

class Pages : public testing::Test
{
protected:
    Document *open(const QString &name)
    {
        controller.setAlertPresenter(std::make_shared<RecordingAlertPresenter>());
        Document *document = controller.openDocument(drawing("files/" + name));
        EXPECT_TRUE(waitForPage(*document));
        return document;
    }

    static const PageLayout &layout(Document &document)
    {
        return document.webViewContainer()->pageLayout();
    }

    // Waits until the pages have settled at the given magnification.
    static bool settlesAt(Document &document, double magnification)
    {
        return QTest::qWaitFor(
            [&] { return std::abs(layout(document).magnification - magnification) < 1e-6; }, 10000);
    }

    // The visible part of the document, in document pixels.
    static QRectF viewRect(Document &document)
    {
        const PageLayout &l = layout(document);
        return {l.scroll, l.view};
    }

    static bool contains(const QRectF &outer, const QRectF &inner)
    {
        return outer.adjusted(-1, -1, 1, 1).contains(inner);
    }

    DocumentController controller;
};

} // namespace

TEST_F(Pages, DrawingsShowTheirPageCountAndPicturesOfSeveralPages)
{
    const std::pair<const char *, int> drawings[] = {
        {"x5_irank_modelo1.cdr", 7},    {"x7_models-heart_part1.cdr", 5},
        {"x4_tandoon_Graphic1.cdr", 3}, {"x5_xapian_test2.cdr", 2},
        {"x7_dblab_test.cdr", 1},
    };
    for (const auto &[name, count] : drawings) {
        SCOPED_TRACE(name);
        Document *document = open(name);
        ASSERT_TRUE(QTest::qWaitFor([&] { return layout(*document).pages.size() == count; }));
        Ui::Document *ui = document->ui();
        EXPECT_EQ(document->pageNavigation()->pageCount(), count);
        EXPECT_EQ(document->pageNavigation()->currentPage(), 0);
        EXPECT_EQ(ui->pageField->value(), 1);
        EXPECT_EQ(ui->pageField->maximum(), count);
        EXPECT_EQ(ui->pageCountLabel->text(), QStringLiteral("of %1").arg(count));
        // Pages lie apart, one below the other.
        const PageLayout &pages = layout(*document);
        for (int i = 1; i < count; ++i)
            EXPECT_GE(pages.pages[i].rect.top(), pages.pages[i - 1].rect.bottom() + pages.gap);
        // The list of page pictures is for drawings of several pages.
        EXPECT_EQ(ui->thumbnailsPanel->isVisible(), count > 1);
        EXPECT_EQ(ui->actionShowThumbnails->isEnabled(), count > 1);
        if (count > 1) {
            EXPECT_EQ(ui->pageThumbnails->count(), count);
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return !document->pageNavigation()->thumbnails().isDrawing(); }, 60000));
        }
        document->close();
        deleteClosedDocuments();
    }
}

TEST_F(Pages, PagePicturesShowThePages)
{
    QFile file(drawing("files/x5_irank_modelo1.cdr"));
    CDR2SVG converter(file.fileName());
    ASSERT_TRUE(converter.convertToSVG(nullptr));
    const QList<QByteArray> pages = PageDocument::pages(converter.svgData());
    ASSERT_EQ(pages.size(), 7);
    for (const QByteArray &page : pages) {
        EXPECT_TRUE(page.startsWith("<svg:svg id=\"svgRoot\""));
        EXPECT_TRUE(page.endsWith("</svg:svg>\n"));
    }
    const QSizeF size = PageDocument::pageSize(pages[1]);
    EXPECT_NEAR(size.width(), 425.197, 1e-3);
    EXPECT_NEAR(size.height(), 141.732, 1e-3);
    // The fourth page is a green chip in the middle of the page.
    const QImage picture = PageThumbnails::draw(pages[3], QRectF(QPointF(), size), QSize(300, 100));
    EXPECT_GT(inkPixels(picture), 300);
    const QColor middle = picture.pixelColor(150, 50);
    EXPECT_GT(middle.green(), middle.red() + 40);
    EXPECT_EQ(inkPixels(picture.copy(0, 0, 60, 100)), 0);
}

TEST_F(Pages, PageKeysGoAcrossPageEndsAndTheFieldGoesToAPage)
{
    Document *document = open("x7_models-heart_part1.cdr");
    PageNavigation *navigation = document->pageNavigation();
    Ui::Document *ui = document->ui();
    ASSERT_EQ(navigation->pageCount(), 5);
    const double gap = layout(*document).gap;

    // At actual size the first page is taller than the view: Page Down
    // goes through it a screenful at a time, then on to the next page.
    int steps = 0;
    while (navigation->currentPage() == 0 && steps < 50) {
        const double before = layout(*document).scroll.y();
        ui->actionNextPage->trigger();
        ASSERT_TRUE(QTest::qWaitFor([&] { return layout(*document).scroll.y() != before; }));
        ++steps;
    }
    EXPECT_GT(steps, 2);
    EXPECT_EQ(navigation->currentPage(), 1);
    EXPECT_NEAR(layout(*document).scroll.y(), layout(*document).pages[1].rect.top() - gap, 1.0);
    EXPECT_EQ(ui->pageField->value(), 2);
    EXPECT_EQ(ui->pageThumbnails->currentRow(), 1);

    // Page Up from the top of a page goes back to the end of the one
    // before.
    ui->actionPreviousPage->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return navigation->currentPage() == 0; }));
    EXPECT_NEAR(viewRect(*document).bottom(), layout(*document).pages[0].rect.bottom() + gap, 1.0);

    ui->actionLastPage->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return navigation->currentPage() == 4; }));
    ui->actionFirstPage->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return navigation->currentPage() == 0; }));
    EXPECT_EQ(layout(*document).scroll.y(), 0.0);

    // Ctrl+G: the page field takes the keyboard; a number and Enter go there.
    document->windowForSheet()->activateWindow();
    ui->actionGoToPage->trigger();
    EXPECT_EQ(document->windowForSheet()->focusWidget(), ui->pageField);
    QTest::keyClicks(ui->pageField, "3");
    QTest::keyClick(ui->pageField, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return navigation->currentPage() == 2; }));
    EXPECT_NEAR(layout(*document).scroll.y(), layout(*document).pages[2].rect.top() - gap, 1.0);

    // A page picture goes to its page.
    ui->pageThumbnails->setCurrentRow(3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return navigation->currentPage() == 3; }));
}

TEST_F(Pages, FitsShowThePageItsWidthOrWhatIsDrawnAndStayWhileTheViewChanges)
{
    Document *document = open("cdr13_xapian_test1.cdr");
    Ui::Document *ui = document->ui();
    ASSERT_EQ(document->magnification(), 1.0);
    const QSizeF view = document->webView()->size();
    const double gap = layout(*document).gap;
    const double bar = layout(*document).scrollbar;

    document->fitPage();
    const double pageFit = document->magnification();
    ASSERT_TRUE(settlesAt(*document, pageFit));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return contains(viewRect(*document), layout(*document).pages[0].rect); }));
    // As large as fits: the page takes the view's height or its width.
    const QRectF page = layout(*document).pages[0].rect;
    EXPECT_TRUE(std::abs(page.height() - (view.height() - 2 * gap)) < 2 ||
                std::abs(page.width() - (view.width() - 2 * gap)) < 2)
        << page.width() << " x " << page.height();
    EXPECT_EQ(ui->magnificationBox->currentText(),
              QStringLiteral("%1%").arg(std::lround(pageFit * 100)));
    EXPECT_EQ(document->fit(), PageLayout::Fit::Page);

    // Zooming goes on from the fit, and ends it.
    document->zoomIn();
    EXPECT_NEAR(document->magnification(), 2 * pageFit, 1e-6);
    EXPECT_FALSE(document->fit().has_value());

    document->fitWidth();
    const double widthFit = document->magnification();
    ASSERT_TRUE(settlesAt(*document, widthFit));
    const QRectF wide = layout(*document).pages[0].rect;
    EXPECT_TRUE(std::abs(wide.width() - (view.width() - 2 * gap)) < 2 ||
                std::abs(wide.width() - (view.width() - 2 * gap - bar)) < 2)
        << wide.width();

    // The fit stays while the window changes size.
    document->fitPage();
    const double refit = document->magnification();
    ASSERT_TRUE(settlesAt(*document, refit));
    QMainWindow *window = document->windowForSheet();
    window->resize(window->width() - 300, window->height() - 300);
    EXPECT_TRUE(QTest::qWaitFor([&] { return document->magnification() < refit * 0.95; }));
    EXPECT_EQ(document->fit(), PageLayout::Fit::Page);

    // Typed percentages and the field's choices.
    ui->magnificationBox->setEditText("250");
    emit ui->magnificationBox->lineEdit()->editingFinished();
    EXPECT_NEAR(document->magnification(), 2.5, 1e-6);
    EXPECT_EQ(ui->magnificationBox->currentText(), "250%");
    EXPECT_NEAR(document->zoom(), std::log(2.5) / std::log(4.0), 1e-6);
    ui->magnificationBox->setEditText("nonsense");
    emit ui->magnificationBox->lineEdit()->editingFinished();
    EXPECT_EQ(ui->magnificationBox->currentText(), "250%");
    const int fitWidthChoice = ui->magnificationBox->findText("Fit Width");
    ASSERT_GE(fitWidthChoice, 0);
    emit ui->magnificationBox->activated(fitWidthChoice);
    EXPECT_EQ(document->fit(), PageLayout::Fit::Width);
}

TEST_F(Pages, FitContentShowsWhatIsDrawnOnTheCurrentPage)
{
    Document *document = open("x5_irank_modelo1.cdr");
    document->pageNavigation()->goToPage(3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return document->pageNavigation()->currentPage() == 3; }));
    const QSizeF view = document->webView()->size();
    document->fitContent();
    ASSERT_TRUE(settlesAt(*document, document->magnification()));
    const PageLayout &pages = layout(*document);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return contains(viewRect(*document), pages.pages[3].visibleContent()); }));
    // What is drawn on the fourth page is smaller than the page: it comes
    // closer, and fills the view one way.
    const QRectF content = pages.pages[3].visibleContent();
    EXPECT_GT(document->magnification(), 1.5);
    EXPECT_LT(content.width(), pages.pages[3].rect.width());
    EXPECT_TRUE(content.width() > view.width() / 2 || content.height() > view.height() / 2);
}

TEST_F(Pages, DrawingBesideItsPageOpensWithWhatIsDrawnInView)
{
    Document *document = open("v25_2024_Razoom-laser_map.cdr");
    EXPECT_EQ(document->fit(), PageLayout::Fit::Content);
    EXPECT_LT(document->magnification(), 0.5);
    ASSERT_TRUE(settlesAt(*document, document->magnification()));
    const PageLayout &pages = layout(*document);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return contains(viewRect(*document), pages.pages[0].visibleContent()); }));
    EXPECT_GT(inkPixels(settledPicture(*document->webView())), 2000);
    EXPECT_EQ(document->ui()->magnificationBox->currentText(),
              QStringLiteral("%1%").arg(std::lround(document->magnification() * 100)));
}

TEST_F(Pages, NewWindowsSuitTheDrawingAndCascade)
{
    Document *first = open("cdr11_tabletool_icon.cdr");
    Document *second = open("cdr09_fas-dpd_ICON.cdr");
    QMainWindow *a = first->windowForSheet();
    QMainWindow *b = second->windowForSheet();
    const QRect available = a->screen()->availableGeometry();
    for (QMainWindow *window : {a, b}) {
        EXPECT_TRUE(available.contains(window->frameGeometry())) << window->frameGeometry().x();
        EXPECT_LE(window->width(), available.width() * 0.9 + 1);
    }
    // The second window lies down and to the right of the first, or, with
    // no room for that, in the corner of the screen.
    const QPoint cascaded = a->pos() + QPoint(WindowCascade::Step, WindowCascade::Step);
    EXPECT_TRUE(b->pos() == cascaded || b->pos() == available.topLeft()) << b->x() << "," << b->y();
    EXPECT_NE(b->pos(), a->pos());
    // A drawing with a small page gets a window smaller than the screen.
    EXPECT_LT(a->height(), available.height() * 0.9);
}

TEST(WindowCascade, StepsDownAndRightThenStartsAgainAtTheCorner)
{
    const QRect screen(0, 0, 1600, 1000);
    EXPECT_EQ(WindowCascade::nextPosition(screen, QSize(800, 600)), QPoint(400, 200));
    EXPECT_EQ(WindowCascade::nextPosition(screen, QSize(800, 600), QPoint(400, 200)),
              QPoint(432, 232));
    EXPECT_EQ(WindowCascade::nextPosition(screen, QSize(800, 600), QPoint(790, 390)), QPoint(0, 0));
    // Larger than the screen: the top-left corner stays on it.
    EXPECT_EQ(WindowCascade::nextPosition(QRect(10, 20, 500, 400), QSize(800, 600)),
              QPoint(10, 20));
}

TEST(PageLayout, CurrentPageAndFitArithmetic)
{
    PageLayout layout;
    layout.magnification = 2.0;
    layout.gap = 10;
    layout.scrollbar = 15;
    for (int i = 0; i < 3; ++i) {
        PageLayout::Page page;
        page.rect = QRectF(10, 10 + i * 410, 200, 400);
        page.shown = QRectF(0, 0, 100, 200);
        layout.pages.append(page);
    }
    layout.pages[1].content = QRectF(50, 100, 25, 50);
    // Most of the view shows the second page.
    EXPECT_EQ(layout.currentPage(QPointF(0, 300), QSizeF(300, 400)), 1);
    EXPECT_EQ(layout.currentPage(QPointF(0, 0), QSizeF(300, 400)), 0);
    EXPECT_EQ(layout.currentPage(QPointF(0, 5000), QSizeF(300, 400)), 2);

    // Content in the page's own coordinates, in the document.
    EXPECT_EQ(layout.pages[1].visibleContent(), QRectF(110, 620, 50, 100));
    EXPECT_TRUE(layout.pages[0].visibleContent().isEmpty());

    // Fit page in a 600 x 400 view: three pages need a vertical bar.
    const QSizeF view(600, 400);
    EXPECT_NEAR(*layout.fitMagnification(1, PageLayout::Fit::Page, view), (400 - 20 - 1) / 200.0,
                1e-9);
    EXPECT_NEAR(*layout.fitMagnification(1, PageLayout::Fit::Width, view),
                (600 - 20 - 15 - 1) / 100.0, 1e-9);
    EXPECT_NEAR(*layout.fitMagnification(1, PageLayout::Fit::Content, view),
                (400 - 40 - 15 - 1) / 50.0, 1e-9);
    EXPECT_FALSE(layout.fitMagnification(0, PageLayout::Fit::Content, view));
    EXPECT_FALSE(layout.fitMagnification(3, PageLayout::Fit::Page, view));

    // A single page that fits needs no scroll bar.
    layout.pages.resize(1);
    EXPECT_NEAR(*layout.fitMagnification(0, PageLayout::Fit::Width, QSizeF(600, 2000)),
                (600 - 20 - 1) / 100.0, 1e-9);
}

namespace {

QString accessibleName(QObject *object)
{
    QAccessibleInterface *interface = QAccessible::queryAccessibleInterface(object);
    return interface ? interface->text(QAccessible::Name) : QString();
}

} // namespace

TEST_F(Pages, ControlsHaveAccessibleNamesAndTheStandardKeys)
{
    Document *document = open("x5_xapian_test2.cdr");
    Ui::Document *ui = document->ui();
    EXPECT_EQ(accessibleName(ui->zoomOutButton), "Zoom Out");
    EXPECT_EQ(accessibleName(ui->actualSizeButton), "Actual Size");
    EXPECT_EQ(accessibleName(ui->zoomSliderButton), "Magnification");
    // An editable field reads out its text; its name is set all the same.
    EXPECT_EQ(ui->magnificationBox->accessibleName(), "Magnification in percent");
    EXPECT_EQ(accessibleName(ui->pageField), "Page number");
    EXPECT_EQ(accessibleName(ui->pageThumbnails), "Page thumbnails");
    EXPECT_EQ(accessibleName(ui->webView), "Drawing");
    EXPECT_EQ(accessibleName(ui->loadingControl), "Loading");
    EXPECT_EQ(accessibleName(ui->loadingPanel->closeButton()), "Close");
    EXPECT_EQ(accessibleName(ui->loadingPanel), ui->loadingPanel->windowTitle());
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(ui->pageThumbnails);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ui->pageThumbnails->item(1)->data(Qt::AccessibleTextRole).toString(), "Page 2");

    // The keyboard starts with the drawing. Asked of the window, not of
    // the application: whether the window is the active one is up to the
    // display, which other programs share.
    QWidget *focus = document->windowForSheet()->focusWidget();
    EXPECT_TRUE(focus == ui->webView || focus == ui->webView->focusProxy());
    EXPECT_TRUE(ui->actionOpen->shortcut().matches(QKeySequence("Ctrl+O")));
    EXPECT_TRUE(ui->actionClose->shortcut().matches(QKeySequence("Ctrl+W")));
    EXPECT_TRUE(ui->actionQuit->shortcut().matches(QKeySequence("Ctrl+Q")));
    EXPECT_TRUE(ui->actionZoomIn->shortcuts().contains(QKeySequence("Ctrl++")));
    EXPECT_TRUE(ui->actionZoomIn->shortcuts().contains(QKeySequence("Ctrl+=")));
    EXPECT_TRUE(ui->actionZoomOut->shortcuts().contains(QKeySequence("Ctrl+-")));
    EXPECT_TRUE(ui->actionActualSize->shortcut().matches(QKeySequence("Ctrl+0")));
    EXPECT_TRUE(ui->actionFullScreen->shortcuts().contains(QKeySequence("F11")));
    EXPECT_TRUE(ui->actionGoToPage->shortcut().matches(QKeySequence("Ctrl+G")));

    // F11 brings the window to the whole screen and back.
    QMainWindow *window = document->windowForSheet();
    ui->actionFullScreen->trigger();
    EXPECT_TRUE(window->windowState() & Qt::WindowFullScreen);
    ui->actionFullScreen->trigger();
    EXPECT_FALSE(window->windowState() & Qt::WindowFullScreen);
}
