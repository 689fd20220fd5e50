#include "CellControl.h"

#include <QPainter>

CellControl::CellControl(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

CellControl::~CellControl() = default;

void CellControl::setCell(std::unique_ptr<ControlCell> cell)
{
    m_cell = std::move(cell);
    update();
}

void CellControl::paintEvent(QPaintEvent *)
{
    if (!m_cell)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    m_cell->drawWithFrame(painter, QRectF(rect()), this);
}
