#pragma once

class QWidget;

// Moves a window to the middle of the screen it is on (or the primary one).
void centerWindow(QWidget *window);
