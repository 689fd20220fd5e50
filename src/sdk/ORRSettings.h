#pragma once

#include "foundation/Bundle.h"

#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <mutex>
#include <optional>

// The settings the service sent, as stored in the settings file: read on
// first use and kept until cleared. Besides the kits' sections it holds what
// the service says about the application itself ("app": "status",
// "update_required"), and it builds the address the settings come from.
//
// Safe to use from any thread.
class ORRSettings
{
public:
    static inline const QString Platform = QStringLiteral("mac");

    ORRSettings(QString settingsPath, const Bundle &bundle = Bundle::mainBundle());
    ORRSettings(const ORRSettings &) = delete;
    ORRSettings &operator=(const ORRSettings &) = delete;

    const QString &settingsPath() const { return m_settingsPath; }

    // The file's JSON object; nothing when there is no file. A file that
    // holds no JSON object is logged and deleted, and reads as nothing.
    std::optional<QVariantMap> settingsDictionary() const;
    // Forgets what was read, so that the next use reads the file again.
    void clearSettingsDictionary();

    // "app"; empty when absent.
    QVariantMap appSettings() const;
    // "app" / "status"; a null string when absent.
    QString appStatus() const;
    // The service does not know the application yet ("status" is "new").
    bool appNeedsOnboarding() const;
    // The service asks for fresh application details ("update_required").
    bool appUpdateRequired() const;

    QString appBundleIdentifier() const;
    QString appPlatform() const { return Platform; }
    QString appBuildVersion() const;
    QString appDisplayVersion() const;
    // 1, 3 or 4: where the application was installed from.
    int appSource() const;

    // base + "/spi/v2/platforms/mac/apps/<bundle identifier>/settings" with
    // the query "build_version", "display_version", "instance" and
    // "source"; a null value leaves its parameter out. Nothing when the
    // result is no URL.
    std::optional<QUrl> settingsURLForEndpoint(const QString &base,
                                               const QString &appInstanceIdentifier) const;

private:
    std::optional<QVariantMap> load() const;

    const QString m_settingsPath;
    const Bundle &m_bundle;
    mutable std::mutex m_mutex;
    mutable std::optional<std::optional<QVariantMap>> m_settingsDictionary;
};
