#pragma once

#include <QColor>
#include <QMargins>
#include <QWidget>

// A layer of a view: a background (rounded when it has a corner radius) or
// a border, drawn under or over the view's contents. It keeps its frame
// relative to the view, growing and shrinking with it, and lets the mouse
// through to the view.
class ViewLayer : public QWidget
{
    Q_OBJECT
public:
    // A layer in `host` whose frame is the host's bounds grown by `outset`.
    explicit ViewLayer(QWidget *host, QMargins outset = {});

    // The layer backing a view, made (under the view's contents) on first
    // use. A view that has one is layer-backed.
    static ViewLayer *backingLayer(QWidget *view);
    // The backing layer if the view has one, else null.
    static ViewLayer *existingBackingLayer(QWidget *view);

    QColor backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor &color);
    QColor borderColor() const { return m_borderColor; }
    void setBorderColor(const QColor &color);
    qreal borderWidth() const { return m_borderWidth; }
    void setBorderWidth(qreal width);
    qreal cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(qreal radius);
    QMargins outset() const { return m_outset; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void followHost();

    QMargins m_outset;
    QColor m_backgroundColor;
    QColor m_borderColor;
    qreal m_borderWidth = 0.0;
    qreal m_cornerRadius = 0.0;
};
