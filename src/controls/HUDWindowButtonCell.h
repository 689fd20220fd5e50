#pragma once

#include <QAbstractButton>

// The round close button in the title bar of a HUD window.
class HUDWindowButtonCell : public QAbstractButton
{
    Q_OBJECT
public:
    explicit HUDWindowButtonCell(QWidget *parent = nullptr);

    struct Cross
    {
        double d = 0; // length of the cross's sides
        double o = 0; // its offset from the button's corner
    };
    // The cross for a cell frame of the given width, as drawn.
    static Cross crossFor(double cellWidth);

    QSize sizeHint() const override { return {18, 18}; }

protected:
    void paintEvent(QPaintEvent *event) override;
};
