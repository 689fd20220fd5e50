#include "QMTopView.h"

#include <QLinearGradient>
#include <QPainter>

QMTopView::QMTopView(QWidget *parent)
    : QWidget(parent)
{}

QLinearGradient QMTopView::gradientFor(const QRectF &bounds)
{
    QLinearGradient gradient(bounds.topRight(), bounds.topLeft());
    gradient.setColorAt(0, QColor::fromRgbF(0.09, 0.55, 0.9, 1.0));
    gradient.setColorAt(1, QColor::fromRgbF(0.05, 0.25, 0.6, 1.0));
    return gradient;
}

void QMTopView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), gradientFor(QRectF(rect())));
}
