#pragma once

#include <QWidget>

// The blue bar across the top of a window.
class QMTopView : public QWidget
{
    Q_OBJECT
public:
    explicit QMTopView(QWidget *parent = nullptr);

    // The bar's gradient over a rectangle: light blue on the right,
    // darker blue on the left.
    static QLinearGradient gradientFor(const QRectF &bounds);

protected:
    void paintEvent(QPaintEvent *event) override;
};
