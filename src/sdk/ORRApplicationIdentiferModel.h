#pragma once

#include "ORRAppIconUtility.h"
#include "ORRIcon.h"
#include "foundation/Bundle.h"

#include <QMap>
#include <QString>

#include <memory>
#include <mutex>

// Describes the running application to the service: bundle identifier,
// installation identifier, the build identifier of its executable per
// architecture, an instance identifier derived from those, and the
// platform versions recorded in the executable.
//
// The executable is an ELF file: its machine type names the architecture,
// its GNU build-ID note gives the image identifier (the first 16 bytes, as
// 32 hexadecimal digits), its ABI-tag note gives the minimum kernel version
// (minimumSDK) and the newest C-library symbol version it links against
// gives builtSDK.
class ORRApplicationIdentiferModel
{
public:
    struct Version
    {
        quint32 major = 0;
        quint32 minor = 0;
        quint32 patch = 0;
        bool operator==(const Version &) const = default;
    };

    // The model of the running program; null when its executable cannot be
    // read.
    static std::shared_ptr<ORRApplicationIdentiferModel>
    initWithInstallID(const QString &installID, const Bundle &bundle = Bundle::mainBundle());
    // The model of the executable file at path.
    static std::shared_ptr<ORRApplicationIdentiferModel>
    initWithInstallID(const QString &installID, const QString &executablePath,
                      const Bundle &bundle = Bundle::mainBundle());

    const QString &installID() const { return m_installID; }
    const QString &bundleIdentifier() const { return m_bundleIdentifier; }
    // Architecture name to 32 lower-case hexadecimal digits.
    const QMap<QString, QString> &architectureUUIDMap() const { return m_architectureUUIDMap; }
    // 40 lower-case hexadecimal digits.
    const QString &instanceIdentifier() const { return m_instanceIdentifier; }
    Version builtSDK() const { return m_builtSDK; }
    Version minimumSDK() const { return m_minimumSDK; }
    QString builtSDKString() const { return versionString(m_builtSDK); }
    QString minimumSDKString() const { return versionString(m_minimumSDK); }
    // The application icon, looked up on first use; null without one.
    std::shared_ptr<const ORRIcon> icon() const;

    bool computeExecutableInfo();
    bool computeInstanceIdentifier();

    static QString versionString(Version version);

private:
    class ElfReader;
    ORRApplicationIdentiferModel(QString executablePath, const Bundle &bundle);

    QString m_executablePath;
    QString m_installID;
    QString m_bundleIdentifier;
    QMap<QString, QString> m_architectureUUIDMap;
    QString m_instanceIdentifier;
    Version m_builtSDK;
    Version m_minimumSDK;
    std::unique_ptr<ORRAppIconUtility> m_iconUtility;
};
