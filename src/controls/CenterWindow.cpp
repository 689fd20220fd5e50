#include "CenterWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void centerWindow(QWidget *window)
{
    if (!window)
        return;
    const QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}
