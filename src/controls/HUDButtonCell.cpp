#include "HUDButtonCell.h"

#include "QMShadowAdditions.h"

#include <QAccessibleWidget>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QShortcut>

#include <cmath>

namespace {
QColor white(double level, double alpha = 1.0)
{
    return QColor::fromRgbF(level, level, level, alpha);
}

QFont titleFont()
{
    QFont font;
    font.setPixelSize(11);
    return font;
}

constexpr qreal BezelRadius = 3.0;
constexpr qreal BoxSide = 16.0;

// What assistive technology reads from a HUD button: a check box says it is
// one, with its state, where Qt would call every such button a push button.
class HUDButtonAccessible : public QAccessibleWidget
{
public:
    explicit HUDButtonAccessible(HUDButtonCell *button)
        : QAccessibleWidget(button, QAccessible::Button)
    {}

    QAccessible::Role role() const override
    {
        return button()->isCheckBox() ? QAccessible::CheckBox : QAccessible::Button;
    }

    QString text(QAccessible::Text kind) const override
    {
        QString text = QAccessibleWidget::text(kind);
        if (kind == QAccessible::Name && text.isEmpty())
            text = button()->text();
        return text;
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        if (button()->isCheckBox()) {
            state.checkable = true;
            state.checked = button()->state() == HUDButtonCell::OnState;
            state.checkStateMixed = button()->state() == HUDButtonCell::MixedState;
        }
        state.pressed = button()->isDown();
        return state;
    }

    QStringList actionNames() const override
    {
        return {button()->isCheckBox() ? toggleAction() : pressAction()};
    }

    void doAction(const QString &name) override
    {
        if (name == pressAction() || name == toggleAction())
            button()->click();
    }

private:
    HUDButtonCell *button() const { return static_cast<HUDButtonCell *>(widget()); }
};

QAccessibleInterface *hudButtonAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("HUDButtonCell") && object->isWidgetType())
        return new HUDButtonAccessible(static_cast<HUDButtonCell *>(object));
    return nullptr;
}

} // namespace

HUDButtonCell::HUDButtonCell(QWidget *parent)
    : QAbstractButton(parent)
{
    static const bool accessible = [] {
        QAccessible::installFactory(hudButtonAccessible);
        return true;
    }();
    Q_UNUSED(accessible);
    setAttribute(Qt::WA_TranslucentBackground);
}

void HUDButtonCell::setButtonType(quint64 type)
{
    m_buttonType = type;
    setCheckable(type == SwitchButton);
    updateGeometry();
    update();
}

void HUDButtonCell::setKeyEquivalent(const QString &key)
{
    m_keyEquivalent = key;
    delete m_returnShortcut;
    delete m_enterShortcut;
    m_returnShortcut = m_enterShortcut = nullptr;
    if (key == QLatin1String("\r")) {
        m_returnShortcut = new QShortcut(QKeySequence(Qt::Key_Return), this);
        m_enterShortcut = new QShortcut(QKeySequence(Qt::Key_Enter), this);
        for (QShortcut *shortcut : {m_returnShortcut, m_enterShortcut}) {
            shortcut->setContext(Qt::WindowShortcut);
            connect(shortcut, &QShortcut::activated, this, &QAbstractButton::animateClick);
        }
    }
    update();
}

int HUDButtonCell::state() const
{
    if (m_mixed)
        return MixedState;
    return isChecked() ? OnState : OffState;
}

void HUDButtonCell::setState(int state)
{
    m_mixed = state == MixedState;
    setChecked(state == OnState);
    update();
}

void HUDButtonCell::nextCheckState()
{
    // A mixed box turns on when clicked.
    if (m_mixed) {
        m_mixed = false;
        setChecked(true);
        return;
    }
    QAbstractButton::nextCheckState();
}

QRectF HUDButtonCell::imageFrame() const
{
    return {2.0, std::round((height() - (BoxSide + 1.0)) * 0.5), BoxSide + 2.0, BoxSide + 1.0};
}

QRectF HUDButtonCell::titleFrame() const
{
    const qreal left = imageFrame().right();
    return {left, 0, width() - left, qreal(height())};
}

QSize HUDButtonCell::sizeHint() const
{
    const QSizeF text = QFontMetricsF(titleFont()).size(Qt::TextSingleLine, this->text());
    if (isCheckBox())
        return QSize(int(std::ceil(imageFrame().width() + 2.0 + 3.0 + text.width() + 4.0)), 20);
    return QSize(std::max(int(std::ceil(text.width())) + 24, 60), 22);
}

void HUDButtonCell::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(0.7f);
    if (isCheckBox()) {
        drawImage(painter, imageFrame());
        drawTitle(painter, titleFrame());
    } else {
        drawBezelWithFrame(painter, QRectF(rect()));
        drawTitle(painter, QRectF(rect()));
    }
    if (!m_bezelPath.isEmpty() && isDown())
        painter.fillPath(m_bezelPath, white(0.0, 0.3));
}

void HUDButtonCell::drawBezelWithFrame(QPainter &painter, const QRectF &frame)
{
    QRectF f = frame.adjusted(0.5, 0.5, -0.5, -0.5);
    f.setHeight(f.height() - 1.0);
    m_bezelPath = QPainterPath();
    m_bezelPath.addRoundedRect(f, BezelRadius, BezelRadius);

    const bool blue = drawsBlue();
    QLinearGradient gradient(f.bottomLeft(), f.topLeft()); // lighter at the top
    if (blue) {
        gradient.setColorAt(0, QColor::fromRgbF(0.0, 0.31, 0.78, 1.0));
        gradient.setColorAt(1, QColor::fromRgbF(0.0, 0.53, 0.87, 1.0));
    } else {
        gradient.setColorAt(0, white(0.15));
        gradient.setColorAt(1, white(0.22));
    }
    painter.fillPath(m_bezelPath, gradient);

    const QPainterPath bezel = m_bezelPath;
    drawWithShadow(painter, Shadow{white(1.0, 0.05), QPointF(0, 1.0), 1.0},
                   [&](QPainter &p) { p.strokePath(bezel, QPen(Qt::black, 1.0)); });

    // A light line along the top edge: the lower part of the rounded
    // rectangle falls outside the bezel's clip.
    painter.save();
    painter.setClipPath(m_bezelPath, Qt::IntersectClip);
    QRectF highlight = f.adjusted(-0.5, 1.0, 0.5, -1.0);
    highlight.setHeight(highlight.height() * 2.0);
    QPainterPath highlightPath;
    highlightPath.addRoundedRect(highlight, BezelRadius, BezelRadius);
    painter.strokePath(highlightPath, QPen(white(1.0, blue ? 0.25 : 0.05), 1.0));
    painter.restore();
}

QRectF HUDButtonCell::drawTitle(QPainter &painter, const QRectF &frame)
{
    const QFont font = titleFont();
    const QSizeF size = QFontMetricsF(font).size(Qt::TextSingleLine, text());
    QRectF r;
    Shadow shadow{Qt::black, QPointF(0, -1.0), 1.0};
    if (isCheckBox()) {
        r = QRectF(QPointF(frame.x() + 3.0, frame.y() + frame.height() * 0.5 - size.height() * 0.5),
                   size);
    } else {
        r = QRectF(QPointF(frame.x() + frame.width() * 0.5 - size.width() * 0.5,
                           frame.y() + frame.height() * 0.5 - size.height() * 0.5),
                   size);
        if (drawsBlue())
            shadow = Shadow{white(0.0, 0.6), QPointF(0, 1.0), 2.0};
    }
    const QRectF integral(r.toAlignedRect());
    const QString title = text();
    drawWithShadow(painter, shadow, [&](QPainter &p) {
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(integral, Qt::AlignLeft | Qt::AlignVCenter, title);
    });
    return r;
}

void HUDButtonCell::drawImage(QPainter &painter, const QRectF &frame)
{
    QRectF box = frame;
    box.setWidth(box.width() - 2.0);
    box.setHeight(box.height() - 1.0);
    drawBezelWithFrame(painter, box);
    if (state() == OffState)
        return;
    const QPainterPath mark = checkMarkPath(box, state() == MixedState);
    drawWithShadow(painter, Shadow{white(0.0, 0.75), QPointF(0, 0), 3.0},
                   [&](QPainter &p) { p.strokePath(mark, QPen(white(0.78), 2.0)); });
}

QPainterPath HUDButtonCell::checkMarkPath(const QRectF &box, bool mixed)
{
    const qreal x = box.x(), y = box.y(), w = box.width(), h = box.height();
    QPainterPath path;
    if (mixed) {
        const qreal mid = std::round(y + h * 0.5);
        path.moveTo(x + 4.0, mid);
        path.lineTo(x + w - 4.0, mid);
        return path;
    }
    const qreal m = std::round(y + h * 0.5) + 1.0;
    path.moveTo(x + w, y);
    path.lineTo(std::round(x + w * 0.5), m);
    path.lineTo(x + 4.0, std::round(m * 0.5));
    return path;
}
