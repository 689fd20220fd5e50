#include "ViewLayer.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

namespace {
const char *const BackingLayerName = "backingLayer";
}

ViewLayer::ViewLayer(QWidget *host, QMargins outset)
    : QWidget(host)
    , m_outset(outset)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    host->installEventFilter(this);
    followHost();
    show();
}

ViewLayer *ViewLayer::backingLayer(QWidget *view)
{
    if (ViewLayer *existing = existingBackingLayer(view))
        return existing;
    auto *layer = new ViewLayer(view);
    layer->setObjectName(QString::fromLatin1(BackingLayerName));
    layer->lower();
    // The layer paints the background now; the view must not paint over
    // the layer's rounded corners.
    view->setAutoFillBackground(false);
    return layer;
}

ViewLayer *ViewLayer::existingBackingLayer(QWidget *view)
{
    return view->findChild<ViewLayer *>(QString::fromLatin1(BackingLayerName),
                                        Qt::FindDirectChildrenOnly);
}

void ViewLayer::setBackgroundColor(const QColor &color)
{
    m_backgroundColor = color;
    update();
}

void ViewLayer::setBorderColor(const QColor &color)
{
    m_borderColor = color;
    update();
}

void ViewLayer::setBorderWidth(qreal width)
{
    m_borderWidth = width;
    update();
}

void ViewLayer::setCornerRadius(qreal radius)
{
    m_cornerRadius = radius;
    update();
}

bool ViewLayer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        followHost();
    return QWidget::eventFilter(watched, event);
}

void ViewLayer::followHost()
{
    if (QWidget *host = parentWidget())
        setGeometry(host->rect().marginsAdded(m_outset));
}

void ViewLayer::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    if (m_backgroundColor.isValid() && m_backgroundColor.alpha() > 0) {
        QPainterPath shape;
        shape.addRoundedRect(bounds, m_cornerRadius, m_cornerRadius);
        painter.fillPath(shape, m_backgroundColor);
    }
    if (m_borderWidth > 0.0 && m_borderColor.isValid()) {
        const qreal half = m_borderWidth / 2.0;
        QPen pen(m_borderColor, m_borderWidth);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(bounds.adjusted(half, half, -half, -half), m_cornerRadius,
                                m_cornerRadius);
    }
}
