#include "TLYMetadata.h"

#include "TLYAttributeDictionary.h"
#include "TLYFileUtils.h"

#include "foundation/SystemInformation.h"
#include "sdk/Orrery.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSysInfo>

#include <thread>

TLYMetadata::TLYMetadata(Fields fields)
    : m_fields(std::move(fields))
{}

std::shared_ptr<const TLYMetadata> TLYMetadata::initWithOrrery(Orrery &orrery,
                                                               const QString &betaToken,
                                                               const TLYApplication &application)
{
    Fields fields;
    fields.APIKey = orrery.APIKey();
    fields.betaToken = unwrapBetaToken(betaToken);
    fields.buildVersion = application.bundleVersion();
    fields.bundleIdentifier =
        application.bundleIdentifier().replace(QLatin1Char('/'), QLatin1Char('_'));
    fields.displayVersion = application.shortVersionString();
    fields.executionIdentifier = orrery.executionIdentifier();
    fields.hostModel = SystemInformation::hardwareModel();
    fields.installationId = orrery.installID();
    fields.instanceIdentifier = orrery.instanceIdentifier();
    fields.locale = QLocale::system().name();
    fields.numberOfCores = std::thread::hardware_concurrency();
    fields.OSBuildVersion = SystemInformation::operatingSystemBuildVersion();
    fields.OSDisplayVersion = SystemInformation::operatingSystemDisplayVersion();
    fields.platform = runningPlatformName();
    return std::make_shared<const TLYMetadata>(std::move(fields));
}

QString TLYMetadata::unwrapBetaToken(const QString &token)
{
    const QStringList parts = token.split(QLatin1Char(':'));
    if (parts.size() == 2 && parts.first() == QLatin1String("2"))
        return parts.last();
    return {};
}

QString TLYMetadata::runningPlatformName()
{
    const QString kernel = QSysInfo::kernelType();
    return kernel == QLatin1String("linux") ? QStringLiteral("Linux") : kernel;
}

std::optional<QVariantMap>
TLYMetadata::dictionaryRepresentationWithStartTime(quint64 startTime) const
{
    QVariantMap dictionary;
    const auto add = [&](const char *key, const QVariant &value) {
        if (value.isValid() && !(value.typeId() == QMetaType::QString && value.toString().isNull()))
            dictionary.insert(QString::fromLatin1(key), value);
    };
    add("generator", Generator);
    add("api_key", m_fields.APIKey);
    add("session_id", m_fields.executionIdentifier);
    add("started_at", startTime);
    add("advertising_id", identifierForAdvertising());
    add("beta_tester_token", m_fields.betaToken);
    add("links_ad_support", advertisingSupportFrameworkLinked());
    add("advertising_tracking_enabled", trackingForAdvertisingEnabled());
    add("install_id", m_fields.installationId);
    add("model", m_fields.hostModel);
    add("machine", m_fields.hostModel);
    add("locale", m_fields.locale);
    add("os_build", m_fields.OSBuildVersion);
    add("os_version", m_fields.OSDisplayVersion);
    add("platform", m_fields.platform);
    add("platform_code", m_fields.platformCode);
    add("cores", m_fields.numberOfCores);
    add("jailbroken", m_fields.isJailbroken);
    add("bundle_id", m_fields.bundleIdentifier);
    add("bundle_version", m_fields.buildVersion);
    add("bundle_short_version", m_fields.displayVersion);
    add("instance_id", m_fields.instanceIdentifier);
    return dictionary;
}

TLYCrashMetadata::TLYCrashMetadata(std::optional<QVariantMap> rawMetadataDictionary)
    : m_rawMetadataDictionary(std::move(rawMetadataDictionary))
{}

std::optional<QVariantMap> TLYCrashMetadata::dictionaryRepresentationWithStartTime(quint64) const
{
    return m_rawMetadataDictionary;
}

std::optional<QVariantMap> TLYCrashMetadata::readSerializedDictionaryFromURL(const QUrl &url)
{
    QFile file(url.toLocalFile());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject())
        return std::nullopt;
    return document.object().toVariantMap();
}

bool TLYCrashMetadata::writeSerializedDictionary(const QVariantMap &dictionary, const QUrl &url)
{
    const QJsonObject object = TLYAttributeDictionary::jsonValue(dictionary).toObject();
    return TLYFileUtils::writeFileAtomically(QJsonDocument(object).toJson(QJsonDocument::Compact),
                                             url.toLocalFile());
}
