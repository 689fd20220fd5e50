#include "CDRWebViewContainer.h"

#include <QChildEvent>
#include <QContextMenuEvent>
#include <QFile>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <QWheelEvent>

#include <cmath>

namespace {

QString number(double value)
{
    return QString::number(value, 'g', 17);
}

QString point(const QPointF &p)
{
    return QStringLiteral("[%1, %2]").arg(number(p.x()), number(p.y()));
}

// The script that lays out the pages and answers for them; it defines
// itself once per page document.
const QString &pageScript()
{
    static const QString script = [] {
        QFile file(QStringLiteral(":/viewer/PageView.js"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }();
    return script;
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
    connect(page, &QWebEnginePage::loadStarted, this, [this] {
        m_hasDocumentView = false;
        m_layout = {};
    });
    connect(page, &QWebEnginePage::loadFinished, this, &CDRWebViewContainer::onLoadFinished);
    connect(page, &QWebEnginePage::contentsSizeChanged, this,
            &CDRWebViewContainer::refreshPageMetrics);
    connect(page, &QWebEnginePage::scrollPositionChanged, this,
            &CDRWebViewContainer::refreshScrollPosition);
}

void CDRWebViewContainer::watch(QObject *object)
{
    if (object->isWidgetType())
        object->installEventFilter(this);
}

void CDRWebViewContainer::onLoadFinished(bool ok)
{
    m_hasDocumentView = ok;
    if (!ok) {
        emit documentViewChanged(false);
        return;
    }
    // The pages are laid out apart before anyone sees them; a new page
    // document starts at its natural size, and the current magnification
    // is carried over to it.
    runPageScript(QStringLiteral("quillmoorPages.layOut()"), [this] {
        if (!m_hasDocumentView)
            return;
        if (m_magnification != 1.0) {
            const double current = m_magnification;
            m_magnification = 1.0;
            setMagnification(current);
        }
        emit documentViewChanged(true);
    });
}

void CDRWebViewContainer::runPageScript(const QString &call, std::function<void()> then)
{
    if (!m_webView)
        return;
    // The engine answers calls still pending when the page goes, which it
    // does while this container is being destroyed: then nothing of the
    // container may be touched.
    m_webView->page()->runJavaScript(pageScript() + call, QWebEngineScript::ApplicationWorld,
                                     [alive = std::weak_ptr<bool>(m_alive), this,
                                      then = std::move(then)](const QVariant &layout) {
                                         if (alive.expired())
                                             return;
                                         takePageLayout(layout);
                                         if (then)
                                             then();
                                     });
}

void CDRWebViewContainer::takePageLayout(const QVariant &value)
{
    const QVariantList bars = value.toMap().value(QStringLiteral("bars")).toList();
    if (bars.size() == 2) {
        m_scrollerThickness =
            QSizeF(std::max(0.0, bars[0].toDouble()), std::max(0.0, bars[1].toDouble()));
        emit pageMetricsChanged();
    }
    PageLayout layout = PageLayout::fromVariant(value);
    if (layout.isEmpty() && m_layout.isEmpty())
        return;
    m_layout = std::move(layout);
    emit pageLayoutChanged();
}

void CDRWebViewContainer::setMagnification(double magnification, std::optional<QPointF> anchor)
{
    if (!m_hasDocumentView || !m_webView)
        return;
    const double current = m_magnification;
    const float factor = float(magnification / current);
    // The factor is single precision; where that is all that stands
    // between the result and the magnification asked for, the result is
    // that magnification.
    const double scaled = current * double(factor);
    m_magnification =
        std::abs(scaled - magnification) <= magnification * 1e-6 ? magnification : scaled;
    // The zoom goes on the pages rather than on the page's own zoom factor,
    // which the engine caps; the point of the drawing at the anchor stays
    // in place.
    runPageScript(
        QStringLiteral("quillmoorPages.magnify(%1, %2, -1, null)")
            .arg(number(m_magnification), anchor ? point(*anchor) : QStringLiteral("null")));
    m_webView->update();
}

void CDRWebViewContainer::setMagnification(double magnification, int page, const QPointF &fractions,
                                           const QPointF &at)
{
    if (!m_hasDocumentView || !m_webView)
        return;
    m_magnification = magnification;
    runPageScript(
        QStringLiteral("quillmoorPages.magnify(%1, %2, %3, %4)")
            .arg(number(m_magnification), point(at), QString::number(page), point(fractions)));
    m_webView->update();
}

void CDRWebViewContainer::pageDown()
{
    if (m_hasDocumentView)
        runPageScript(QStringLiteral("quillmoorPages.pageDown(%1)").arg(PageStepOverlap));
}

void CDRWebViewContainer::pageUp()
{
    if (m_hasDocumentView)
        runPageScript(QStringLiteral("quillmoorPages.pageUp(%1)").arg(PageStepOverlap));
}

void CDRWebViewContainer::goToPage(int page, std::function<void()> then)
{
    if (m_hasDocumentView)
        runPageScript(QStringLiteral("quillmoorPages.goToPage(%1)").arg(page), std::move(then));
}

void CDRWebViewContainer::scrollToStart(std::function<void()> then)
{
    if (m_hasDocumentView)
        runPageScript(QStringLiteral("quillmoorPages.scrollTo(window.scrollX, 0)"),
                      std::move(then));
}

void CDRWebViewContainer::scrollToEnd(std::function<void()> then)
{
    if (m_hasDocumentView)
        runPageScript(QStringLiteral("quillmoorPages.scrollTo(window.scrollX,"
                                     " document.documentElement.scrollHeight)"),
                      std::move(then));
}

void CDRWebViewContainer::readPageMagnification(std::function<void(double)> callback) const
{
    if (!m_webView) {
        callback(1.0);
        return;
    }
    m_webView->page()->runJavaScript(
        QStringLiteral("(function() {"
                       " var pages = document.getElementsByTagNameNS('http://www.w3.org/2000/svg',"
                       " 'svg');"
                       " var z = pages.length ? parseFloat(pages[0].style.zoom) : NaN;"
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
    if (m_webView && m_hasDocumentView)
        runPageScript(QStringLiteral("quillmoorPages.layout()"));
}

// The engine tells of a scroll some time after it happened, after a later
// script may have scrolled again; its position would take the view back for
// a moment. The page itself is asked instead, in turn with the scripts, and
// only for its scroll position: this runs at every frame of a scroll.
void CDRWebViewContainer::refreshScrollPosition()
{
    if (!m_webView || !m_hasDocumentView || m_layout.isEmpty())
        return;
    m_webView->page()->runJavaScript(
        pageScript() + QStringLiteral("quillmoorPages.scrollPosition()"),
        QWebEngineScript::ApplicationWorld,
        [alive = std::weak_ptr<bool>(m_alive), this](const QVariant &value) {
            const QVariantList scroll = value.toList();
            if (alive.expired() || scroll.size() != 2 || m_layout.isEmpty())
                return;
            m_layout.scroll = QPointF(scroll[0].toDouble(), scroll[1].toDouble());
            emit pageLayoutChanged();
        });
}

bool CDRWebViewContainer::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ChildAdded:
        if (watched == m_webView)
            watch(static_cast<QChildEvent *>(event)->child());
        return false;
    case QEvent::Resize:
        if (watched == m_webView) {
            refreshPageMetrics();
            emit viewResized();
        }
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
