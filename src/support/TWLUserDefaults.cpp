#include "TWLUserDefaults.h"

#include "foundation/Log.h"
#include "foundation/PropertyList.h"

#include <QCoreApplication>
#include <QDir>
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

TWLUserDefaults::TWLUserDefaults(const QString &directoryPath, PlatformDefaults platformDefaults)
    : m_directoryURL(directoryPath)
    , m_fileURL(QDir(directoryPath).filePath(FileName))
    , m_platformDefaults(std::move(platformDefaults))
{
    std::lock_guard lock(m_accessMutex);
    m_persistedDataDictionary = loadDefaults().value_or(QVariantMap());
    m_dataDictionary = m_persistedDataDictionary;
}

QString TWLUserDefaults::getEscapedAppBundleIdentifier()
{
    // The identifier in reverse-domain form, as the application declares it:
    // its organisation's domain reversed, then its name.
    const QString domain = QCoreApplication::organizationDomain();
    const QString name = QCoreApplication::applicationName();
    if (domain.isEmpty() || name.isEmpty())
        return {};
    QStringList parts = domain.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    std::reverse(parts.begin(), parts.end());
    parts.append(name);
    return parts.join(QLatin1Char('.')).replace(QLatin1Char('/'), QLatin1Char('_'));
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

void TWLUserDefaults::synchronize()
{
    QVariantMap snapshot;
    {
        std::lock_guard lock(m_accessMutex);
        m_synchronizeWroteToDisk = m_persistedDataDictionary != m_dataDictionary;
        if (!m_synchronizeWroteToDisk)
            return;
        snapshot = m_dataDictionary;
    }
    {
        std::lock_guard io(m_ioMutex);
        QDir directory(m_directoryURL);
        if (!directory.exists() && !directory.mkpath(QStringLiteral("."))) {
            systemLog(
                QStringLiteral("[Orrery:UserDefaults] failed to create directory with error:%1")
                    .arg(QStringLiteral("could not create %1").arg(m_directoryURL)));
        }
        if (!PropertyList::writeFile(m_fileURL, snapshot)) {
            systemLog(
                QStringLiteral("[Orrery:UserDefaults] Unable to open file for writing at path %1")
                    .arg(m_fileURL));
        }
    }
    // Also after a failed write, so that an unchanged store does not retry.
    std::lock_guard lock(m_accessMutex);
    m_persistedDataDictionary = m_dataDictionary;
}

std::unique_ptr<QSettings> TWLUserDefaults::openPlatformDefaults() const
{
    return m_platformDefaults ? m_platformDefaults() : std::make_unique<QSettings>();
}

QVariant TWLUserDefaults::objectForKeyByMigratingFromNSUserDefaults(const QString &key)
{
    if (key.isNull())
        return {};
    const QVariant stored = objectForKey(key);
    if (stored.isValid())
        return stored;
    std::unique_ptr<QSettings> platform = openPlatformDefaults();
    const QVariant value = platform->value(key);
    if (!value.isValid())
        return {};
    setObject(value, key);
    synchronize();
    platform->remove(key);
    platform->sync();
    return value;
}

void TWLUserDefaults::migrateFromNSUserDefaults(const QStringList &keys)
{
    std::unique_ptr<QSettings> platform = openPlatformDefaults();
    bool copied = false;
    for (const QString &key : keys) {
        const QVariant value = platform->value(key);
        if (value.isValid()) {
            setObject(value, key);
            copied = true;
        }
    }
    if (!copied)
        return;
    synchronize();
    for (const QString &key : keys)
        platform->remove(key);
    platform->sync();
}
