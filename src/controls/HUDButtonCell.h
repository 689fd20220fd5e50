#pragma once

#include <QAbstractButton>
#include <QPainterPath>

class QShortcut;

// A dark HUD push button or check box. A push button whose key equivalent
// is Return is drawn blue and is pressed by the Return key.
class HUDButtonCell : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(quint64 buttonType READ buttonType WRITE setButtonType)
    Q_PROPERTY(QString keyEquivalent READ keyEquivalent WRITE setKeyEquivalent)
public:
    // The button types the drawing distinguishes.
    static constexpr quint64 MomentaryPushInButton = 7;
    static constexpr quint64 SwitchButton = 3; // a check box
    static constexpr int MixedState = -1;
    static constexpr int OffState = 0;
    static constexpr int OnState = 1;

    explicit HUDButtonCell(QWidget *parent = nullptr);

    quint64 buttonType() const { return m_buttonType; }
    void setButtonType(quint64 type);
    QString keyEquivalent() const { return m_keyEquivalent; }
    void setKeyEquivalent(const QString &key);

    // Check-box state: off, on or mixed.
    int state() const;
    void setState(int state);

    bool isCheckBox() const { return m_buttonType == SwitchButton; }
    bool drawsBlue() const { return m_keyEquivalent == QLatin1String("\r") && !isCheckBox(); }

    // The rounded path of the last bezel drawn.
    const QPainterPath &bezelPath() const { return m_bezelPath; }

    // The check mark for a box; mixed draws a dash.
    static QPainterPath checkMarkPath(const QRectF &box, bool mixed);
    // Where a check box puts its box and its title.
    QRectF imageFrame() const;
    QRectF titleFrame() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void nextCheckState() override;

private:
    void drawBezelWithFrame(QPainter &painter, const QRectF &frame);
    QRectF drawTitle(QPainter &painter, const QRectF &frame);
    void drawImage(QPainter &painter, const QRectF &frame);

    quint64 m_buttonType = MomentaryPushInButton;
    QString m_keyEquivalent;
    bool m_mixed = false;
    QPainterPath m_bezelPath;
    QShortcut *m_returnShortcut = nullptr;
    QShortcut *m_enterShortcut = nullptr;
};
