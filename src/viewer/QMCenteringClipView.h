#pragma once

#include <QPointF>
#include <QPointer>
#include <QWidget>

// A clip view that keeps a document smaller than itself centred, and keeps
// the scroll origin of a larger one within the document. The origin is the
// document point shown at the clip view's top-left corner; it is negative
// on an axis where the document is centred.
class QMCenteringClipView : public QWidget
{
    Q_OBJECT
public:
    explicit QMCenteringClipView(QWidget *parent = nullptr);

    QWidget *documentView() const { return m_documentView; }
    void setDocumentView(QWidget *view);

    QPointF boundsOrigin() const { return m_boundsOrigin; }
    // Sets the origin as given, then shows the document accordingly.
    void scrollToPoint(const QPointF &origin);
    // Scrolls to the allowed origin nearest to the proposed one.
    void scrollPoint(const QPointF &proposed);
    void centerDocument();

    // The origin that centres a document narrower or lower than the clip
    // view; axes where it is not keep the current origin.
    static QPointF centeredOrigin(const QSizeF &documentSize, const QRectF &bounds);
    // The allowed origin for a proposed one.
    static QPointF constrainScrollPoint(const QPointF &proposed, const QSizeF &documentSize,
                                        const QSizeF &clipSize);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    // Clicks and drags stop here: no canvas view takes them.
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QSizeF documentSize() const;

    QPointer<QWidget> m_documentView;
    QPointF m_boundsOrigin;
};
