#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

// Where a new document window goes: the first in the middle of the screen
// area, each further one down and to the right of the one before, so that
// none hides another; back to the top-left corner of the area when the
// next step would leave it.
namespace WindowCascade {

// How far each window lies from the one before.
constexpr int Step = 32;

QPoint nextPosition(const QRect &available, const QSize &size,
                    std::optional<QPoint> previous = std::nullopt);

} // namespace WindowCascade
