#pragma once

#include <QWidget>

// Draws the frame of a HUD window: a dark translucent rounded body with a
// gradient title bar carrying the window's title.
class HUDWindowFrameView : public QWidget
{
    Q_OBJECT
public:
    static constexpr qreal TitleBarHeight = 22.0;
    static constexpr qreal CornerRadius = 10.0;

    explicit HUDWindowFrameView(QWidget *parent = nullptr);

    // Where the title goes in a title bar, for a title of the given size.
    static QRectF titleRect(const QRectF &titleBar, const QSizeF &textSize);
    static QFont titleFont();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void drawTitle(QPainter &painter, const QRectF &titleBar);

    QPointF m_dragOffset;
};
