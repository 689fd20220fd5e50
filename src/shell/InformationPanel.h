#pragma once

#include <QColor>
#include <QPointer>
#include <QWidget>

// A container showing one view at a time, on a coloured layer with a thin
// border along its bottom (the border reaches one point beyond the view's
// other edges, where the container clips it).
class InformationPanel
{
public:
    static const QColor White;
    static const QColor Grey;
    static const QColor Dark;
    static const QColor Black;

    InformationPanel(QWidget *placeHolderView, QColor background, QColor border);

    QWidget *placeHolderView() const { return m_placeHolderView; }
    QWidget *activeView() const { return m_activeView; }

    // Shows the view filling the container, replacing the current one.
    // Showing the current view again changes nothing. A replaced view
    // returns hidden to the parent it came from; one that came without a
    // parent stays, hidden, in the container, which owns it from then on.
    void showView(QWidget *view);

private:
    QPointer<QWidget> m_placeHolderView;
    QPointer<QWidget> m_activeView;
    QPointer<QWidget> m_activeViewHome;
    QColor m_background;
    QColor m_border;
};
