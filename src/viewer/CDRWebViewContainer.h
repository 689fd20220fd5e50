#pragma once

#include "PageLayout.h"

#include <QPointF>
#include <QPointer>
#include <QSizeF>
#include <QWebEngineView>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QWebEngineView;

// Holds the document window's web view. It lays the pages out apart from
// each other, applies magnification to them, moves between them and pans
// them by dragging; the page itself never receives mouse events (no
// selection, no link clicks, no context menu), except on its scroll bars,
// which keep working.
class CDRWebViewContainer : public QWidget
{
    Q_OBJECT
public:
    // How much of the last screenful a page step shows again, in pixels.
    static constexpr int PageStepOverlap = 40;

    explicit CDRWebViewContainer(QWidget *parent = nullptr);

    QWebEngineView *webView() const { return m_webView; }
    void setWebView(QWebEngineView *view);

    // Whether a page is shown that magnification and panning act on.
    bool hasDocumentView() const { return m_hasDocumentView; }

    // How much larger than its natural size the page is drawn; 1 at first.
    double magnification() const { return m_magnification; }
    // Scales the page to the magnification, keeping the point of the page
    // that lies at `anchor` (in the web view's pixels; by default the middle
    // of the visible part) where it is. Nothing changes without a page.
    void setMagnification(double magnification, std::optional<QPointF> anchor = {});
    // Sets the magnification and then shows the given fractions of a page
    // (0,0 its top-left corner, 1,1 its bottom-right) at a point of the view.
    void setMagnification(double magnification, int page, const QPointF &fractions,
                          const QPointF &at);
    // Reads back the magnification the page is really drawn with.
    void readPageMagnification(std::function<void(double)> callback) const;

    // The pages as last laid out; empty without a page.
    const PageLayout &pageLayout() const { return m_layout; }
    // Moves through the pages: a screenful down or up, stopping at the
    // ends of pages; to the top of a page (from 0); to the start or the end.
    void pageDown();
    void pageUp();
    // Each calls `then` once the pages have moved and the layout is new.
    void goToPage(int page, std::function<void()> then = {});
    void scrollToStart(std::function<void()> then = {});
    void scrollToEnd(std::function<void()> then = {});

    // The top-left corner of the visible part of the page, in page pixels.
    QPointF visibleOrigin() const;
    // Scrolls so that the given page point is at the visible top-left.
    void scrollPoint(const QPointF &point);

    // Drag to pan, with locations in window coordinates (y grows downwards).
    void mouseDown(const QPointF &locationInWindow);
    void mouseDragged(const QPointF &locationInWindow);
    QPointF startPt() const { return m_startPt; }
    QPointF startOrigin() const { return m_startOrigin; }
    // The origin a drag to p scrolls to: the page follows the pointer.
    static QPointF pannedOrigin(const QPointF &startOrigin, const QPointF &startPt,
                                const QPointF &p);

    // Whether a point of the web view lies on one of the page's scroll bars.
    bool isScrollerAt(const QPointF &point) const;
    // The page's scroll-bar thickness (vertical, horizontal; 0 when absent).
    QSizeF scrollerThickness() const { return m_scrollerThickness; }

signals:
    // A page finished loading (ok) or failed, and the container knows
    // whether it has a document view.
    void documentViewChanged(bool present);
    // The user turned the wheel with Ctrl held over the page: whole steps,
    // positive to magnify, about the point under the pointer (in the web
    // view's pixels). The page's own zoom never sees these.
    void wheelZoomRequested(int steps, const QPointF &at);
    void pageMetricsChanged();
    // The pages were laid out anew or scrolled.
    void pageLayoutChanged();
    // The view took a new size.
    void viewResized();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watch(QObject *object);
    void onLoadFinished(bool ok);
    void refreshPageMetrics();
    void refreshScrollPosition();
    // Runs a call of the page script, then takes the layout it answers.
    void runPageScript(const QString &call, std::function<void()> then = {});
    void takePageLayout(const QVariant &layout);
    bool filterMouseEvent(QEvent *event);
    bool filterWheelEvent(QObject *watched, QEvent *event);

    QPointer<QWebEngineView> m_webView;
    // Gone once the container's own part is destroyed; the engine's
    // answers check it.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    bool m_hasDocumentView = false;
    PageLayout m_layout;
    double m_magnification = 1.0;
    QPointF m_startPt;
    QPointF m_startOrigin;
    bool m_dragging = false;
    bool m_scrollerGrab = false;
    QSizeF m_scrollerThickness;
    // Wheel turns with Ctrl not yet amounting to a whole step (eighths of a
    // degree, as wheels report them).
    int m_wheelZoomRemainder = 0;
};
