#include "Bundle.h"

#include "PropertyList.h"

#include <QDir>
#include <QFileInfo>

const Bundle &Bundle::mainBundle()
{
    static const Bundle instance(locateMainResources());
    return instance;
}

Bundle::Bundle(QString resourcePath)
    : m_resourcePath(std::move(resourcePath))
{}

QString Bundle::locateMainResources()
{
    // An installed program finds its data relative to itself, wherever the
    // installation was moved; a program run from a build uses the sources.
    const QString executable = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QDir binDir = QFileInfo(executable).dir();
    const QString installed =
        QDir::cleanPath(binDir.filePath(QStringLiteral("../share/quillmoor")));
    if (QFileInfo::exists(QDir(installed).filePath(QStringLiteral("Info.plist"))))
        return installed;
    return QStringLiteral(QUILLMOOR_SOURCE_RESOURCES_DIR);
}

QString Bundle::pathForResource(const QString &name, const QString &type) const
{
    if (name.isEmpty())
        return {};
    const QString fileName = type.isEmpty() ? name : name + QLatin1Char('.') + type;
    const QString path = QDir(m_resourcePath).filePath(fileName);
    return QFileInfo(path).isFile() ? path : QString();
}

QString Bundle::appStoreReceiptURL() const
{
    return QDir(m_resourcePath).filePath(QStringLiteral("receipt"));
}

std::optional<QVariantMap> Bundle::infoDictionary() const
{
    std::call_once(m_infoOnce, [this] {
        const std::optional<QVariant> value =
            PropertyList::readFile(QDir(m_resourcePath).filePath(QStringLiteral("Info.plist")));
        if (value && value->typeId() == QMetaType::QVariantMap)
            m_info = value->toMap();
    });
    return m_info;
}

QVariant Bundle::objectForInfoDictionaryKey(const QString &key) const
{
    const std::optional<QVariantMap> info = infoDictionary();
    return info ? info->value(key) : QVariant();
}

QString Bundle::bundleIdentifier() const
{
    return objectForInfoDictionaryKey(QStringLiteral("CFBundleIdentifier")).toString();
}
