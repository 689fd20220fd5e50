#include "QMCenteringClipView.h"

#include <QEvent>
#include <QMouseEvent>

#include <algorithm>
#include <cmath>

QMCenteringClipView::QMCenteringClipView(QWidget *parent)
    : QWidget(parent)
{}

void QMCenteringClipView::setDocumentView(QWidget *view)
{
    if (m_documentView)
        m_documentView->removeEventFilter(this);
    m_documentView = view;
    if (view) {
        view->setParent(this);
        view->installEventFilter(this);
        view->show();
    }
    centerDocument();
}

QSizeF QMCenteringClipView::documentSize() const
{
    return m_documentView ? QSizeF(m_documentView->size()) : QSizeF(0, 0);
}

QPointF QMCenteringClipView::centeredOrigin(const QSizeF &documentSize, const QRectF &bounds)
{
    QPointF origin = bounds.topLeft();
    if (bounds.width() > documentSize.width())
        origin.setX(std::round(float((documentSize.width() - bounds.width()) * 0.5)));
    if (bounds.height() > documentSize.height())
        origin.setY(std::round(float((documentSize.height() - bounds.height()) * 0.5)));
    return origin;
}

QPointF QMCenteringClipView::constrainScrollPoint(const QPointF &proposed,
                                                  const QSizeF &documentSize,
                                                  const QSizeF &clipSize)
{
    auto axis = [](double p, double document, double clip) -> double {
        const float d = float(document - clip);
        if (clip > document)
            return std::round(d * 0.5f);
        return std::round(std::max(std::min(float(p), d), 0.0f));
    };
    return {axis(proposed.x(), documentSize.width(), clipSize.width()),
            axis(proposed.y(), documentSize.height(), clipSize.height())};
}

void QMCenteringClipView::scrollToPoint(const QPointF &origin)
{
    m_boundsOrigin = origin;
    if (m_documentView)
        m_documentView->move((-origin).toPoint());
}

void QMCenteringClipView::scrollPoint(const QPointF &proposed)
{
    scrollToPoint(constrainScrollPoint(proposed, documentSize(), QSizeF(size())));
}

void QMCenteringClipView::centerDocument()
{
    scrollToPoint(centeredOrigin(documentSize(), QRectF(m_boundsOrigin, QSizeF(size()))));
}

bool QMCenteringClipView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_documentView && event->type() == QEvent::Resize)
        centerDocument();
    return QWidget::eventFilter(watched, event);
}

void QMCenteringClipView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    centerDocument();
}

void QMCenteringClipView::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void QMCenteringClipView::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
}

void QMCenteringClipView::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
}
