#include "shell/InformationPanel.h"

#include <QLabel>
#include <QPointer>

#include <gtest/gtest.h>

TEST(InformationPanel, ReplacedViewKeepsAnOwner)
{
    QWidget home;
    QPointer<QWidget> loose = new QLabel(QStringLiteral("loose"));
    QPointer<QWidget> homed = new QLabel(QStringLiteral("homed"), &home);
    {
        QWidget container;
        container.resize(200, 100);
        InformationPanel panel(&container, InformationPanel::White, InformationPanel::Grey);
        panel.showView(loose);
        EXPECT_EQ(loose->geometry(), container.rect());
        panel.showView(homed);
        // A view that came without a parent stays in the container, hidden.
        EXPECT_EQ(loose->parentWidget(), &container);
        EXPECT_TRUE(loose->isHidden());
        EXPECT_EQ(panel.activeView(), homed.data());
        // One that came from elsewhere goes back there when replaced.
        panel.showView(loose);
        EXPECT_EQ(homed->parentWidget(), &home);
        EXPECT_TRUE(homed->isHidden());
    }
    EXPECT_TRUE(loose.isNull());
    EXPECT_FALSE(homed.isNull());
}
