#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// The SDK's own small key-value store, apart from the application's
// settings: a dictionary in memory, saved as a property-list file only when
// it has changed. It can take over keys that older versions kept in the
// application's settings. Any thread may use it; file errors are logged and
// never reach the caller.
class TWLUserDefaults
{
public:
    using PlatformDefaults = std::function<std::unique_ptr<QSettings>()>;

    static TWLUserDefaults &standardUserDefaults();

    // A store kept in directoryPath. platformDefaults opens the settings
    // that keys are migrated from; without it, the application's settings.
    explicit TWLUserDefaults(const QString &directoryPath, PlatformDefaults platformDefaults = {});
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

    // Saves the contents if they differ from what was last loaded or saved.
    void synchronize();
    bool synchronizeWroteToDisk() const;

    // The stored value, or else one taken over from the application's
    // settings (and removed there).
    QVariant objectForKeyByMigratingFromNSUserDefaults(const QString &key);
    // Takes over every listed key found in the application's settings.
    void migrateFromNSUserDefaults(const QStringList &keys);

    // The contents of the file, or nothing.
    std::optional<QVariantMap> loadDefaults();

    static QString generateDirectoryURL();
    static QString generateDirectoryURLForBaseURL(const QString &baseURL,
                                                  const QString &hostAppBundleIdentifier);
    // The application's identifier, safe as one path component.
    static QString getEscapedAppBundleIdentifier();

private:
    std::unique_ptr<QSettings> openPlatformDefaults() const;

    QString m_directoryURL;
    QString m_fileURL;
    PlatformDefaults m_platformDefaults;

    // The access queue: guards the dictionaries.
    mutable std::mutex m_accessMutex;
    QVariantMap m_dataDictionary;
    QVariantMap m_persistedDataDictionary;
    bool m_synchronizeWroteToDisk = false;

    // The input/output queue: serialises file work.
    std::mutex m_ioMutex;
};
