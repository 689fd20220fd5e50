#pragma once

#include <QColor>
#include <QPointF>

#include <functional>

class QPainter;
class QPainterPath;

// A drop shadow as the drawing code describes it. The offset is in widget
// coordinates: a positive y puts the shadow below the shape.
struct Shadow
{
    QColor color;
    QPointF offset;
    qreal blurRadius = 0;
};

// Draws the shadow that the shapes painted by draw() would cast, without
// the shapes themselves. The painter has no shadow state of its own, so the
// shapes are rendered into a mask, blurred and tinted.
void drawShadowOf(QPainter &painter, const Shadow &shadow,
                  const std::function<void(QPainter &)> &draw);

// Draws the shapes with their shadow beneath them.
void drawWithShadow(QPainter &painter, const Shadow &shadow,
                    const std::function<void(QPainter &)> &draw);

// Fills the inside of path with the shadow that its surroundings would cast
// into it: a sunken look. Nothing outside the path is touched.
void fillWithInnerShadow(QPainter &painter, const QPainterPath &path, const Shadow &shadow);
