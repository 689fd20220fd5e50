#include "UserDefaults.h"

#include "PropertyList.h"

#include <QDir>
#include <QStandardPaths>

#include <cmath>
#include <limits>

namespace {

struct StandardInstance
{
    std::mutex mutex;
    std::shared_ptr<UserDefaults> defaults;
};

StandardInstance &standardInstance()
{
    static StandardInstance instance;
    return instance;
}

bool isNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

// Reals are cut towards zero; values beyond the integer range give 0
// rather than an arbitrary number.
qint64 integerFromReal(double value)
{
    constexpr double limit = 9.2e18;
    if (!std::isfinite(value) || std::fabs(value) >= limit)
        return 0;
    return qint64(std::trunc(value));
}

} // namespace

std::shared_ptr<UserDefaults> UserDefaults::standardUserDefaults()
{
    StandardInstance &instance = standardInstance();
    std::lock_guard lock(instance.mutex);
    if (!instance.defaults)
        instance.defaults = std::make_shared<UserDefaults>(standardFilePath());
    return instance.defaults;
}

void UserDefaults::resetStandardUserDefaults()
{
    std::shared_ptr<UserDefaults> released;
    {
        StandardInstance &instance = standardInstance();
        std::lock_guard lock(instance.mutex);
        released = std::move(instance.defaults);
    }
    if (released)
        released->synchronize();
}

QString UserDefaults::standardFilePath()
{
    const QDir config(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    return config.filePath(QStringLiteral("Quillmoor/Quillmoor.conf"));
}

UserDefaults::UserDefaults(const QString &filePath)
    : m_settings(filePath, QSettings::IniFormat)
{}

UserDefaults::~UserDefaults()
{
    std::lock_guard lock(m_mutex);
    m_settings.sync();
}

QString UserDefaults::filePath() const
{
    std::lock_guard lock(m_mutex);
    return m_settings.fileName();
}

void UserDefaults::registerDefaults(const QVariantMap &registrationDictionary)
{
    std::lock_guard lock(m_mutex);
    m_registered.insert(registrationDictionary);
}

bool UserDefaults::registerDefaultsFromFile(const QString &propertyListPath)
{
    const std::optional<QVariant> contents = PropertyList::readFile(propertyListPath);
    if (!contents || contents->typeId() != QMetaType::QVariantMap)
        return false;
    registerDefaults(contents->toMap());
    return true;
}

QVariantMap UserDefaults::registeredDefaults() const
{
    std::lock_guard lock(m_mutex);
    return m_registered;
}

QVariant UserDefaults::objectForKey(const QString &key) const
{
    std::lock_guard lock(m_mutex);
    const QVariant stored = m_settings.value(key);
    return stored.isValid() ? stored : m_registered.value(key);
}

QString UserDefaults::stringForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    if (isNumber(value))
        return value.toString();
    return {};
}

qint64 UserDefaults::integerForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float)
        return integerFromReal(value.toDouble());
    if (isNumber(value))
        return value.toLongLong();
    if (value.typeId() != QMetaType::QString)
        return 0;
    // The settings file keeps every number as text.
    const QString text = value.toString().trimmed();
    bool ok = false;
    const qint64 integer = text.toLongLong(&ok);
    if (ok)
        return integer;
    const double real = text.toDouble(&ok);
    return ok ? integerFromReal(real) : 0;
}

bool UserDefaults::boolForKey(const QString &key) const
{
    const QVariant value = objectForKey(key);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (isNumber(value))
        return value.toDouble() != 0.0;
    if (value.typeId() != QMetaType::QString)
        return false;
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("yes") || text == QLatin1String("true"))
        return true;
    return integerForKey(key) != 0;
}

void UserDefaults::setObject(const QVariant &value, const QString &key)
{
    std::lock_guard lock(m_mutex);
    if (value.isValid())
        m_settings.setValue(key, value);
    else
        m_settings.remove(key);
}

void UserDefaults::setInteger(qint64 value, const QString &key)
{
    setObject(QVariant::fromValue(value), key);
}

void UserDefaults::setBool(bool value, const QString &key)
{
    setObject(value, key);
}

void UserDefaults::removeObjectForKey(const QString &key)
{
    setObject(QVariant(), key);
}

bool UserDefaults::synchronize()
{
    std::lock_guard lock(m_mutex);
    m_settings.sync();
    return m_settings.status() == QSettings::NoError;
}
