#include "WindowCascade.h"

#include <algorithm>

namespace WindowCascade {

QPoint nextPosition(const QRect &available, const QSize &size, std::optional<QPoint> previous)
{
    if (!previous) {
        QRect frame(QPoint(), size);
        frame.moveCenter(available.center());
        return {std::max(frame.left(), available.left()), std::max(frame.top(), available.top())};
    }
    QPoint next = *previous + QPoint(Step, Step);
    if (next.x() + size.width() > available.right() + 1 ||
        next.y() + size.height() > available.bottom() + 1)
        next = available.topLeft();
    return next;
}

} // namespace WindowCascade
