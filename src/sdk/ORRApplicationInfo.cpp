#include "ORRApplicationInfo.h"

#include "foundation/SystemInformation.h"

#include <QFileInfo>
#include <QVariantMap>

namespace {

QString infoString(const Bundle &bundle, const QString &key)
{
    const QVariant value = bundle.objectForInfoDictionaryKey(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

} // namespace

QString ORRApplicationBundleIdentifier(const Bundle &bundle)
{
    return bundle.bundleIdentifier().replace(QLatin1Char('/'), QLatin1Char('_'));
}

QString ORRApplicationBuildVersion(const Bundle &bundle)
{
    return infoString(bundle, QStringLiteral("CFBundleVersion"));
}

QString ORRApplicationDisplayVersion(const Bundle &bundle)
{
    return infoString(bundle, QStringLiteral("CFBundleShortVersionString"));
}

QString ORRApplicationName(const Bundle &bundle)
{
    for (const QString &key :
         {QStringLiteral("CFBundleDisplayName"), QStringLiteral("CFBundleName")}) {
        const QString name = infoString(bundle, key);
        if (!name.isNull())
            return name;
    }
    return ORRApplicationBuildVersion(bundle);
}

bool ORRApplicationInstalledFromStore(const Bundle &bundle)
{
    if (ORROperatingSystemVersionNumber() < 1070)
        return false;
    return QFileInfo::exists(bundle.appStoreReceiptURL());
}

bool ORRApplicationSignedForDistribution(const Bundle &bundle)
{
    return ORRBooleanValue(
        bundle.objectForInfoDictionaryKey(QStringLiteral("TarnwellSignedForDistribution")));
}

int ORRApplicationInstallSource(const Bundle &bundle)
{
    if (ORRApplicationInstalledFromStore(bundle))
        return 4;
    if (ORRApplicationSignedForDistribution(bundle))
        return 3;
    return 1;
}

bool ORRShouldCollectDeviceIdentifiers(bool emberlineMode, const Bundle &bundle)
{
    if (emberlineMode)
        return false;
    const QVariantMap config = bundle.objectForInfoDictionaryKey(QStringLiteral("Orrery")).toMap();
    QVariant value = config.value(QStringLiteral("ReportIdentifiers"));
    if (!value.isValid())
        value =
            bundle.objectForInfoDictionaryKey(QStringLiteral("TarnwellCollectDeviceIdentifiers"));
    return !value.isValid() || ORRBooleanValue(value);
}

int ORROperatingSystemVersionNumber()
{
    const SystemInformation::OperatingSystemVersion version =
        SystemInformation::operatingSystemVersion();
    switch (version.minorVersion) {
    case 6:
        return 1060;
    case 7:
        return 1070;
    case 8:
        return 1080;
    case 9:
        return 1090;
    case 10:
        return 101000;
    case 11:
        return 101100;
    case 12:
        return 101200;
    case 13:
        return 101300;
    default:
        return 0;
    }
}

bool ORRBooleanValue(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::QString: {
        const QString text = value.toString();
        qsizetype i = 0;
        while (i < text.size() && text[i].isSpace())
            ++i;
        if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
            ++i;
        while (i < text.size() && text[i] == QLatin1Char('0'))
            ++i;
        if (i == text.size())
            return false;
        const QChar first = text[i];
        return QStringLiteral("YyTt123456789").contains(first);
    }
    default:
        return value.canConvert<double>() && value.toDouble() != 0.0;
    }
}
