#include "TLYApplication.h"

#include "foundation/Bundle.h"
#include "foundation/Log.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

namespace {

QString describe(const QVariant &value)
{
    const QJsonValue json = QJsonValue::fromVariant(value);
    if (json.isArray())
        return QString::fromUtf8(QJsonDocument(json.toArray()).toJson(QJsonDocument::Compact));
    return value.toString();
}

} // namespace

TLYApplication::TLYApplication(QVariantMap infoPlistDict)
    : m_infoPlistDict(std::move(infoPlistDict))
{}

TLYApplication TLYApplication::hostApplication()
{
    return TLYApplication(Bundle::mainBundle().infoDictionary().value_or(QVariantMap()));
}

QString TLYApplication::bundleIdentifier() const
{
    return m_infoPlistDict.value(QStringLiteral("CFBundleIdentifier")).toString();
}

QString TLYApplication::bundleVersion() const
{
    return m_infoPlistDict.value(QStringLiteral("CFBundleVersion")).toString();
}

QString TLYApplication::shortVersionString() const
{
    return m_infoPlistDict.value(QStringLiteral("CFBundleShortVersionString")).toString();
}

std::optional<QVariantMap> TLYApplication::extensionDefinitionDictionary() const
{
    const QVariant entry = m_infoPlistDict.value(QStringLiteral("NSExtension"));
    if (!entry.isValid())
        return std::nullopt;
    if (entry.typeId() != QMetaType::QVariantMap) {
        systemLog(QStringLiteral("Error: NSExtension Info.plist entry is mal-formed %1\n")
                      .arg(describe(entry)));
        return std::nullopt;
    }
    return entry.toMap();
}

QString TLYApplication::extensionPointIdentifier() const
{
    const std::optional<QVariantMap> extension = extensionDefinitionDictionary();
    if (!extension)
        return {};
    const QVariant identifier = extension->value(QStringLiteral("NSExtensionPointIdentifier"));
    if (identifier.typeId() != QMetaType::QString) {
        systemLog(
            QStringLiteral("Error: NSExtensionPointIdentifier Info.plist entry is mal-formed\n"));
        return {};
    }
    return identifier.toString();
}

bool TLYApplication::isExtension() const
{
    return !extensionPointIdentifier().isNull();
}

QCoreApplication *TLYApplication::appSharedInstance() const
{
    return isExtension() ? nullptr : QCoreApplication::instance();
}
