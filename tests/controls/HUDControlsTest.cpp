#include "controls/HUDButtonCell.h"
#include "controls/HUDWindow.h"
#include "controls/HUDWindowButtonCell.h"
#include "controls/HUDWindowFrameView.h"
#include "controls/QMShadowAdditions.h"
#include "controls/QMTopView.h"

#include <QAccessible>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

namespace {
QImage render(QWidget &widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}
} // namespace

TEST(HUDWindow, ContentCoversFrameAndCloseButtonStaysUsable)
{
    HUDWindow window;
    window.resize(300, 120);
    auto *first = new QLabel(QStringLiteral("first"));
    window.setContentView(first);
    ASSERT_NE(window.frameView(), nullptr);
    EXPECT_EQ(window.frameView()->geometry(), QRect(0, 0, 300, 120));
    EXPECT_EQ(window.closeButton()->geometry(), QRect(5, 5, 18, 18));
    EXPECT_EQ(first->geometry(), QRect(0, 0, 300, 120));

    HUDWindowFrameView *frame = window.frameView();
    window.setContentView(new QLabel(QStringLiteral("second")));
    EXPECT_EQ(window.frameView(), frame); // made once, kept
    window.show();
    QTest::mouseClick(window.closeButton(), Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
}

TEST(HUDWindow, ReplacedContentViewKeepsAnOwner)
{
    QWidget home;
    QPointer<QWidget> loose = new QLabel(QStringLiteral("loose"));
    QPointer<QWidget> homed = new QLabel(QStringLiteral("homed"), &home);
    {
        HUDWindow window;
        window.setContentView(loose);
        window.setContentView(homed);
        // A view that came without a parent stays with the window, hidden.
        EXPECT_EQ(loose->parentWidget(), &window);
        EXPECT_TRUE(loose->isHidden());
        // One that came from elsewhere goes back there, hidden.
        window.setContentView(nullptr);
        EXPECT_EQ(homed->parentWidget(), &home);
        EXPECT_TRUE(homed->isHidden());
    }
    EXPECT_TRUE(loose.isNull());
    EXPECT_FALSE(homed.isNull());
}

TEST(HUDWindow, TitleIsDrawnOnlyWhenThereIsOne)
{
    HUDWindow window;
    window.resize(200, 80);
    window.setContentView(new QWidget);
    const QImage untitled = render(*window.frameView());
    window.setWindowTitle(QStringLiteral("Loading drawing"));
    const QImage titled = render(*window.frameView());
    // Only the title bar differs.
    EXPECT_NE(titled.copy(0, 0, 200, 22), untitled.copy(0, 0, 200, 22));
    EXPECT_EQ(titled.copy(0, 30, 200, 40), untitled.copy(0, 30, 200, 40));
}

TEST(HUDWindowButtonCell, CrossOfStandardButton)
{
    const auto cross = HUDWindowButtonCell::crossFor(18.0);
    EXPECT_EQ(cross.d, 6.0);
    EXPECT_EQ(cross.o, 5.0);
}

TEST(HUDButtonCell, BlueOnlyForReturnPushButtons)
{
    HUDButtonCell button;
    EXPECT_FALSE(button.drawsBlue());
    button.setKeyEquivalent(QStringLiteral("\r"));
    EXPECT_TRUE(button.drawsBlue());
    button.setButtonType(HUDButtonCell::SwitchButton);
    EXPECT_FALSE(button.drawsBlue());
}

TEST(HUDButtonCell, BlueButtonIsBlueAndGreyButtonIsGrey)
{
    HUDButtonCell button;
    button.setText(QStringLiteral("OK"));
    button.resize(80, 24);
    QColor grey = render(button).pixelColor(10, 16);
    EXPECT_NEAR(grey.redF(), grey.blueF(), 0.02);
    button.setKeyEquivalent(QStringLiteral("\r"));
    QColor blue = render(button).pixelColor(10, 16);
    EXPECT_GT(blue.blueF(), blue.redF() + 0.4);
}

TEST(HUDButtonCell, CheckMarks)
{
    const QPainterPath dash = HUDButtonCell::checkMarkPath(QRectF(10, 0, 16, 16), true);
    ASSERT_EQ(dash.elementCount(), 2);
    EXPECT_EQ(QPointF(dash.elementAt(0)), QPointF(14, 8));
    EXPECT_EQ(QPointF(dash.elementAt(1)), QPointF(22, 8));

    const QPainterPath tick = HUDButtonCell::checkMarkPath(QRectF(0, 0, 16, 15), false);
    ASSERT_EQ(tick.elementCount(), 3);
    EXPECT_EQ(QPointF(tick.elementAt(0)), QPointF(16, 0));
    EXPECT_EQ(QPointF(tick.elementAt(1)), QPointF(8, 9));
    EXPECT_EQ(QPointF(tick.elementAt(2)), QPointF(4, 5));

    HUDButtonCell box;
    box.setButtonType(HUDButtonCell::SwitchButton);
    box.setState(HUDButtonCell::MixedState);
    EXPECT_EQ(box.state(), HUDButtonCell::MixedState);
    box.resize(box.sizeHint());
    QTest::mouseClick(&box, Qt::LeftButton);
    EXPECT_EQ(box.state(), HUDButtonCell::OnState);
    QTest::mouseClick(&box, Qt::LeftButton);
    EXPECT_EQ(box.state(), HUDButtonCell::OffState);
}

TEST(HUDButtonCell, AssistiveTechnologyReadsACheckBoxAsOne)
{
    HUDButtonCell box;
    box.setButtonType(HUDButtonCell::SwitchButton);
    box.setText(QStringLiteral("Do not show again"));
    box.setState(HUDButtonCell::OnState);
    QAccessibleInterface *boxInterface = QAccessible::queryAccessibleInterface(&box);
    ASSERT_TRUE(boxInterface);
    EXPECT_EQ(boxInterface->role(), QAccessible::CheckBox);
    EXPECT_EQ(boxInterface->text(QAccessible::Name), QStringLiteral("Do not show again"));
    EXPECT_TRUE(boxInterface->state().checkable);
    EXPECT_TRUE(boxInterface->state().checked);

    // Toggling through the interface changes the box as a click would.
    boxInterface->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(box.state(), HUDButtonCell::OffState);
    EXPECT_FALSE(boxInterface->state().checked);

    HUDButtonCell button;
    button.setText(QStringLiteral("Rate"));
    QAccessibleInterface *buttonInterface = QAccessible::queryAccessibleInterface(&button);
    ASSERT_TRUE(buttonInterface);
    EXPECT_EQ(buttonInterface->role(), QAccessible::Button);
    EXPECT_FALSE(buttonInterface->state().checkable);
}

TEST(QMTopView, LightBlueOnTheRightDarkBlueOnTheLeft)
{
    QMTopView bar;
    bar.resize(200, 20);
    const QImage image = render(bar);
    const QColor left = image.pixelColor(0, 10), right = image.pixelColor(199, 10);
    EXPECT_NEAR(right.redF(), 0.09, 0.02);
    EXPECT_NEAR(right.greenF(), 0.55, 0.02);
    EXPECT_NEAR(right.blueF(), 0.9, 0.02);
    EXPECT_NEAR(left.redF(), 0.05, 0.02);
    EXPECT_NEAR(left.greenF(), 0.25, 0.02);
    EXPECT_NEAR(left.blueF(), 0.6, 0.02);
}

TEST(QMShadowAdditions, InnerShadowFallsInsideThePathOnly)
{
    QImage image(60, 60, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainterPath path;
    path.addRect(QRectF(10, 10, 40, 40));
    {
        QPainter painter(&image);
        fillWithInnerShadow(painter, path, Shadow{QColor(0, 0, 0, 255), QPointF(0, 4), 2.0});
    }
    EXPECT_EQ(image.pixel(5, 30), qRgb(255, 255, 255)); // outside: untouched
    EXPECT_EQ(image.pixel(55, 55), qRgb(255, 255, 255));
    EXPECT_LT(qGray(image.pixel(30, 11)), 128);          // under the top edge: dark
    EXPECT_EQ(image.pixel(30, 35), qRgb(255, 255, 255)); // the middle stays clear
}
