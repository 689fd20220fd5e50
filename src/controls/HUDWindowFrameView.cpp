#include "HUDWindowFrameView.h"

#include "QMShadowAdditions.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWindow>

namespace {
QColor white(double level, double alpha = 1.0)
{
    return QColor::fromRgbF(level, level, level, alpha);
}
} // namespace

HUDWindowFrameView::HUDWindowFrameView(QWidget *parent)
    : QWidget(parent)
{}

QFont HUDWindowFrameView::titleFont()
{
    QFont font;
    font.setPixelSize(11);
    return font;
}

QRectF HUDWindowFrameView::titleRect(const QRectF &titleBar, const QSizeF &textSize)
{
    const QRectF r(0, titleBar.y() + titleBar.height() * 0.5 - textSize.height() * 0.5,
                   titleBar.width(), textSize.height());
    return QRectF(r.toAlignedRect());
}

void HUDWindowFrameView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF b = rect();

    QPainterPath outer;
    const QRectF outerRect = b.adjusted(0.5, 0.5, -0.5, -0.5);
    outer.addRoundedRect(outerRect, CornerRadius, CornerRadius);
    painter.save();
    painter.setClipPath(outer);

    const QRectF titleBar(0, 0, b.width(), TitleBarHeight);
    QLinearGradient gradient(titleBar.bottomLeft(), titleBar.topLeft()); // lighter at the top
    gradient.setColorAt(0, white(0.15, 0.96));
    gradient.setColorAt(1, white(0.24, 0.96));
    painter.fillRect(titleBar, gradient);
    drawTitle(painter, titleBar);

    painter.fillRect(QRectF(0, TitleBarHeight, b.width(), b.height() - TitleBarHeight),
                     white(0.15, 0.96));

    // A faint light rim along the top and the upper sides; its lower edge
    // lies outside the view.
    QRectF rim = outerRect.adjusted(0, 0.5, 0, -0.5);
    rim.setHeight(rim.height() + 50.0);
    QPainterPath rimPath;
    rimPath.addRoundedRect(rim, CornerRadius, CornerRadius);
    painter.strokePath(rimPath, QPen(white(1.0, 0.2), 1.0));
    painter.restore();

    painter.strokePath(outer, QPen(Qt::black, 1.0));
}

void HUDWindowFrameView::drawTitle(QPainter &painter, const QRectF &titleBar)
{
    const QString title = window()->windowTitle();
    if (title.isEmpty())
        return;
    const QFont font = titleFont();
    const QRectF r = titleRect(titleBar, QFontMetricsF(font).size(Qt::TextSingleLine, title));
    drawWithShadow(painter, Shadow{Qt::black, QPointF(0, -1.0), 1.0}, [&](QPainter &p) {
        p.setFont(font);
        p.setPen(white(0.7));
        p.drawText(r, Qt::AlignHCenter | Qt::AlignVCenter, title);
    });
}

void HUDWindowFrameView::mousePressEvent(QMouseEvent *event)
{
    // The whole background moves the window.
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    QWindow *handle = window()->windowHandle();
    if (handle && handle->startSystemMove())
        return;
    m_dragOffset = event->globalPosition() - QPointF(window()->pos());
}

void HUDWindowFrameView::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        window()->move((event->globalPosition() - m_dragOffset).toPoint());
}
