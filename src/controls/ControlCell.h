#pragma once

#include <QRectF>

class QPainter;
class QWidget;

// Something a control draws in its frame without being a widget itself, so
// that a control can change its look by swapping cells.
class ControlCell
{
public:
    virtual ~ControlCell() = default;
    virtual void drawWithFrame(QPainter &painter, const QRectF &cellFrame,
                               QWidget *controlView) = 0;
};
