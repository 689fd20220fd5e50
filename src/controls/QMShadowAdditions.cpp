#include "QMShadowAdditions.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <vector>

namespace {

// Three box blurs approximate a Gaussian; radius in device pixels.
void blurAlpha(QImage &image, int radius)
{
    if (radius <= 0)
        return;
    const int w = image.width(), h = image.height();
    std::vector<int> line(std::max(w, h));
    auto pass = [&](bool horizontal) {
        const int outer = horizontal ? h : w, inner = horizontal ? w : h;
        for (int o = 0; o < outer; ++o) {
            auto at = [&](int i) -> QRgb & {
                const int x = horizontal ? i : o, y = horizontal ? o : i;
                return reinterpret_cast<QRgb *>(image.scanLine(y))[x];
            };
            for (int i = 0; i < inner; ++i)
                line[i] = qAlpha(at(i));
            int sum = 0;
            for (int i = -radius; i <= radius; ++i)
                sum += (i >= 0 && i < inner) ? line[i] : 0;
            const int span = 2 * radius + 1;
            for (int i = 0; i < inner; ++i) {
                const int a = sum / span;
                at(i) = qRgba(0, 0, 0, a);
                const int out = i - radius, in = i + radius + 1;
                sum += (in < inner ? line[in] : 0) - (out >= 0 ? line[out] : 0);
            }
        }
    };
    for (int k = 0; k < 3; ++k) {
        pass(true);
        pass(false);
    }
}

} // namespace

void drawShadowOf(QPainter &painter, const Shadow &shadow,
                  const std::function<void(QPainter &)> &draw)
{
    const QPaintDevice *device = painter.device();
    if (!device || !shadow.color.isValid() || shadow.color.alpha() == 0)
        return;
    const qreal ratio = device->devicePixelRatioF();
    QImage mask(QSize(device->width(), device->height()) * ratio,
                QImage::Format_ARGB32_Premultiplied);
    mask.setDevicePixelRatio(ratio);
    mask.fill(Qt::transparent);
    {
        QPainter maskPainter(&mask);
        maskPainter.setRenderHints(painter.renderHints());
        maskPainter.setTransform(painter.transform());
        // Unclipped: the painter's own clip applies where the shadow lands.
        draw(maskPainter);
    }
    blurAlpha(mask, int(std::ceil(shadow.blurRadius * ratio)));
    {
        QPainter tint(&mask);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        tint.fillRect(QRectF(QPointF(0, 0), QSizeF(mask.size()) / ratio), shadow.color);
    }
    painter.save();
    painter.resetTransform();
    painter.drawImage(shadow.offset, mask);
    painter.restore();
}

void drawWithShadow(QPainter &painter, const Shadow &shadow,
                    const std::function<void(QPainter &)> &draw)
{
    drawShadowOf(painter, shadow, draw);
    draw(painter);
}

void fillWithInnerShadow(QPainter &painter, const QPainterPath &path, const Shadow &shadow)
{
    painter.save();
    const qreal ox = shadow.offset.x(), oy = shadow.offset.y(), br = shadow.blurRadius;
    const QRectF bounds = path.isEmpty() ? QRectF() : path.boundingRect();
    const QRectF outer = bounds.adjusted(-(std::abs(ox) + br), -(std::abs(oy) + br),
                                         std::abs(ox) + br, std::abs(oy) + br);
    // The surroundings: the enlarged rectangle with the path cut out.
    QPainterPath surroundings;
    surroundings.setFillRule(Qt::OddEvenFill);
    surroundings.addRect(outer);
    surroundings.addPath(path);
    painter.setClipPath(path, Qt::IntersectClip);
    drawShadowOf(painter, shadow, [&](QPainter &p) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawPath(surroundings);
    });
    painter.restore();
}
