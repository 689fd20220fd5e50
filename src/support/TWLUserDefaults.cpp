#include "TWLUserDefaults.h"

#include "foundation/Bundle.h"
#include "foundation/Log.h"
#include "foundation/PropertyList.h"
#include "foundation/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString FileName = QStringLiteral("TWLUserDefaults.plist");

} // namespace

TWLUserDefaults &TWLUserDefaults::standardUserDefaults()
{
    static TWLUserDefaults instance(generateDirectoryURL());
    return instance;
}

TWLUserDefaults::TWLUserDefaults(const QString &directoryPath,
                                 std::shared_ptr<UserDefaults> platformDefaults)
    : m_directoryURL(directoryPath)
    , m_fileURL(QDir(directoryPath).filePath(FileName))
    , m_platformDefaults(std::move(platformDefaults))
{
    m_persistedDataDictionary = loadDefaults().value_or(QVariantMap());
    m_dataDictionary = m_persistedDataDictionary;
}

QString TWLUserDefaults::getEscapedAppBundleIdentifier()
{
    return Bundle::mainBundle().bundleIdentifier().replace(QLatin1Char('/'), QLatin1Char('_'));
}

QString TWLUserDefaults::generateDirectoryURLForBaseURL(const QString &baseURL,
                                                        const QString &hostAppBundleIdentifier)
{
    QString path = baseURL;
    if (!hostAppBundleIdentifier.isEmpty()) {
        QString escaped = hostAppBundleIdentifier;
        path = QDir(path).filePath(escaped.replace(QLatin1Char('/'), QLatin1Char('_')));
    }
    return QDir(path).filePath(QStringLiteral("com.tarnwell"));
}

QString TWLUserDefaults::generateDirectoryURL()
{
    return generateDirectoryURLForBaseURL(
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
        getEscapedAppBundleIdentifier());
}

std::optional<QVariantMap> TWLUserDefaults::loadDefaults()
{
    std::lock_guard io(m_ioMutex);
    const QFileInfo info(m_fileURL);
    if (info.isSymLink() && !info.isFile()) {
        // A link to a directory (or to nothing) is in the way as a directory
        // would be, but only the link is the store's to remove: what it
        // points to belongs to someone else.
        systemLog(QStringLiteral("[Orrery:UserDefaults] found directory where file expected. "
                                 "Removing conflicting directory"));
        QFile link(m_fileURL);
        if (!link.remove()) {
            systemLog(QStringLiteral("[Orrery:UserDefaults] error removing conflicting directory: "
                                     "{error = %1}")
                          .arg(link.errorString()));
        }
        return std::nullopt;
    }
    if (info.isDir()) {
        systemLog(QStringLiteral("[Orrery:UserDefaults] found directory where file expected. "
                                 "Removing conflicting directory"));
        if (!QDir(m_fileURL).removeRecursively()) {
            systemLog(QStringLiteral("[Orrery:UserDefaults] error removing conflicting directory: "
                                     "{error = %1}")
                          .arg(QStringLiteral("could not remove %1").arg(m_fileURL)));
        }
        return std::nullopt;
    }
    if (!info.exists())
        return std::nullopt;
    const std::optional<QVariant> contents = PropertyList::readFile(m_fileURL);
    if (!contents || contents->typeId() != QMetaType::QVariantMap) {
        systemLog(
            QStringLiteral("[Orrery:UserDefaults] failed to read existing UserDefaults file"));
        return std::nullopt;
    }
    return contents->toMap();
}

QVariant TWLUserDefaults::objectForKey(const QString &key) const
{
    std::lock_guard lock(m_accessMutex);
    return m_dataDictionary.value(key);
}

QString TWLUserDefaults::stringForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

bool TWLUserDefaults::boolForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toBool();
    default:
        return false;
    }
}

void TWLUserDefaults::setObject(const QVariant &value, const QString &key)
{
    std::lock_guard lock(m_accessMutex);
    if (value.isValid())
        m_dataDictionary.insert(key, value);
    else
        m_dataDictionary.remove(key);
}

void TWLUserDefaults::setString(const QString &value, const QString &key)
{
    setObject(value.isNull() ? QVariant() : QVariant(value), key);
}

void TWLUserDefaults::setBool(bool value, const QString &key)
{
    setObject(value, key);
}

void TWLUserDefaults::removeObjectForKey(const QString &key)
{
    setObject(QVariant(), key);
}

void TWLUserDefaults::removeAllObjects()
{
    std::lock_guard lock(m_accessMutex);
    m_dataDictionary.clear();
}

QVariantMap TWLUserDefaults::dictionaryRepresentation() const
{
    std::lock_guard lock(m_accessMutex);
    return m_dataDictionary;
}

bool TWLUserDefaults::synchronizeWroteToDisk() const
{
    std::lock_guard lock(m_accessMutex);
    return m_synchronizeWroteToDisk;
}

bool TWLUserDefaults::synchronize()
{
    // One save at a time, so that what is marked as saved is what the file
    // holds, whichever save finishes last.
    std::lock_guard io(m_ioMutex);
    QVariantMap snapshot;
    {
        std::lock_guard lock(m_accessMutex);
        m_synchronizeWroteToDisk = m_persistedDataDictionary != m_dataDictionary;
        if (!m_synchronizeWroteToDisk)
            return true;
        snapshot = m_dataDictionary;
    }
    QDir directory(m_directoryURL);
    if (!directory.exists() && !directory.mkpath(QStringLiteral("."))) {
        systemLog(QStringLiteral("[Orrery:UserDefaults] failed to create directory with error:%1")
                      .arg(QStringLiteral("could not create %1").arg(m_directoryURL)));
    }
    if (!PropertyList::writeFile(m_fileURL, snapshot)) {
        // Still unsaved: the next synchronize() tries again.
        systemLog(QStringLiteral("[Orrery:UserDefaults] Unable to open file for writing at path %1")
                      .arg(m_fileURL));
        return false;
    }
    // What was written, not what the dictionary holds by now: a change made
    // while the file was written is still to be saved.
    std::lock_guard lock(m_accessMutex);
    m_persistedDataDictionary = snapshot;
    return true;
}

void TWLUserDefaults::removePersistentStore()
{
    std::lock_guard io(m_ioMutex);
    {
        std::lock_guard lock(m_accessMutex);
        m_dataDictionary.clear();
        m_persistedDataDictionary.clear();
    }
    QFile::remove(m_fileURL);
    // The folder is the store's own; it goes once empty.
    QDir().rmdir(m_directoryURL);
}

std::shared_ptr<UserDefaults> TWLUserDefaults::platformDefaults() const
{
    return m_platformDefaults ? m_platformDefaults : UserDefaults::standardUserDefaults();
}

QVariant TWLUserDefaults::objectForKeyByMigratingFromNSUserDefaults(const QString &key)
{
    if (key.isNull())
        return {};
    const QVariant stored = objectForKey(key);
    if (stored.isValid())
        return stored;
    const std::shared_ptr<UserDefaults> platform = platformDefaults();
    const QVariant value = platform->objectForKey(key);
    if (!value.isValid())
        return {};
    setObject(value, key);
    // The old copy goes only once this one is safe on disk; until then the
    // next launch finds it there again.
    if (synchronize()) {
        platform->removeObjectForKey(key);
        platform->synchronize();
    }
    return value;
}

void TWLUserDefaults::migrateFromNSUserDefaults(const QStringList &keys)
{
    const std::shared_ptr<UserDefaults> platform = platformDefaults();
    bool copied = false;
    for (const QString &key : keys) {
        const QVariant value = platform->objectForKey(key);
        if (value.isValid()) {
            setObject(value, key);
            copied = true;
        }
    }
    if (!copied || !synchronize())
        return;
    for (const QString &key : keys)
        platform->removeObjectForKey(key);
    platform->synchronize();
}
