#include "HUDWindow.h"

#include "HUDWindowButtonCell.h"
#include "HUDWindowFrameView.h"

#include <QEvent>

HUDWindow::HUDWindow(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void HUDWindow::returnContentView()
{
    if (!m_customContentView)
        return;
    m_customContentView->hide();
    m_customContentView->setParent(m_contentHome ? m_contentHome.data() : this);
}

void HUDWindow::setContentView(QWidget *view)
{
    if (view == m_customContentView)
        return;
    if (!m_frameView) {
        m_frameView = new HUDWindowFrameView(this);
        m_frameView->setGeometry(QRect(QPoint(0, 0), size()));
        m_closeButton = new HUDWindowButtonCell(m_frameView);
        m_closeButton->setGeometry(5, 5, 18, 18);
        connect(m_closeButton, &QAbstractButton::clicked, this, &QWidget::close);
        m_frameView->show();
    }
    returnContentView();
    m_customContentView = view;
    if (!view)
        return;
    QWidget *home = view->parentWidget();
    m_contentHome = home == this || home == m_frameView ? nullptr : home;
    view->setParent(m_frameView);
    view->setGeometry(contentRectForFrameRect(geometry()));
    view->show();
    // The content covers the title bar; the close button must stay on top
    // of it to remain visible and clickable.
    m_closeButton->raise();
}

void HUDWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::WindowTitleChange && m_frameView)
        m_frameView->update();
    QWidget::changeEvent(event);
}

void HUDWindow::resizeEvent(QResizeEvent *event)
{
    if (m_frameView) {
        m_frameView->setGeometry(QRect(QPoint(0, 0), size()));
        if (m_customContentView)
            m_customContentView->setGeometry(contentRectForFrameRect(geometry()));
    }
    QWidget::resizeEvent(event);
}
