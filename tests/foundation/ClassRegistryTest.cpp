#include "foundation/ClassRegistry.h"
#include "foundation/Bundle.h"
#include "foundation/NamedException.h"
#include "foundation/PropertyList.h"
#include "foundation/SystemInformation.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class Named : public ClassRegistry::Class
{
public:
    explicit Named(QString name)
        : m_name(std::move(name))
    {}
    QString className() const override { return m_name; }

private:
    QString m_name;
};

class Greeter : public Named
{
public:
    using Named::Named;
    QString greet() const { return "hello"; }
};

} // namespace

TEST(ClassRegistryTest, LooksUpRegisteredClassesByNameAndKind)
{
    ClassRegistry registry;
    EXPECT_FALSE(registry.containsClass("Greeter"));
    auto greeter = std::make_shared<Greeter>("Greeter");
    registry.registerClass(greeter);
    registry.registerClass(std::make_shared<Named>("Plain"));
    registry.registerClass(std::make_shared<Named>(""));
    EXPECT_EQ(registry.classNamed("Greeter"), greeter);
    EXPECT_EQ(registry.classNamed<Greeter>("Greeter")->greet(), "hello");
    EXPECT_EQ(registry.classNamed<Greeter>("Plain"), nullptr);
    EXPECT_EQ(registry.classNames(), (QStringList{"Greeter", "Plain"}));

    auto replacement = std::make_shared<Named>("Greeter");
    registry.registerClass(replacement);
    EXPECT_EQ(registry.classNamed("Greeter"), replacement);
    registry.unregisterClass("Greeter");
    EXPECT_FALSE(registry.containsClass("Greeter"));
}

TEST(BundleTest, FindsResourcesAndInformationDictionary)
{
    QTemporaryDir dir;
    Bundle empty(dir.path());
    EXPECT_FALSE(empty.infoDictionary());
    EXPECT_FALSE(empty.objectForInfoDictionaryKey("CFBundleIdentifier").isValid());

    ASSERT_TRUE(PropertyList::writeFile(dir.filePath("Info.plist"),
                                        QVariantMap{{"CFBundleIdentifier", "com.example.App"}}));
    Bundle bundle(dir.path());
    EXPECT_EQ(bundle.bundleIdentifier(), "com.example.App");
    EXPECT_EQ(bundle.pathForResource("Info", "plist"), dir.filePath("Info.plist"));
    EXPECT_TRUE(bundle.pathForResource("Missing", "plist").isNull());

    // Run from a build, the main bundle is the source tree's resources.
    EXPECT_TRUE(Bundle::mainBundle().infoDictionary());
    EXPECT_FALSE(Bundle::mainBundle().pathForResource("Info", "plist").isNull());
}

TEST(SystemInformationTest, DescribesThisMachine)
{
    EXPECT_FALSE(SystemInformation::hardwareModel().isEmpty());
    EXPECT_FALSE(SystemInformation::operatingSystemBuildVersion().isEmpty());
    const auto version = SystemInformation::operatingSystemVersion();
    EXPECT_EQ(SystemInformation::operatingSystemDisplayVersion(), QString("%1.%2.%3")
                                                                      .arg(version.majorVersion)
                                                                      .arg(version.minorVersion)
                                                                      .arg(version.patchVersion));

    const NamedException exception("ORRException", "bad host");
    EXPECT_STREQ(exception.what(), "ORRException: bad host");
}
