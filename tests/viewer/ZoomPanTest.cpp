#include "ViewerTestSupport.h"

#include "foundation/Log.h"
#include "ui_Document.h"
#include "viewer/CDRWebViewContainer.h"
#include "viewer/Document.h"
#include "viewer/DocumentController.h"
#include "viewer/QMCenteringClipView.h"

#include <QMouseEvent>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>

namespace {

double pageMagnification(Document &document)
{
    double value = -1;
    document.webViewContainer()->readPageMagnification([&](double m) { value = m; });
    return QTest::qWaitFor([&] { return value >= 0; }, 10000) ? value : -1.0;
}

void sendMouse(QWidget *target, QEvent::Type type, QPoint at, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    const QPointF scene = target->mapTo(target->window(), at);
    QMouseEvent event(type, QPointF(at), scene, target->mapToGlobal(QPointF(at)), button, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

class ZoomPan : public testing::Test
{
protected:
    void open(const QString &name)
    {
        controller.setAlertPresenter(std::make_shared<RecordingAlertPresenter>());
        document = controller.openDocument(drawing(name));
        ASSERT_TRUE(waitForPage(*document));
        // Drawings drawn beside their page open fitted to what is drawn;
        // these tests start at actual size.
        document->zoomToFit();
        ASSERT_EQ(pageMagnification(*document), 1.0);
    }
    DocumentController controller;
    Document *document = nullptr;
};

} // namespace

TEST_F(ZoomPan, ZoomInOutResetAndSlider)
{
    open("files/x5_libreoffice_fdo65220-2.cdr");
    LogCapture log;
    for (int i = 0; i < 3; ++i)
        document->zoomIn();
    EXPECT_EQ(document->zoom(), 1.5f);
    EXPECT_EQ(document->magnification(), 8.0);
    EXPECT_EQ(log.lines().last(), "zoom: 1.500000");
    EXPECT_EQ(pageMagnification(*document), 8.0);

    document->zoomToFit();
    EXPECT_EQ(document->magnification(), 1.0);
    EXPECT_EQ(document->zoom(), 0.0f);
    document->zoomIn();
    EXPECT_EQ(document->magnification(), 2.0);

    // The slider and the zoom value are independent of each other.
    document->zoomIn();
    EXPECT_EQ(document->zoom(), 1.0f);
    document->ui()->zoomSliderButton->setValue(Document::SliderStepsPerUnit);
    EXPECT_EQ(document->magnification(), 4.0);
    EXPECT_EQ(document->zoom(), 1.0f);
    document->zoomIn();
    EXPECT_EQ(document->magnification(), 8.0);
    EXPECT_EQ(document->ui()->zoomSliderButton->value(), Document::SliderStepsPerUnit);

    // No limit either way, beyond what the engine's own zoom allows.
    for (int i = 0; i < 3; ++i)
        document->zoomIn();
    EXPECT_EQ(document->magnification(), 64.0);
    EXPECT_EQ(pageMagnification(*document), 64.0);
    document->zoomToFit();
    for (int i = 0; i < 6; ++i)
        document->zoomOut();
    EXPECT_EQ(document->magnification(), 1.0 / 64.0);
    EXPECT_EQ(pageMagnification(*document), 1.0 / 64.0);
}

TEST(ZoomWithoutPage, ChangesZoomValueButNoView)
{
    DocumentController controller;
    controller.setAlertPresenter(std::make_shared<RecordingAlertPresenter>());
    Document *document = controller.openDocument(drawing("files/x7_dblab_test.cdr"));
    LogCapture log;
    document->zoomIn(); // the conversion has not even started yet
    EXPECT_EQ(document->zoom(), 0.5f);
    EXPECT_EQ(document->magnification(), 1.0);
    EXPECT_EQ(log.lines().last(), "zoom: 0.500000");
    document->zoomOut();
    EXPECT_EQ(document->zoom(), 0.0f);
}

TEST(CDRWebViewContainer, DragArithmetic)
{
    // 10 right and 10 up: the origin goes 10 left and 10 further down.
    EXPECT_EQ(
        CDRWebViewContainer::pannedOrigin(QPointF(50, 50), QPointF(100, 100), QPointF(110, 90)),
        QPointF(40, 60));
}

TEST_F(ZoomPan, DraggingPansAndScrollBarsStayReachable)
{
    open("files/v25_2024_Razoom-laser_map.cdr");
    CDRWebViewContainer *container = document->webViewContainer();
    QWebEngineView *view = document->webView();
    QWidget *surface = view->focusProxy() ? view->focusProxy() : view;
    ASSERT_TRUE(QTest::qWaitFor([&] { return container->scrollerThickness().width() > 0; }));
    EXPECT_TRUE(container->isScrollerAt(QPointF(view->width() - 2, view->height() / 2)));
    EXPECT_FALSE(container->isScrollerAt(QPointF(view->width() / 2, view->height() / 2)));

    container->scrollPoint(QPointF(300, 300));
    ASSERT_TRUE(QTest::qWaitFor([&] { return container->visibleOrigin() == QPointF(300, 300); }));

    sendMouse(surface, QEvent::MouseButtonPress, {400, 300}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(container->startOrigin(), QPointF(300, 300));
    sendMouse(surface, QEvent::MouseMove, {350, 340}, Qt::NoButton, Qt::LeftButton);
    sendMouse(surface, QEvent::MouseButtonRelease, {350, 340}, Qt::LeftButton, Qt::NoButton);
    // The drawing follows the pointer: 50 left and 40 down.
    EXPECT_TRUE(QTest::qWaitFor([&] { return container->visibleOrigin() == QPointF(350, 260); }))
        << container->visibleOrigin().x() << "," << container->visibleOrigin().y();
}

TEST(QMCenteringClipView, CentringArithmetic)
{
    // Wider than the document by 101: half of it, rounded away from zero.
    EXPECT_EQ(QMCenteringClipView::centeredOrigin(QSizeF(100, 500), QRectF(7, 9, 201, 300)),
              QPointF(-51, 9));
    for (double proposed : {-40.0, 0.0, 75.0})
        EXPECT_EQ(QMCenteringClipView::constrainScrollPoint(QPointF(proposed, proposed),
                                                            QSizeF(100, 500), QSizeF(201, 300))
                      .x(),
                  -51.0);
    // A larger document: the origin stays within it.
    const QSizeF document(100, 500), clip(201, 300);
    EXPECT_EQ(QMCenteringClipView::constrainScrollPoint(QPointF(0, -5), document, clip).y(), 0.0);
    EXPECT_EQ(QMCenteringClipView::constrainScrollPoint(QPointF(0, 250), document, clip).y(),
              200.0);
    EXPECT_EQ(QMCenteringClipView::constrainScrollPoint(QPointF(0, 120.5), document, clip).y(),
              121.0);

    QMCenteringClipView view;
    view.resize(201, 300);
    auto *page = new QWidget;
    page->resize(100, 500);
    view.setDocumentView(page);
    EXPECT_EQ(view.boundsOrigin(), QPointF(-51, 0));
    EXPECT_EQ(page->pos(), QPoint(51, 0));
    view.scrollPoint(QPointF(30, 1000));
    EXPECT_EQ(view.boundsOrigin(), QPointF(-51, 200));
}

namespace {

bool near(QPointF a, QPointF b)
{
    return std::abs(a.x() - b.x()) <= 1.0 && std::abs(a.y() - b.y()) <= 1.0;
}

// Waits until the visible origin is where expected; false on timeout.
bool originBecomes(CDRWebViewContainer &container, QPointF expected)
{
    return QTest::qWaitFor([&] { return near(container.visibleOrigin(), expected); }, 10000);
}

void sendWheel(QWidget *target, QPoint at, int delta, Qt::KeyboardModifiers modifiers)
{
    QWheelEvent event(QPointF(at), target->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(target, &event);
}

} // namespace

TEST_F(ZoomPan, ZoomCommandsKeepTheMiddleOfTheViewInPlace)
{
    open("files/v25_2024_Razoom-laser_map.cdr");
    CDRWebViewContainer *container = document->webViewContainer();
    QWebEngineView *view = document->webView();
    ASSERT_TRUE(QTest::qWaitFor([&] { return container->scrollerThickness().width() > 0; }));
    container->scrollPoint(QPointF(300, 200));
    ASSERT_TRUE(originBecomes(*container, QPointF(300, 200)));
    const QSizeF visible = QSizeF(view->size()) - container->scrollerThickness();
    const QPointF middle(visible.width() / 2, visible.height() / 2);

    document->zoomIn();
    // The page keeps the room around it, whatever the magnification.
    const QPointF room(container->pageLayout().gap, container->pageLayout().gap);
    const QPointF zoomedIn = (QPointF(300, 200) + middle - room) * 2 + room - middle;
    EXPECT_TRUE(originBecomes(*container, zoomedIn))
        << container->visibleOrigin().x() << "," << container->visibleOrigin().y();
    document->zoomOut();
    EXPECT_TRUE(originBecomes(*container, QPointF(300, 200)))
        << container->visibleOrigin().x() << "," << container->visibleOrigin().y();
}

TEST_F(ZoomPan, ControlWheelZoomsInStepsAboutThePointer)
{
    open("files/v25_2024_Razoom-laser_map.cdr");
    CDRWebViewContainer *container = document->webViewContainer();
    QWebEngineView *view = document->webView();
    QWidget *surface = view->focusProxy() ? view->focusProxy() : view;
    container->scrollPoint(QPointF(300, 200));
    ASSERT_TRUE(originBecomes(*container, QPointF(300, 200)));
    LogCapture log;

    // One notch forward: the first zoom step, about the pointer.
    const QPoint pointer(150, 100);
    sendWheel(surface, pointer, QWheelEvent::DefaultDeltasPerStep, Qt::ControlModifier);
    EXPECT_EQ(document->zoom(), 0.5f);
    EXPECT_EQ(document->magnification(), 2.0);
    EXPECT_EQ(log.lines().value(log.lines().size() - 1), "zoom: 0.500000");
    const QPointF at = surface->mapTo(view, QPointF(pointer));
    const QPointF room(container->pageLayout().gap, container->pageLayout().gap);
    EXPECT_TRUE(originBecomes(*container, (QPointF(300, 200) + at - room) * 2 + room - at))
        << container->visibleOrigin().x() << "," << container->visibleOrigin().y();
    EXPECT_EQ(pageMagnification(*document), 2.0);
    // The engine's own zoom is left alone: Actual Size is actual size.
    EXPECT_EQ(view->page()->zoomFactor(), 1.0);

    // Half notches add up; backwards zooms out.
    sendWheel(surface, pointer, -QWheelEvent::DefaultDeltasPerStep / 2, Qt::ControlModifier);
    EXPECT_EQ(document->zoom(), 0.5f);
    sendWheel(surface, pointer, -QWheelEvent::DefaultDeltasPerStep / 2, Qt::ControlModifier);
    EXPECT_EQ(document->zoom(), 0.0f);
    EXPECT_TRUE(originBecomes(*container, QPointF(300, 200)));
    document->zoomToFit();
    EXPECT_EQ(pageMagnification(*document), 1.0);
    EXPECT_EQ(view->page()->zoomFactor(), 1.0);
}
