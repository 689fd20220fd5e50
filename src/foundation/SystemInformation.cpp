#include "SystemInformation.h"

#include <QFile>
#include <QStringList>
#include <QSysInfo>

namespace SystemInformation {

OperatingSystemVersion operatingSystemVersion()
{
    const QStringList parts = QSysInfo::productVersion().split(QLatin1Char('.'));
    OperatingSystemVersion version;
    version.majorVersion = parts.value(0).toLong();
    version.minorVersion = parts.value(1).toLong();
    version.patchVersion = parts.value(2).toLong();
    return version;
}

QString operatingSystemDisplayVersion()
{
    const OperatingSystemVersion version = operatingSystemVersion();
    return QStringLiteral("%1.%2.%3")
        .arg(version.majorVersion)
        .arg(version.minorVersion)
        .arg(version.patchVersion);
}

QString operatingSystemBuildVersion()
{
    return QSysInfo::kernelVersion();
}

QString hardwareModel()
{
    QFile product(QStringLiteral("/sys/devices/virtual/dmi/id/product_name"));
    if (product.open(QIODevice::ReadOnly)) {
        // The firmware's text is short; 128 bytes is all that is kept of it.
        const QString name = QString::fromUtf8(product.read(128)).trimmed();
        if (!name.isEmpty())
            return name;
    }
    return QSysInfo::currentCpuArchitecture();
}

} // namespace SystemInformation
