#pragma once

#include <QColor>

class QAbstractButton;

// The colour of a button's title: the one set with setTextColor(), else the
// control text colour of its palette.
QColor textColor(const QAbstractButton &button);
void setTextColor(QAbstractButton &button, const QColor &color);
