#pragma once

#include "ControlCell.h"

#include <QLineF>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QVariant>

#include <memory>

class QTimer;

// The white spinning progress indicator of the loading panel: twelve spokes
// whose brightest one walks clockwise, one spoke per animation step.
class WhiteIntermProgIndicator : public QObject, public ControlCell
{
    Q_OBJECT
public:
    struct Spoke
    {
        QLineF line;
        double white = 1.0; // grey level of the spoke, alpha is always 1
    };
    struct Geometry
    {
        QPointF center;
        float innerRadius = 0;
        float outerRadius = 0;
        float lineWidth = 0;
        QList<Spoke> spokes; // the leading (white) spoke first
    };

    static constexpr double DefaultAnimationDelay = 1.0 / 12.0;

    explicit WhiteIntermProgIndicator(QObject *parent = nullptr);
    ~WhiteIntermProgIndicator() override;

    double doubleValue() const { return m_doubleValue; }
    void setDoubleValue(double value);
    double animationDelay() const { return m_animationDelay; }
    void setAnimationDelay(double seconds);
    bool isDisplayedWhenStopped() const { return m_displayedWhenStopped; }
    void setDisplayedWhenStopped(bool displayed);
    bool isSpinning() const { return m_spinning; }
    void setSpinning(bool spinning);
    // Spins when the value reads as true; values that are no booleans stop it.
    void setObjectValue(const QVariant &value);

    QWidget *parentControl() const { return m_parentControl; }
    void setParentControl(QWidget *control) { m_parentControl = control; }

    // The running timer, present exactly while spinning.
    const QTimer *timer() const { return m_timer.get(); }

    // One animation step.
    void animate();

    // What drawWithFrame() strokes for a frame; flipped views have y growing
    // downwards, as every widget does.
    Geometry geometry(const QRectF &frame, bool flipped) const;

    void drawWithFrame(QPainter &painter, const QRectF &cellFrame, QWidget *controlView) override;

private:
    double m_doubleValue = 0.0;
    double m_animationDelay = DefaultAnimationDelay;
    bool m_displayedWhenStopped = true;
    bool m_spinning = false;
    std::unique_ptr<QTimer> m_timer;
    QPointer<QWidget> m_parentControl;
};
