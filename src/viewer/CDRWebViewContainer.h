#pragma once

#include <QPointF>
#include <QPointer>
#include <QSizeF>
#include <QWebEngineView>
#include <QWidget>

#include <functional>
#include <optional>

class QWebEngineView;

// Holds the document window's web view. It applies magnification to the
// page and pans it by dragging; the page itself never receives mouse
// events (no selection, no link clicks, no context menu), except on its
// scroll bars, which keep working.
class CDRWebViewContainer : public QWidget
{
    Q_OBJECT
public:
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
    // Reads back the magnification the page is really drawn with.
    void readPageMagnification(std::function<void(double)> callback) const;

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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watch(QObject *object);
    void onLoadFinished(bool ok);
    void refreshPageMetrics();
    void takePageMetrics(const QVariant &metrics);
    bool filterMouseEvent(QEvent *event);
    bool filterWheelEvent(QObject *watched, QEvent *event);

    QPointer<QWebEngineView> m_webView;
    bool m_hasDocumentView = false;
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
