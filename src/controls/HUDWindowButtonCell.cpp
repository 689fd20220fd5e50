#include "HUDWindowButtonCell.h"

#include "QMShadowAdditions.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {
QColor white(double level, double alpha = 1.0)
{
    return QColor::fromRgbF(level, level, level, alpha);
}
} // namespace

HUDWindowButtonCell::HUDWindowButtonCell(QWidget *parent)
    : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    // Drawn as a cross only; screen readers need its name.
    setAccessibleName(tr("Close"));
}

HUDWindowButtonCell::Cross HUDWindowButtonCell::crossFor(double cellWidth)
{
    const double width = cellWidth - 3.0; // the frame inset by 1.5 on each side
    Cross cross;
    cross.d = std::floor(0.5253219888177297 * width) - 1.0;
    cross.o = std::round((width - cross.d) * 0.5);
    return cross;
}

void HUDWindowButtonCell::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QRectF r = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    r.moveTop(0.5);

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(white(1.0, 0.1), 1.0));
    painter.drawEllipse(QRectF(r.x(), 1.5, r.width(), r.height()));

    QPainterPath body;
    body.addEllipse(r);
    QLinearGradient gradient(r.bottomLeft(), r.topLeft()); // lighter at the top
    gradient.setColorAt(0, white(0.07));
    gradient.setColorAt(1, white(0.22));
    painter.fillPath(body, gradient);
    painter.strokePath(body, QPen(white(0.04), 1.0));

    const Cross cross = crossFor(width());
    const double o = cross.o, d = cross.d;
    painter.setPen(QPen(white(0.45), 2.0));
    painter.drawLine(QPointF(o + 1, o + d), QPointF(o + d + 1, o));
    painter.drawLine(QPointF(o + d + 1, o + d), QPointF(o + 1, o));

    painter.save();
    painter.setClipRect(QRectF(r.x(), r.y(), r.width(), o));
    fillWithInnerShadow(painter, body, Shadow{white(1.0, 0.1), QPointF(0, 0), 1.0});
    painter.restore();

    if (isDown())
        painter.fillPath(body, white(0.0, 0.3));
}
