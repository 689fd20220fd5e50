#include "ORRSettings.h"

#include "ORRApplicationInfo.h"
#include "ORRURLBuilder.h"
#include "foundation/Log.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// A JSON null counts as absent.
QVariant present(const QVariant &value)
{
    return value.typeId() == QMetaType::Nullptr ? QVariant() : value;
}

} // namespace

ORRSettings::ORRSettings(QString settingsPath, const Bundle &bundle)
    : m_settingsPath(std::move(settingsPath))
    , m_bundle(bundle)
{}

std::optional<QVariantMap> ORRSettings::settingsDictionary() const
{
    std::lock_guard lock(m_mutex);
    if (!m_settingsDictionary)
        m_settingsDictionary = load();
    return *m_settingsDictionary;
}

void ORRSettings::clearSettingsDictionary()
{
    std::lock_guard lock(m_mutex);
    m_settingsDictionary.reset();
}

std::optional<QVariantMap> ORRSettings::load() const
{
    QFile file(m_settingsPath);
    if (!file.exists())
        return std::nullopt;
    QJsonParseError error{};
    const QJsonDocument document = file.open(QIODevice::ReadOnly)
                                       ? QJsonDocument::fromJson(file.readAll(), &error)
                                       : QJsonDocument();
    if (document.isObject())
        return document.object().toVariantMap();
    const QString reason = error.error != QJsonParseError::NoError ? error.errorString()
                           : file.error() != QFile::NoError
                               ? file.errorString()
                               : QStringLiteral("the settings are not a JSON object");
    systemLog(QStringLiteral("[Orrery] Could not load settings with error: %1").arg(reason));
    file.close();
    file.remove();
    return std::nullopt;
}

QVariantMap ORRSettings::appSettings() const
{
    return present(settingsDictionary().value_or(QVariantMap()).value(QStringLiteral("app")))
        .toMap();
}

QString ORRSettings::appStatus() const
{
    const QVariant status = present(appSettings().value(QStringLiteral("status")));
    return status.typeId() == QMetaType::QString ? status.toString() : QString();
}

bool ORRSettings::appNeedsOnboarding() const
{
    return appStatus() == QLatin1String("new");
}

bool ORRSettings::appUpdateRequired() const
{
    return ORRBooleanValue(present(appSettings().value(QStringLiteral("update_required"))));
}

QString ORRSettings::appBundleIdentifier() const
{
    return ORRApplicationBundleIdentifier(m_bundle);
}

QString ORRSettings::appBuildVersion() const
{
    return ORRApplicationBuildVersion(m_bundle);
}

QString ORRSettings::appDisplayVersion() const
{
    return ORRApplicationDisplayVersion(m_bundle);
}

int ORRSettings::appSource() const
{
    return ORRApplicationInstallSource(m_bundle);
}

std::optional<QUrl> ORRSettings::settingsURLForEndpoint(const QString &base,
                                                        const QString &appInstanceIdentifier) const
{
    ORRURLBuilder builder = ORRURLBuilder::URLWithBase(base);
    builder.appendComponent(QStringLiteral("/spi/v2/platforms/"));
    builder.escapeAndAppendComponent(appPlatform());
    builder.appendComponent(QStringLiteral("/apps/"));
    builder.escapeAndAppendComponent(appBundleIdentifier());
    builder.appendComponent(QStringLiteral("/settings"));
    const auto text = [](const QString &value) {
        return value.isNull() ? QVariant() : QVariant(value);
    };
    builder.appendValue(text(appBuildVersion()), QStringLiteral("build_version"));
    builder.appendValue(text(appDisplayVersion()), QStringLiteral("display_version"));
    builder.appendValue(text(appInstanceIdentifier), QStringLiteral("instance"));
    builder.appendValue(appSource(), QStringLiteral("source"));
    return builder.URL();
}
