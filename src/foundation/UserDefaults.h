#pragma once

#include <QSettings>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>
#include <mutex>

// The application's user defaults: values kept in a settings file, over an
// in-memory layer of registered fallback values. Registered values are never
// written to the file; a stored value always wins over a registered one.
// Safe to use from any thread.
class UserDefaults
{
public:
    // The application's defaults, in "Quillmoor/Quillmoor.conf" under the
    // user's configuration directory (XDG_CONFIG_HOME). Made on first use.
    static std::shared_ptr<UserDefaults> standardUserDefaults();
    // Writes the application's defaults out and lets them go; the next
    // standardUserDefaults() starts afresh from the file, with nothing
    // registered, and finds the configuration directory anew.
    static void resetStandardUserDefaults();
    static QString standardFilePath();

    explicit UserDefaults(const QString &filePath);
    ~UserDefaults();
    UserDefaults(const UserDefaults &) = delete;
    UserDefaults &operator=(const UserDefaults &) = delete;

    QString filePath() const;

    // Adds the values to the fallback layer, replacing values registered
    // earlier under the same keys.
    void registerDefaults(const QVariantMap &registrationDictionary);
    // Registers the dictionary held by a property-list file; false, and
    // nothing registered, when the file is missing or holds no dictionary.
    bool registerDefaultsFromFile(const QString &propertyListPath);
    QVariantMap registeredDefaults() const;

    // The stored value, else the registered one, else an invalid value.
    QVariant objectForKey(const QString &key) const;
    // Text, or a number as text; a null string for anything else.
    QString stringForKey(const QString &key) const;
    // A number, or text holding one; 0 for anything else.
    qint64 integerForKey(const QString &key) const;
    // true for a true boolean, a non-zero number, or text such as "YES",
    // "true" or "1".
    bool boolForKey(const QString &key) const;

    // An invalid value removes the key.
    void setObject(const QVariant &value, const QString &key);
    void setInteger(qint64 value, const QString &key);
    void setBool(bool value, const QString &key);
    void removeObjectForKey(const QString &key);

    // Writes pending changes and takes in those other processes made; false
    // when the file cannot be read or written.
    bool synchronize();

private:
    mutable std::mutex m_mutex;
    QSettings m_settings;
    QVariantMap m_registered;
};
