#include "QMStatusView.h"

#include "QMTopView.h"

#include <QLinearGradient>
#include <QPainter>

QMStatusView::QMStatusView(QWidget *parent)
    : QWidget(parent)
{}

void QMStatusView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QMTopView::gradientFor(QRectF(rect())));
}
