#include "analytics/TallyKit.h"

#include <gtest/gtest.h>

TEST(TallyKitTest, SdkFindsTheKitByItsClassName)
{
    EXPECT_EQ(ClassRegistry::shared().classNamed<ORRKit>("Tally"), nullptr);
    TallyKit::registerKit();
    const auto kit = ClassRegistry::shared().classNamed<ORRKit>("Tally");
    ASSERT_NE(kit, nullptr);
    EXPECT_EQ(kit->bundleIdentifier(), "com.tarnwell.tally.mac");
    EXPECT_EQ(kit->kitDisplayVersion(), "1.3.6");
    EXPECT_EQ(kit->kitBuildVersion(), "29");
    ClassRegistry::shared().unregisterClass("Tally");
}
