#pragma once

#include <QPointer>
#include <QWidget>

class PopoverDelegate;
class QVBoxLayout;

// A small frame of content shown next to the control that asked for it. It
// never takes the keyboard from the window it belongs to. A transient
// popover closes as soon as the user works elsewhere: a press outside it,
// Escape, or another application. The user can drag a popover off into the
// delegate's detachable window.
class Popover : public QWidget
{
    Q_OBJECT
public:
    enum class Behavior
    {
        ApplicationDefined = 0,
        Transient = 1,
        Semitransient = 2
    };
    enum class Appearance
    {
        Minimal = 0,
        HUD = 1
    };
    // Sides of the anchor rectangle, named as in an unflipped view, where y
    // grows upwards: MaxY is the top edge.
    enum class Edge
    {
        MinX = 0,
        MinY = 1,
        MaxX = 2,
        MaxY = 3
    };

    explicit Popover(QWidget *parent = nullptr);
    // Gives the content view back to the parent it came from.
    ~Popover() override;

    // The view shown; it moves into the popover and returns, hidden, to its
    // own parent when the popover goes away.
    QWidget *contentViewController() const { return m_content; }
    void setContentViewController(QWidget *controller);

    bool animates() const { return m_animates; }
    void setAnimates(bool animates) { m_animates = animates; }
    Behavior behavior() const { return m_behavior; }
    void setBehavior(Behavior behavior) { m_behavior = behavior; }
    Appearance appearance() const { return m_appearance; }
    void setAppearance(Appearance appearance);
    PopoverDelegate *delegate() const { return m_delegate; }
    void setDelegate(PopoverDelegate *delegate) { m_delegate = delegate; }

    bool isShown() const { return m_shown; }

    // Shows the popover beside the rectangle (in the view's coordinates) on
    // the preferred edge, or on the opposite one when the screen has no
    // room there.
    void showRelativeToRect(const QRect &rect, QWidget *view, Edge preferredEdge);
    void performClose() { close(); }
    // Closes the popover and shows the delegate's detachable window with
    // its top-left corner at the given point; false when there is none.
    bool detach(const QPoint &globalTopLeft);

    static constexpr int Gap = 4;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QPoint placement(const QRect &anchor, Edge edge) const;
    QWidget *detachInto(const QPoint &globalTopLeft);
    void returnContent();
    void announceClosing();

    QVBoxLayout *m_layout = nullptr;
    QPointer<QWidget> m_content;
    QPointer<QWidget> m_contentHome;
    PopoverDelegate *m_delegate = nullptr;
    bool m_animates = false;
    Behavior m_behavior = Behavior::ApplicationDefined;
    Appearance m_appearance = Appearance::Minimal;
    bool m_shown = false;
    bool m_closing = false;
    // Where a drag on the popover started, in global coordinates.
    QPoint m_dragStart;
    QPoint m_dragStartTopLeft;
    bool m_dragging = false;
};
