#include "WhiteIntermProgIndicator.h"

#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
constexpr double Step = 1.0 / 12.0;
constexpr int SpokeCount = 12;
constexpr double SpokeDegrees = 30.0;

double radians(double degrees)
{
    return degrees * std::numbers::pi / 180.0;
}
} // namespace

WhiteIntermProgIndicator::WhiteIntermProgIndicator(QObject *parent)
    : QObject(parent)
{}

WhiteIntermProgIndicator::~WhiteIntermProgIndicator() = default;

void WhiteIntermProgIndicator::setDoubleValue(double value)
{
    if (value == m_doubleValue)
        return;
    m_doubleValue = std::clamp(value, 0.0, 1.0);
}

void WhiteIntermProgIndicator::setAnimationDelay(double seconds)
{
    if (seconds != m_animationDelay)
        m_animationDelay = seconds;
}

void WhiteIntermProgIndicator::setDisplayedWhenStopped(bool displayed)
{
    if (displayed != m_displayedWhenStopped)
        m_displayedWhenStopped = displayed;
}

void WhiteIntermProgIndicator::setSpinning(bool spinning)
{
    if (spinning == m_spinning)
        return;
    m_spinning = spinning;
    if (spinning) {
        if (m_timer) {
            animate();
            return;
        }
        m_timer = std::make_unique<QTimer>();
        m_timer->setInterval(int(std::lround(m_animationDelay * 1000.0)));
        connect(m_timer.get(), &QTimer::timeout, this, &WhiteIntermProgIndicator::animate);
        m_timer->start();
    } else {
        m_timer.reset();
    }
}

void WhiteIntermProgIndicator::setObjectValue(const QVariant &value)
{
    setSpinning(value.canConvert<bool>() && value.toBool());
}

void WhiteIntermProgIndicator::animate()
{
    m_doubleValue = std::fmod(m_doubleValue + Step, 1.0);
    if (m_parentControl)
        m_parentControl->update();
}

WhiteIntermProgIndicator::Geometry WhiteIntermProgIndicator::geometry(const QRectF &frame,
                                                                      bool flipped) const
{
    Geometry g;
    const float f = flipped ? 1.0f : -1.0f;
    const float s = float(std::min(frame.width(), frame.height()));
    // The spinner sits at the left of a wide frame.
    g.center = QPointF(frame.x() + s * 0.5, frame.y() + frame.height() * 0.5);
    const bool large = s >= 32.0f;
    g.innerRadius = float((large ? 0.23 : 0.27) * s);
    g.outerRadius = float((large ? 0.38 : 0.48) * s);
    g.lineWidth = float(0.08 * s);

    float angle = m_spinning
                      ? float(radians(int(std::round(m_doubleValue / Step)) * SpokeDegrees + 270.0))
                      : 4.712389f;
    angle *= f;
    for (int i = 0; i < SpokeCount; ++i) {
        const double white = i == 0 ? 1.0 : std::min(0.5 * std::sqrt(double(i)), 0.8);
        const double c = std::cos(angle), sn = std::sin(angle);
        g.spokes.append(
            {QLineF(g.center.x() + g.innerRadius * c, g.center.y() + g.innerRadius * sn,
                    g.center.x() + g.outerRadius * c, g.center.y() + g.outerRadius * sn),
             white});
        angle = float(angle - f * radians(SpokeDegrees));
    }
    return g;
}

void WhiteIntermProgIndicator::drawWithFrame(QPainter &painter, const QRectF &cellFrame, QWidget *)
{
    if (!m_spinning && !m_displayedWhenStopped)
        return;
    // Widgets always have y growing downwards.
    const Geometry g = geometry(cellFrame, true);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    for (const Spoke &spoke : g.spokes) {
        painter.setPen(QPen(QColor::fromRgbF(spoke.white, spoke.white, spoke.white, 1.0),
                            g.lineWidth, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(spoke.line);
    }
    painter.restore();
}
