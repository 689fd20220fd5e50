#include "CDRWebViewContainer.h"

#include <QChildEvent>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWheelEvent>

namespace {

// Scroll-bar thickness of the viewport: the window's inner size includes
// the bars, the visual viewport does not; neither depends on the zoom that
// is set on the page's root element.
const char MetricsScript[] = "[window.innerWidth - window.visualViewport.width,"
                             " window.innerHeight - window.visualViewport.height]";

QString number(double value)
{
    return QString::number(value, 'g', 17);
}

} // namespace

CDRWebViewContainer::CDRWebViewContainer(QWidget *parent)
    : QWidget(parent)
{}

void CDRWebViewContainer::setWebView(QWebEngineView *view)
{
    if (view == m_webView)
        return;
    if (m_webView)
        m_webView->page()->disconnect(this);
    m_webView = view;
    m_hasDocumentView = false;
    if (!view)
        return;
    if (view->parentWidget() != this) {
        if (!layout()) {
            auto *box = new QVBoxLayout(this);
            box->setContentsMargins(0, 0, 0, 0);
        }
        layout()->addWidget(view);
    }
    view->setContextMenuPolicy(Qt::NoContextMenu);
    watch(view);
    for (QObject *child : view->children())
        watch(child);
    QWebEnginePage *page = view->page();
    connect(page, &QWebEnginePage::loadStarted, this, [this] { m_hasDocumentView = false; });
    connect(page, &QWebEnginePage::loadFinished, this, &CDRWebViewContainer::onLoadFinished);
    connect(page, &QWebEnginePage::contentsSizeChanged, this,
            &CDRWebViewContainer::refreshPageMetrics);
}

void CDRWebViewContainer::watch(QObject *object)
{
    if (object->isWidgetType())
        object->installEventFilter(this);
}

void CDRWebViewContainer::onLoadFinished(bool ok)
{
    m_hasDocumentView = ok;
    if (ok && m_magnification != 1.0) {
        // A new page starts at its natural size; carry the current
        // magnification over to it.
        const double current = m_magnification;
        m_magnification = 1.0;
        setMagnification(current);
    }
    refreshPageMetrics();
    emit documentViewChanged(ok);
}

void CDRWebViewContainer::setMagnification(double magnification, std::optional<QPointF> anchor)
{
    if (!m_hasDocumentView || !m_webView)
        return;
    const double current = m_magnification;
    const float factor = float(magnification / current);
    m_magnification = current * double(factor);
    // The zoom goes on the root element rather than on the page's own zoom
    // factor, which the engine caps; the scroll position is scaled with it
    // so that the point of the drawing at the anchor stays in place.
    const QString script =
        QStringLiteral(
            "(function(m, f, ax, ay) {"
            " var root = document.documentElement; if (!root) return null;"
            " if (ax === null) {"
            "  ax = window.visualViewport.width / 2; ay = window.visualViewport.height / 2; }"
            " var x = window.scrollX, y = window.scrollY;"
            " root.style.zoom = m; window.scrollTo((x + ax) * f - ax, (y + ay) * f - ay);"
            " return %5; })(%1, %2, %3, %4)")
            .arg(number(m_magnification), number(factor),
                 anchor ? number(anchor->x()) : QStringLiteral("null"),
                 anchor ? number(anchor->y()) : QStringLiteral("null"),
                 QLatin1String(MetricsScript));
    QPointer<CDRWebViewContainer> self(this);
    m_webView->page()->runJavaScript(script, [self](const QVariant &metrics) {
        if (self)
            self->takePageMetrics(metrics);
    });
    m_webView->update();
}

void CDRWebViewContainer::readPageMagnification(std::function<void(double)> callback) const
{
    if (!m_webView) {
        callback(1.0);
        return;
    }
    m_webView->page()->runJavaScript(
        QStringLiteral("(function() { var root = document.documentElement;"
                       " var z = root ? parseFloat(root.style.zoom) : NaN;"
                       " return isNaN(z) ? 1 : z; })()"),
        [callback = std::move(callback)](const QVariant &value) { callback(value.toDouble()); });
}

QPointF CDRWebViewContainer::visibleOrigin() const
{
    return m_webView && m_hasDocumentView ? m_webView->page()->scrollPosition() : QPointF();
}

void CDRWebViewContainer::scrollPoint(const QPointF &point)
{
    if (!m_webView || !m_hasDocumentView)
        return;
    m_webView->page()->runJavaScript(
        QStringLiteral("window.scrollTo(%1, %2)").arg(number(point.x()), number(point.y())));
}

void CDRWebViewContainer::mouseDown(const QPointF &locationInWindow)
{
    m_startPt = locationInWindow;
    m_startOrigin = visibleOrigin();
}

void CDRWebViewContainer::mouseDragged(const QPointF &locationInWindow)
{
    scrollPoint(pannedOrigin(m_startOrigin, m_startPt, locationInWindow));
}

QPointF CDRWebViewContainer::pannedOrigin(const QPointF &startOrigin, const QPointF &startPt,
                                          const QPointF &p)
{
    // Window and page coordinates both grow downwards here, so the origin
    // moves against the pointer on both axes.
    return {startOrigin.x() - (p.x() - startPt.x()), startOrigin.y() - (p.y() - startPt.y())};
}

bool CDRWebViewContainer::isScrollerAt(const QPointF &point) const
{
    if (!m_webView || !m_hasDocumentView)
        return false;
    const QSizeF size = m_webView->size();
    const double vertical = m_scrollerThickness.width();
    const double horizontal = m_scrollerThickness.height();
    return (vertical > 0 && point.x() >= size.width() - vertical) ||
           (horizontal > 0 && point.y() >= size.height() - horizontal);
}

void CDRWebViewContainer::refreshPageMetrics()
{
    if (!m_webView || !m_hasDocumentView)
        return;
    QPointer<CDRWebViewContainer> self(this);
    m_webView->page()->runJavaScript(QLatin1String(MetricsScript), [self](const QVariant &metrics) {
        if (self)
            self->takePageMetrics(metrics);
    });
}

void CDRWebViewContainer::takePageMetrics(const QVariant &metrics)
{
    const QVariantList values = metrics.toList();
    if (values.size() != 2)
        return;
    m_scrollerThickness =
        QSizeF(std::max(0.0, values[0].toDouble()), std::max(0.0, values[1].toDouble()));
    emit pageMetricsChanged();
}

bool CDRWebViewContainer::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ChildAdded:
        if (watched == m_webView)
            watch(static_cast<QChildEvent *>(event)->child());
        return false;
    case QEvent::Resize:
        if (watched == m_webView)
            refreshPageMetrics();
        return false;
    case QEvent::ContextMenu:
        return true;
    case QEvent::Wheel:
        return filterWheelEvent(watched, event);
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
        return filterMouseEvent(event);
    default:
        return false;
    }
}

bool CDRWebViewContainer::filterWheelEvent(QObject *watched, QEvent *event)
{
    auto *wheel = static_cast<QWheelEvent *>(event);
    if (!(wheel->modifiers() & Qt::ControlModifier) || !m_webView)
        return false;
    // One step per notch; finer wheels and touchpads add up to notches.
    m_wheelZoomRemainder += wheel->angleDelta().y();
    const int steps = m_wheelZoomRemainder / QWheelEvent::DefaultDeltasPerStep;
    m_wheelZoomRemainder -= steps * QWheelEvent::DefaultDeltasPerStep;
    if (steps != 0) {
        auto *target = static_cast<QWidget *>(watched);
        emit wheelZoomRequested(steps, target->mapTo(m_webView, wheel->position()));
    }
    return true;
}

bool CDRWebViewContainer::filterMouseEvent(QEvent *event)
{
    auto *mouse = static_cast<QMouseEvent *>(event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (isScrollerAt(mouse->position())) {
            m_scrollerGrab = true;
            return false;
        }
        if (mouse->button() == Qt::LeftButton) {
            m_dragging = true;
            mouseDown(mouse->scenePosition());
        }
        return true;
    case QEvent::MouseMove:
        if (m_scrollerGrab)
            return false;
        if (m_dragging && (mouse->buttons() & Qt::LeftButton))
            mouseDragged(mouse->scenePosition());
        return true;
    case QEvent::MouseButtonRelease:
        if (m_scrollerGrab) {
            m_scrollerGrab = mouse->buttons() != Qt::NoButton;
            return false;
        }
        if (mouse->button() == Qt::LeftButton)
            m_dragging = false;
        return true;
    default:
        return false;
    }
}
