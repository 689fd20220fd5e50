#include "support/TWLUserDefaults.h"

#include "foundation/Log.h"
#include "foundation/PropertyList.h"
#include "foundation/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// Points an environment variable elsewhere for one scope.
class EnvironmentOverride
{
public:
    EnvironmentOverride(const char *name, const QString &value)
        : m_name(name)
        , m_saved(qgetenv(name))
        , m_wasSet(qEnvironmentVariableIsSet(name))
    {
        qputenv(name, value.toUtf8());
    }
    ~EnvironmentOverride()
    {
        if (m_wasSet)
            qputenv(m_name, m_saved);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    QByteArray m_saved;
    bool m_wasSet;
};

// A plain file where a folder should be: nothing can be saved below it
// while it stands, whoever runs the test.
class Obstacle
{
public:
    explicit Obstacle(const QString &path)
        : m_file(path)
    {
        EXPECT_TRUE(m_file.open(QIODevice::WriteOnly));
        m_file.close();
    }
    ~Obstacle() { m_file.remove(); }

private:
    QFile m_file;
};

void writeText(const QString &path, const QByteArray &text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

// One store in a folder of its own; the application's user defaults, which
// keys are migrated from, live in that folder too.
class TWLUserDefaultsTest : public ::testing::Test
{
protected:
    void SetUp() override { UserDefaults::resetStandardUserDefaults(); }
    void TearDown() override { UserDefaults::resetStandardUserDefaults(); }

    QString storeDirectory() const { return dir.filePath("support/com.tarnwell"); }
    QString storeFile() const { return dir.filePath("support/com.tarnwell/TWLUserDefaults.plist"); }
    std::unique_ptr<TWLUserDefaults> openStore()
    {
        return std::make_unique<TWLUserDefaults>(storeDirectory());
    }
    std::shared_ptr<UserDefaults> applicationDefaults() const
    {
        return UserDefaults::standardUserDefaults();
    }
    QVariantMap savedContents() const
    {
        return PropertyList::readFile(storeFile()).value_or(QVariant()).toMap();
    }

    QTemporaryDir dir;
    EnvironmentOverride configHome{"XDG_CONFIG_HOME", dir.filePath("config")};
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

TEST_F(TWLUserDefaultsTest, RemovedStoreLeavesNothingBehindUntilAKeyIsSetAgain)
{
    auto store = openStore();
    store->setString("4A1B-UUID", "com.tarnwell.iuuid");
    ASSERT_TRUE(store->synchronize());
    ASSERT_TRUE(QFile::exists(storeFile()));

    store->removePersistentStore();
    EXPECT_FALSE(QFileInfo::exists(storeDirectory()));
    EXPECT_FALSE(store->objectForKey("com.tarnwell.iuuid").isValid());
    store->synchronize();
    EXPECT_FALSE(store->synchronizeWroteToDisk());
    EXPECT_FALSE(QFileInfo::exists(storeDirectory()));
    EXPECT_FALSE(openStore()->objectForKey("com.tarnwell.iuuid").isValid());

    store->setString("5B2C-UUID", "com.tarnwell.iuuid");
    ASSERT_TRUE(store->synchronize());
    EXPECT_EQ(savedContents(), (QVariantMap{{"com.tarnwell.iuuid", "5B2C-UUID"}}));
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

TEST_F(TWLUserDefaultsTest, LinksInPlaceOfTheFileGoWithoutWhatTheyPointTo)
{
    // Someone else's folder, with files in it.
    const QString elsewhere = dir.filePath("elsewhere");
    ASSERT_TRUE(QDir().mkpath(elsewhere + "/inner"));
    writeText(elsewhere + "/keep.txt", "mine");
    writeText(elsewhere + "/inner/deep.txt", "mine too");
    const auto untouched = [&] {
        return QFile::exists(elsewhere + "/keep.txt") &&
               QFile::exists(elsewhere + "/inner/deep.txt");
    };

    // A link to it where the file should be: only the link goes.
    ASSERT_TRUE(QDir().mkpath(storeDirectory()));
    ASSERT_TRUE(QFile::link(elsewhere, storeFile()));
    {
        LogCapture log;
        auto store = openStore();
        EXPECT_TRUE(log.contains("[Orrery:UserDefaults] found directory where file expected. "
                                 "Removing conflicting directory"));
        EXPECT_TRUE(untouched());
        EXPECT_FALSE(QFileInfo(storeFile()).isSymLink());
        store->setString("value", "key");
        store->synchronize();
        EXPECT_TRUE(QFileInfo(storeFile()).isFile());
        EXPECT_TRUE(untouched());
    }

    // A directory in the file's place holding such a link: the directory
    // goes, the folder the link points to stays.
    ASSERT_TRUE(QFile::remove(storeFile()));
    ASSERT_TRUE(QDir().mkpath(storeFile()));
    ASSERT_TRUE(QFile::link(elsewhere, storeFile() + "/link"));
    openStore();
    EXPECT_FALSE(QFileInfo::exists(storeFile()));
    EXPECT_TRUE(untouched());
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

TEST_F(TWLUserDefaultsTest, FailedSaveIsLoggedAndTriedAgainByTheNextSynchronize)
{
    auto store = openStore();
    {
        const Obstacle obstacle(dir.filePath("support"));
        LogCapture log;
        store->setString("value", "key");
        store->synchronize();
        EXPECT_TRUE(
            log.contains(QString("[Orrery:UserDefaults] Unable to open file for writing at path %1")
                             .arg(storeFile())));
        EXPECT_EQ(store->stringForKey("key"), "value");
        EXPECT_FALSE(QFileInfo::exists(storeFile()));
    }
    store->synchronize();
    EXPECT_TRUE(store->synchronizeWroteToDisk());
    EXPECT_EQ(savedContents().value("key").toString(), "value");
}

TEST_F(TWLUserDefaultsTest, ChangeMadeWhileSavingIsSavedByTheNextSynchronize)
{
    // Enough contents that writing them takes a while.
    auto store = openStore();
    for (int i = 0; i < 2000; ++i)
        store->setString(QString(100, QLatin1Char('x')), QString::number(i));
    for (int round = 0; round < 20; ++round) {
        store->setObject(round, "saving");
        std::thread saver([&] { store->synchronize(); });
        store->setObject(round, "changed");
        saver.join();
        store->synchronize();
        EXPECT_EQ(savedContents().value("changed").toInt(), round);
    }
}

TEST_F(TWLUserDefaultsTest, KeysMoveOutOfTheApplicationsUserDefaults)
{
    const std::shared_ptr<UserDefaults> application = applicationDefaults();
    application->setObject("OLD-ID", "com.tarnwell.iuuid");
    application->setObject("kept elsewhere", "other");
    application->setObject("moved too", "second");
    application->synchronize();

    auto store = openStore();
    EXPECT_EQ(store->objectForKeyByMigratingFromNSUserDefaults("com.tarnwell.iuuid").toString(),
              "OLD-ID");
    EXPECT_EQ(savedContents().value("com.tarnwell.iuuid").toString(), "OLD-ID");
    EXPECT_FALSE(application->objectForKey("com.tarnwell.iuuid").isValid());
    EXPECT_FALSE(store->objectForKeyByMigratingFromNSUserDefaults("absent").isValid());

    store->migrateFromNSUserDefaults({"second", "absent"});
    EXPECT_EQ(store->stringForKey("second"), "moved too");
    EXPECT_EQ(savedContents().value("second").toString(), "moved too");
    EXPECT_FALSE(application->objectForKey("second").isValid());
    EXPECT_EQ(application->stringForKey("other"), "kept elsewhere");

    // And they are gone from the application's file, not only from memory.
    UserDefaults::resetStandardUserDefaults();
    EXPECT_FALSE(applicationDefaults()->objectForKey("com.tarnwell.iuuid").isValid());
    EXPECT_EQ(applicationDefaults()->stringForKey("other"), "kept elsewhere");
}

TEST_F(TWLUserDefaultsTest, MigratedKeyStaysInTheApplicationsUserDefaultsUntilSaved)
{
    applicationDefaults()->setObject("OLD-ID", "com.tarnwell.iuuid");
    applicationDefaults()->setObject("moved too", "second");
    {
        const Obstacle obstacle(dir.filePath("support"));
        auto store = openStore();
        EXPECT_EQ(store->objectForKeyByMigratingFromNSUserDefaults("com.tarnwell.iuuid").toString(),
                  "OLD-ID");
        store->migrateFromNSUserDefaults({"second"});
        EXPECT_EQ(store->stringForKey("second"), "moved too");
    }
    EXPECT_EQ(applicationDefaults()->stringForKey("com.tarnwell.iuuid"), "OLD-ID");
    EXPECT_EQ(applicationDefaults()->stringForKey("second"), "moved too");

    // The next launch, able to save, takes them over for good.
    auto store = openStore();
    EXPECT_EQ(store->objectForKeyByMigratingFromNSUserDefaults("com.tarnwell.iuuid").toString(),
              "OLD-ID");
    store->migrateFromNSUserDefaults({"second"});
    EXPECT_EQ(savedContents().value("com.tarnwell.iuuid").toString(), "OLD-ID");
    EXPECT_EQ(savedContents().value("second").toString(), "moved too");
    EXPECT_FALSE(applicationDefaults()->objectForKey("com.tarnwell.iuuid").isValid());
    EXPECT_FALSE(applicationDefaults()->objectForKey("second").isValid());
}

TEST(TWLUserDefaultsLocationTest, DirectoryIsBuiltFromBaseAndEscapedIdentifier)
{
    EXPECT_EQ(TWLUserDefaults::generateDirectoryURLForBaseURL("/data", "com.example/app"),
              "/data/com.example_app/com.tarnwell");
    EXPECT_EQ(TWLUserDefaults::generateDirectoryURLForBaseURL("/data", QString()),
              "/data/com.tarnwell");
}

TEST(TWLUserDefaultsLocationTest, StoreLivesUnderTheApplicationsIdentifierInTheDataFolder)
{
    QTemporaryDir data;
    const EnvironmentOverride dataHome("XDG_DATA_HOME", data.path());
    EXPECT_EQ(TWLUserDefaults::getEscapedAppBundleIdentifier(), "com.ferrowby.Quillmoor");
    EXPECT_EQ(TWLUserDefaults::generateDirectoryURL(),
              data.filePath("com.ferrowby.Quillmoor/com.tarnwell"));
}
