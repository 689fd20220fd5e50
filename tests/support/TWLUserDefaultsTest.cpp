#include "support/TWLUserDefaults.h"

#include "foundation/Log.h"
#include "foundation/PropertyList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class TWLUserDefaultsTest : public ::testing::Test
{
protected:
    QString storeDirectory() const { return dir.filePath("support/com.tarnwell"); }
    QString storeFile() const { return dir.filePath("support/com.tarnwell/TWLUserDefaults.plist"); }
    std::unique_ptr<TWLUserDefaults> openStore()
    {
        const QString settingsPath = dir.filePath("application.conf");
        return std::make_unique<TWLUserDefaults>(storeDirectory(), [settingsPath] {
            return std::make_unique<QSettings>(settingsPath, QSettings::IniFormat);
        });
    }
    QSettings applicationSettings() const
    {
        return QSettings(dir.filePath("application.conf"), QSettings::IniFormat);
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(TWLUserDefaultsTest, FileAppearsOnlyAfterAChangeAndSurvivesARestart)
{
    auto store = openStore();
    EXPECT_EQ(store->fileURL(), storeFile());
    store->synchronize();
    EXPECT_FALSE(store->synchronizeWroteToDisk());
    EXPECT_FALSE(QFile::exists(storeFile()));

    // A key set and removed again before saving is no change.
    store->setString("temporary", "key");
    store->removeObjectForKey("key");
    store->synchronize();
    EXPECT_FALSE(store->synchronizeWroteToDisk());
    EXPECT_FALSE(QFile::exists(storeFile()));

    store->setString("4A1B-UUID", "com.tarnwell.iuuid");
    store->setBool(true, "flag");
    store->synchronize();
    EXPECT_TRUE(store->synchronizeWroteToDisk());
    ASSERT_TRUE(QFile::exists(storeFile()));
    store->synchronize();
    EXPECT_FALSE(store->synchronizeWroteToDisk());

    store.reset();
    auto reopened = openStore();
    EXPECT_EQ(reopened->stringForKey("com.tarnwell.iuuid"), "4A1B-UUID");
    EXPECT_TRUE(reopened->boolForKey("flag"));
    reopened->synchronize();
    EXPECT_FALSE(reopened->synchronizeWroteToDisk());
}

TEST_F(TWLUserDefaultsTest, TypedReadsAndRemoval)
{
    auto store = openStore();
    store->setObject(42, "number");
    store->setObject("yes", "text");
    EXPECT_TRUE(store->stringForKey("number").isNull());
    EXPECT_FALSE(store->boolForKey("text"));
    EXPECT_TRUE(store->boolForKey("number"));
    store->setObject(QVariant(), "number");
    EXPECT_FALSE(store->objectForKey("number").isValid());
    store->removeAllObjects();
    EXPECT_TRUE(store->dictionaryRepresentation().isEmpty());
}

TEST_F(TWLUserDefaultsTest, DirectoryInPlaceOfTheFileIsRemoved)
{
    ASSERT_TRUE(QDir().mkpath(storeFile() + "/inner"));
    LogCapture log;
    auto store = openStore();
    EXPECT_TRUE(log.contains("[Orrery:UserDefaults] found directory where file expected. "
                             "Removing conflicting directory"));
    EXPECT_FALSE(QFileInfo::exists(storeFile()));
    EXPECT_TRUE(store->dictionaryRepresentation().isEmpty());
    store->setString("value", "key");
    store->synchronize();
    EXPECT_TRUE(QFileInfo(storeFile()).isFile());
}

TEST_F(TWLUserDefaultsTest, UnreadableFileCountsAsEmptyAndIsReplaced)
{
    ASSERT_TRUE(QDir().mkpath(storeDirectory()));
    QFile file(storeFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a property list");
    file.close();
    LogCapture log;
    auto store = openStore();
    EXPECT_TRUE(log.contains("[Orrery:UserDefaults] failed to read existing UserDefaults file"));
    EXPECT_TRUE(store->dictionaryRepresentation().isEmpty());
    store->setString("value", "key");
    store->synchronize();
    EXPECT_EQ(PropertyList::readFile(storeFile())->toMap().value("key").toString(), "value");
}

TEST_F(TWLUserDefaultsTest, WriteFailuresAreLoggedAndTheStoreKeepsWorking)
{
    // A plain file where the directory should be makes every save fail.
    QFile blocker(dir.filePath("support"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    LogCapture log;
    auto store = openStore();
    store->setString("value", "key");
    store->synchronize();
    EXPECT_TRUE(
        log.contains(QString("[Orrery:UserDefaults] Unable to open file for writing at path %1")
                         .arg(storeFile())));
    EXPECT_EQ(store->stringForKey("key"), "value");
    store->synchronize();
    EXPECT_FALSE(store->synchronizeWroteToDisk());
}

TEST_F(TWLUserDefaultsTest, KeysMoveOutOfTheApplicationSettings)
{
    {
        QSettings settings = applicationSettings();
        settings.setValue("com.tarnwell.iuuid", "OLD-ID");
        settings.setValue("other", "kept elsewhere");
        settings.setValue("second", "moved too");
    }
    auto store = openStore();
    EXPECT_EQ(store->objectForKeyByMigratingFromNSUserDefaults("com.tarnwell.iuuid").toString(),
              "OLD-ID");
    EXPECT_EQ(PropertyList::readFile(storeFile())->toMap().value("com.tarnwell.iuuid").toString(),
              "OLD-ID");
    EXPECT_FALSE(applicationSettings().contains("com.tarnwell.iuuid"));
    EXPECT_FALSE(store->objectForKeyByMigratingFromNSUserDefaults("absent").isValid());

    store->migrateFromNSUserDefaults({"second", "absent"});
    EXPECT_EQ(store->stringForKey("second"), "moved too");
    EXPECT_FALSE(applicationSettings().contains("second"));
    EXPECT_TRUE(applicationSettings().contains("other"));
}

TEST(TWLUserDefaultsLocationTest, DirectoryIsBuiltFromBaseAndEscapedIdentifier)
{
    EXPECT_EQ(TWLUserDefaults::generateDirectoryURLForBaseURL("/data", "com.example/app"),
              "/data/com.example_app/com.tarnwell");
    EXPECT_EQ(TWLUserDefaults::generateDirectoryURLForBaseURL("/data", QString()),
              "/data/com.tarnwell");
}
