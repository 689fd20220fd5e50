#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <memory>
#include <mutex>
#include <optional>

class UserDefaults;

// The SDK's own small key-value store, apart from the application's
// settings: a dictionary in memory, saved as a property-list file only when
// it has changed. It can take over keys that older versions kept in the
// application's user defaults. Any thread may use it; file errors are logged and
// never reach the caller.
class TWLUserDefaults
{
public:
    // The store of the application: in the folder named by the main
    // bundle's identifier under the user's data folder.
    static TWLUserDefaults &standardUserDefaults();

    // A store kept in directoryPath. Keys are migrated from platformDefaults;
    // without them, from the application's own user defaults.
    explicit TWLUserDefaults(const QString &directoryPath,
                             std::shared_ptr<UserDefaults> platformDefaults = nullptr);
    TWLUserDefaults(const TWLUserDefaults &) = delete;
    TWLUserDefaults &operator=(const TWLUserDefaults &) = delete;

    const QString &directoryURL() const { return m_directoryURL; }
    const QString &fileURL() const { return m_fileURL; }

    QVariant objectForKey(const QString &key) const;
    QString stringForKey(const QString &key) const;
    bool boolForKey(const QString &key) const;
    // An invalid (null) value removes the key.
    void setObject(const QVariant &value, const QString &key);
    void setString(const QString &value, const QString &key);
    void setBool(bool value, const QString &key);
    void removeObjectForKey(const QString &key);
    void removeAllObjects();
    QVariantMap dictionaryRepresentation() const;

    // Saves the contents if they differ from what was last saved. True when
    // the file holds them afterwards; a failed save is tried again by the
    // next call.
    bool synchronize();
    // Whether the last synchronize() found changes to save.
    bool synchronizeWroteToDisk() const;
    // Forgets every key and deletes the file (and its folder, when that is
    // left empty): nothing of the store remains until a key is set again.
    void removePersistentStore();

    // The stored value, or else one taken over from the application's user
    // defaults. There it is removed once the store has saved it.
    QVariant objectForKeyByMigratingFromNSUserDefaults(const QString &key);
    // Takes over every listed key found in the application's user defaults;
    // they are removed there once the store has saved them.
    void migrateFromNSUserDefaults(const QStringList &keys);

    // The contents of the file, or nothing.
    std::optional<QVariantMap> loadDefaults();

    static QString generateDirectoryURL();
    static QString generateDirectoryURLForBaseURL(const QString &baseURL,
                                                  const QString &hostAppBundleIdentifier);
    // The main bundle's identifier, safe as one path component.
    static QString getEscapedAppBundleIdentifier();

private:
    std::shared_ptr<UserDefaults> platformDefaults() const;

    QString m_directoryURL;
    QString m_fileURL;
    std::shared_ptr<UserDefaults> m_platformDefaults;

    // The access queue: guards the dictionaries.
    mutable std::mutex m_accessMutex;
    QVariantMap m_dataDictionary;
    QVariantMap m_persistedDataDictionary;
    bool m_synchronizeWroteToDisk = false;

    // The input/output queue: serialises file work. Taken before the access
    // lock when both are needed.
    std::mutex m_ioMutex;
};
