#pragma once

#include <QPointer>
#include <QWidget>

class HUDWindowFrameView;
class HUDWindowButtonCell;

// A borderless, dark, translucent panel with its own frame, title and
// close button, movable by dragging its background. The caller's content
// view covers the whole frame, title bar included.
class HUDWindow : public QWidget
{
    Q_OBJECT
public:
    explicit HUDWindow(QWidget *parent = nullptr);

    // The caller's view, owned by the window while it is shown. A replaced
    // view returns hidden to the parent it came from; one that came without
    // a parent stays with the window, which owns it from then on.
    QWidget *contentView() const { return m_customContentView; }
    void setContentView(QWidget *view);

    static QRect contentRectForFrameRect(const QRect &frame)
    {
        return {QPoint(0, 0), frame.size()};
    }
    static QRect frameRectForContentRect(const QRect &content) { return content; }

    HUDWindowFrameView *frameView() const { return m_frameView; }
    HUDWindowButtonCell *closeButton() const { return m_closeButton; }

protected:
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void returnContentView();

    QPointer<QWidget> m_customContentView;
    QPointer<QWidget> m_contentHome;
    HUDWindowFrameView *m_frameView = nullptr;
    HUDWindowButtonCell *m_closeButton = nullptr;
};
