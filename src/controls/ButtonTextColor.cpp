#include "ButtonTextColor.h"

#include <QAbstractButton>
#include <QPalette>

QColor textColor(const QAbstractButton &button)
{
    return button.palette().color(QPalette::ButtonText);
}

void setTextColor(QAbstractButton &button, const QColor &color)
{
    QPalette palette = button.palette();
    palette.setColor(QPalette::ButtonText, color);
    palette.setColor(QPalette::WindowText, color);
    button.setPalette(palette);
}
