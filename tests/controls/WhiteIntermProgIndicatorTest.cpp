#include "controls/WhiteIntermProgIndicator.h"
#include "controls/CellControl.h"

#include <QImage>
#include <QPainter>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>

namespace {

double lengthOf(const QPointF &p)
{
    return std::hypot(p.x(), p.y());
}

// The direction of a spoke from the centre, in degrees clockwise from "up".
double clockAngle(const WhiteIntermProgIndicator::Geometry &g, int spoke)
{
    const QPointF d = g.spokes[spoke].line.p2() - g.center;
    double degrees = std::atan2(d.x(), -d.y()) * 180.0 / M_PI;
    return degrees < 0 ? degrees + 360.0 : degrees;
}

} // namespace

TEST(WhiteIntermProgIndicator, GeometryFollowsFrameSize)
{
    WhiteIntermProgIndicator spinner;
    const auto small = spinner.geometry(QRectF(0, 0, 16, 16), true);
    EXPECT_NEAR(small.innerRadius, 4.32, 1e-5);
    EXPECT_NEAR(small.outerRadius, 7.68, 1e-5);
    EXPECT_NEAR(small.lineWidth, 1.28, 1e-5);

    const auto large = spinner.geometry(QRectF(0, 0, 40, 40), true);
    EXPECT_NEAR(large.innerRadius, 9.2, 1e-5);
    EXPECT_NEAR(large.outerRadius, 15.2, 1e-5);
    EXPECT_NEAR(large.lineWidth, 3.2, 1e-5);
    ASSERT_EQ(large.spokes.size(), 12);
    for (const auto &spoke : large.spokes) {
        EXPECT_NEAR(lengthOf(spoke.line.p1() - large.center), 9.2, 1e-4);
        EXPECT_NEAR(lengthOf(spoke.line.p2() - large.center), 15.2, 1e-4);
    }

    // A wide frame puts the spinner at its left.
    const auto wide = spinner.geometry(QRectF(5, 7, 100, 20), true);
    EXPECT_EQ(wide.center, QPointF(15, 17));
}

TEST(WhiteIntermProgIndicator, LeadingSpokeStartsAtTopAndWalksClockwise)
{
    WhiteIntermProgIndicator spinner;
    for (bool flipped : {true, false}) {
        const auto stopped = spinner.geometry(QRectF(0, 0, 40, 40), flipped);
        // Unflipped views have y growing upwards, so "up" means +y there.
        const QPointF d = stopped.spokes[0].line.p2() - stopped.center;
        EXPECT_NEAR(d.x(), 0.0, 1e-4);
        EXPECT_NEAR(d.y(), flipped ? -15.2 : 15.2, 1e-4);
    }

    const auto colours = spinner.geometry(QRectF(0, 0, 40, 40), true).spokes;
    EXPECT_EQ(colours[0].white, 1.0);
    EXPECT_EQ(colours[1].white, 0.5);
    EXPECT_NEAR(colours[2].white, std::sqrt(2.0) / 2.0, 1e-12);
    for (int i = 3; i < 12; ++i)
        EXPECT_EQ(colours[i].white, 0.8);

    spinner.setSpinning(true);
    spinner.setDoubleValue(3.0 / 12.0);
    const auto quarter = spinner.geometry(QRectF(0, 0, 40, 40), true);
    EXPECT_NEAR(clockAngle(quarter, 0), 90.0, 1e-3); // three steps: pointing right
    EXPECT_NEAR(clockAngle(quarter, 1), 60.0, 1e-3); // the darkest spoke trails it
    spinner.setSpinning(false);
}

TEST(WhiteIntermProgIndicator, ValuesAndAnimation)
{
    WhiteIntermProgIndicator spinner;
    EXPECT_DOUBLE_EQ(spinner.animationDelay(), 1.0 / 12.0);
    EXPECT_TRUE(spinner.isDisplayedWhenStopped());
    EXPECT_FALSE(spinner.isSpinning());

    spinner.setDoubleValue(1.5);
    EXPECT_EQ(spinner.doubleValue(), 1.0);
    spinner.setDoubleValue(-0.2);
    EXPECT_EQ(spinner.doubleValue(), 0.0);

    spinner.setDoubleValue(11.0 / 12.0);
    spinner.animate();
    EXPECT_NEAR(spinner.doubleValue(), 0.0, 1e-12);

    spinner.setSpinning(true);
    const QTimer *timer = spinner.timer();
    ASSERT_NE(timer, nullptr);
    spinner.setSpinning(true);
    EXPECT_EQ(spinner.timer(), timer);
    spinner.setSpinning(false);
    spinner.setSpinning(false);
    EXPECT_EQ(spinner.timer(), nullptr);

    spinner.setObjectValue(QVariant(true));
    EXPECT_TRUE(spinner.isSpinning());
    spinner.setObjectValue(QVariant::fromValue(QPointF(1, 1)));
    EXPECT_FALSE(spinner.isSpinning());
}

TEST(WhiteIntermProgIndicator, TimerAdvancesPhaseAndRedrawsParent)
{
    CellControl control;
    control.resize(32, 32);
    auto cell = std::make_unique<WhiteIntermProgIndicator>();
    WhiteIntermProgIndicator *spinner = cell.get();
    spinner->setParentControl(&control);
    control.setCell(std::move(cell));
    spinner->setSpinning(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return spinner->doubleValue() > 0.0; }, 5000));
    spinner->setSpinning(false);
}

TEST(WhiteIntermProgIndicator, DrawsWhiteLeadingSpokeAndNothingWhenHidden)
{
    WhiteIntermProgIndicator spinner;
    QImage image(40, 40, QImage::Format_ARGB32);
    image.fill(Qt::black);
    {
        QPainter painter(&image);
        spinner.drawWithFrame(painter, QRectF(0, 0, 40, 40), nullptr);
    }
    // Leading spoke straight above the centre, the darkest one to its left.
    EXPECT_GT(qGray(image.pixel(20, 8)), 240);
    const auto g = spinner.geometry(QRectF(0, 0, 40, 40), true);
    const QPoint behind = ((g.spokes[1].line.p1() + g.spokes[1].line.p2()) / 2).toPoint();
    EXPECT_NEAR(qGray(image.pixel(behind)), 128, 30);

    spinner.setDisplayedWhenStopped(false);
    image.fill(Qt::black);
    {
        QPainter painter(&image);
        spinner.drawWithFrame(painter, QRectF(0, 0, 40, 40), nullptr);
    }
    EXPECT_EQ(qGray(image.pixel(20, 8)), 0);
}
