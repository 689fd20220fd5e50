#include "analytics/TallyKit.h"
#include "analytics/Tally.h"

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

namespace {

class UmbrellaKit : public ORRKit
{
public:
    QString className() const override { return QStringLiteral("Tarnwell"); }
    QString bundleIdentifier() const override { return QStringLiteral("com.tarnwell.umbrella"); }
    QString kitDisplayVersion() const override { return QStringLiteral("1.0"); }
    void initializeIfNeeded() const override { ++starts; }
    mutable int starts = 0;
};

} // namespace

TEST(TallyKitTest, AnUmbrellaKitStartsTheAnalyticsInstead)
{
    const auto umbrella = std::make_shared<const UmbrellaKit>();
    ClassRegistry::shared().registerClass(umbrella);
    TallyKit::kitClass()->initializeIfNeeded();
    ClassRegistry::shared().unregisterClass("Tarnwell");
    EXPECT_EQ(umbrella->starts, 1);
    EXPECT_EQ(Tally::sharedInstance().tallyController(), nullptr);
}
