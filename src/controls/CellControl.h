#pragma once

#include "ControlCell.h"

#include <QWidget>

#include <memory>

// A control whose whole look is its cell.
class CellControl : public QWidget
{
    Q_OBJECT
public:
    explicit CellControl(QWidget *parent = nullptr);
    ~CellControl() override;

    ControlCell *cell() const { return m_cell.get(); }
    // Replaces the cell; the previous one is destroyed.
    void setCell(std::unique_ptr<ControlCell> cell);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::unique_ptr<ControlCell> m_cell;
};
