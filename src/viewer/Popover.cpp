#include "Popover.h"

#include "PopoverDelegate.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QScreen>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace {
constexpr int Margin = 12;
constexpr qreal CornerRadius = 6.0;
constexpr int FadeMilliseconds = 120;
} // namespace

Popover::Popover(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
    , m_layout(new QVBoxLayout(this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    m_layout->setContentsMargins(Margin, Margin, Margin, Margin);
}

Popover::~Popover()
{
    returnContent();
}

void Popover::returnContent()
{
    if (!m_content || m_content->parentWidget() != this)
        return;
    m_layout->removeWidget(m_content);
    m_content->hide();
    // Content whose home has gone stays, and goes with the popover.
    if (m_contentHome)
        m_content->setParent(m_contentHome);
}

void Popover::setContentViewController(QWidget *controller)
{
    if (controller == m_content)
        return;
    returnContent();
    m_content = controller;
    if (!controller)
        return;
    // A view taken from another popover still waiting for deletion keeps
    // the home it came from.
    auto *previous = qobject_cast<Popover *>(controller->parentWidget());
    m_contentHome = previous ? previous->m_contentHome.data() : controller->parentWidget();
    if (previous)
        previous->m_content = nullptr;
    controller->setParent(this);
    m_layout->addWidget(controller);
    controller->show();
}

void Popover::setAppearance(Appearance appearance)
{
    m_appearance = appearance;
    update();
}

void Popover::showRelativeToRect(const QRect &rect, QWidget *view, Edge preferredEdge)
{
    if (!view)
        return;
    if (m_shown) {
        move(placement(QRect(view->mapToGlobal(rect.topLeft()), rect.size()), preferredEdge));
        return;
    }
    // A tool window that never takes the keyboard: the window it belongs to
    // keeps it, shortcuts included. A transient popover closes itself when
    // the user works elsewhere (see eventFilter()).
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    adjustSize();
    move(placement(QRect(view->mapToGlobal(rect.topLeft()), rect.size()), preferredEdge));

    if (m_delegate)
        m_delegate->popoverWillShow(this);
    m_shown = true;
    m_closing = false;
    // The tooltip of the button that asked for the popover would otherwise
    // linger over it.
    QToolTip::hideText();
    if (m_behavior == Behavior::Transient)
        qApp->installEventFilter(this);
    if (m_animates) {
        setWindowOpacity(0.0);
        auto *fade = new QPropertyAnimation(this, "windowOpacity", this);
        fade->setDuration(FadeMilliseconds);
        fade->setStartValue(0.0);
        fade->setEndValue(1.0);
        show();
        fade->start(QAbstractAnimation::DeleteWhenStopped);
    } else {
        setWindowOpacity(1.0);
        show();
    }
    raise();
    if (m_delegate)
        m_delegate->popoverDidShow(this);
}

QPoint Popover::placement(const QRect &anchor, Edge edge) const
{
    const QSize size = this->size();
    const auto at = [&](Edge side) {
        switch (side) {
        case Edge::MinX:
            return QPoint(anchor.left() - Gap - size.width(),
                          anchor.center().y() - size.height() / 2);
        case Edge::MaxX:
            return QPoint(anchor.right() + 1 + Gap, anchor.center().y() - size.height() / 2);
        case Edge::MinY:
            return QPoint(anchor.center().x() - size.width() / 2, anchor.bottom() + 1 + Gap);
        case Edge::MaxY:
            break;
        }
        return QPoint(anchor.center().x() - size.width() / 2, anchor.top() - Gap - size.height());
    };
    const QScreen *screen = QGuiApplication::screenAt(anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return at(edge);
    const QRect room = screen->availableGeometry();
    QPoint point = at(edge);
    // Not enough room on the preferred side: use the opposite one.
    const bool fits = room.contains(QRect(point, size));
    if (!fits) {
        const Edge opposite = edge == Edge::MinX   ? Edge::MaxX
                              : edge == Edge::MaxX ? Edge::MinX
                              : edge == Edge::MinY ? Edge::MaxY
                                                   : Edge::MinY;
        const QPoint other = at(opposite);
        if (room.contains(QRect(other, size)))
            point = other;
    }
    point.setX(
        std::clamp(point.x(), room.left(), std::max(room.left(), room.right() + 1 - size.width())));
    point.setY(
        std::clamp(point.y(), room.top(), std::max(room.top(), room.bottom() + 1 - size.height())));
    return point;
}

bool Popover::detach(const QPoint &globalTopLeft)
{
    return detachInto(globalTopLeft) != nullptr;
}

QWidget *Popover::detachInto(const QPoint &globalTopLeft)
{
    QWidget *window = m_delegate ? m_delegate->detachableWindowForPopover(this) : nullptr;
    if (!window)
        return nullptr;
    close();
    window->move(globalTopLeft);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void Popover::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath frame;
    frame.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), CornerRadius, CornerRadius);
    if (m_appearance == Appearance::HUD) {
        painter.fillPath(frame, QColor::fromRgbF(0.15, 0.15, 0.15, 0.96));
        painter.strokePath(frame, QPen(Qt::black));
    } else {
        painter.fillPath(frame, palette().color(QPalette::Window));
        painter.strokePath(frame, QPen(palette().color(QPalette::Mid)));
    }
}

void Popover::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragStart = event->globalPosition().toPoint();
        m_dragStartTopLeft = pos();
        m_dragging = true;
    }
    QWidget::mousePressEvent(event);
}

void Popover::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint offset = event->globalPosition().toPoint() - m_dragStart;
    if (!m_dragging || !(event->buttons() & Qt::LeftButton) ||
        offset.manhattanLength() < 2 * QApplication::startDragDistance()) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    m_dragging = false;
    QWidget *window = detachInto(m_dragStartTopLeft + offset);
    if (!window)
        return;
    // The rest of the drag moves the detached window, where the window
    // system allows it.
    if (QWindow *handle = window->windowHandle())
        handle->startSystemMove();
}

void Popover::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}

void Popover::closeEvent(QCloseEvent *event)
{
    if (m_shown)
        announceClosing();
    event->accept();
}

bool Popover::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress: {
        // A press anywhere but on the popover closes it, and goes on to
        // where it was meant for.
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && widget->window() != this)
            close();
        return false;
    }
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            close();
            return true;
        }
        return false;
    case QEvent::ApplicationDeactivate:
        close();
        return false;
    default:
        return false;
    }
}

void Popover::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    qApp->removeEventFilter(this);
    if (!m_shown || event->spontaneous())
        return;
    announceClosing();
    m_shown = false;
    m_dragging = false;
    if (m_delegate)
        m_delegate->popoverDidClose(this);
}

void Popover::announceClosing()
{
    if (m_closing)
        return;
    m_closing = true;
    if (m_delegate)
        m_delegate->popoverWillClose(this);
}
