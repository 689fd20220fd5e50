#include "foundation/UserDefaults.h"
#include "foundation/Bundle.h"
#include "foundation/PropertyList.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void writeText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

QByteArray readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(UserDefaultsTest, StoredValuesWinAndOutliveTheInstanceButRegisteredOnesDoNot)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("app.conf");
    {
        UserDefaults defaults(path);
        defaults.registerDefaults({{"TotalFile", 0}, {"shouldRunFirst", true}});
        EXPECT_EQ(defaults.integerForKey("TotalFile"), 0);
        EXPECT_EQ(defaults.stringForKey("TotalFile"), "0");
        defaults.setInteger(41, "TotalFile");
        EXPECT_EQ(defaults.integerForKey("TotalFile"), 41);
        EXPECT_TRUE(defaults.synchronize());
    }
    const QByteArray text = readText(path);
    EXPECT_TRUE(text.contains("TotalFile=41")) << text.constData();
    EXPECT_FALSE(text.contains("shouldRunFirst"));

    UserDefaults again(path);
    EXPECT_EQ(again.integerForKey("TotalFile"), 41);
    EXPECT_EQ(again.stringForKey("TotalFile"), "41");
    EXPECT_FALSE(again.objectForKey("shouldRunFirst").isValid());
    EXPECT_FALSE(again.boolForKey("shouldRunFirst"));

    // Removing a stored value uncovers the registered one.
    again.registerDefaults({{"TotalFile", 7}});
    again.removeObjectForKey("TotalFile");
    EXPECT_EQ(again.integerForKey("TotalFile"), 7);
}

TEST(UserDefaultsTest, RegistersTheShippedDefaultsAndRefusesOtherLists)
{
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath("app.conf"));
    const QString shipped = Bundle::mainBundle().pathForResource("Defaults", "plist");
    ASSERT_FALSE(shipped.isEmpty());
    ASSERT_TRUE(defaults.registerDefaultsFromFile(shipped));
    EXPECT_EQ(defaults.stringForKey("TotalFile"), "0");
    EXPECT_TRUE(defaults.boolForKey("shouldRunFirst"));

    const QString array = dir.filePath("array.plist");
    ASSERT_TRUE(PropertyList::writeFile(array, QVariantList{1, 2}));
    EXPECT_FALSE(defaults.registerDefaultsFromFile(array));
    EXPECT_FALSE(defaults.registerDefaultsFromFile(dir.filePath("missing.plist")));
    EXPECT_EQ(
        defaults.registeredDefaults(),
        QVariantMap({{"TotalFile", 0}, {"shouldRunFirst", true}, {"sendUsageStatistics", false}}));
}

TEST(UserDefaultsTest, ReadsTextFromTheFileAsNumbersAndBooleans)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("app.conf");
    writeText(path, "[General]\nCount=12\nReal=12.9\nNegative=-3\nWord=abc\nFlag=true\n"
                    "Yes=YES\nZero=0\nHuge=1e300\n");
    UserDefaults defaults(path);
    EXPECT_EQ(defaults.integerForKey("Count"), 12);
    EXPECT_EQ(defaults.integerForKey("Real"), 12);
    EXPECT_EQ(defaults.integerForKey("Negative"), -3);
    EXPECT_EQ(defaults.integerForKey("Word"), 0);
    EXPECT_EQ(defaults.integerForKey("Huge"), 0);
    EXPECT_EQ(defaults.integerForKey("Missing"), 0);
    EXPECT_TRUE(defaults.boolForKey("Flag"));
    EXPECT_TRUE(defaults.boolForKey("Yes"));
    EXPECT_TRUE(defaults.boolForKey("Count"));
    EXPECT_FALSE(defaults.boolForKey("Zero"));
    EXPECT_FALSE(defaults.boolForKey("Word"));
    EXPECT_TRUE(defaults.stringForKey("Missing").isNull());
}

TEST(UserDefaultsTest, StandardDefaultsLiveInTheConfigurationDirectory)
{
    QTemporaryDir home;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    UserDefaults::resetStandardUserDefaults();

    const QString expected = home.filePath("Quillmoor/Quillmoor.conf");
    EXPECT_EQ(UserDefaults::standardUserDefaults()->filePath(), expected);
    UserDefaults::standardUserDefaults()->registerDefaults({{"shouldRunFirst", true}});
    UserDefaults::standardUserDefaults()->setInteger(3, "TotalFile");
    UserDefaults::resetStandardUserDefaults();
    EXPECT_TRUE(readText(expected).contains("TotalFile=3"));
    EXPECT_EQ(UserDefaults::standardUserDefaults()->integerForKey("TotalFile"), 3);
    EXPECT_TRUE(UserDefaults::standardUserDefaults()->registeredDefaults().isEmpty());

    UserDefaults::resetStandardUserDefaults();
    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved);
}
