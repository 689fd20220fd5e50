#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <mutex>
#include <optional>

// The application's resources: a directory holding the resource files and
// the information dictionary "Info.plist". The main bundle is the installed
// data directory beside the executable or, when run from a build, the
// source tree's resources/.
class Bundle
{
public:
    static const Bundle &mainBundle();

    explicit Bundle(QString resourcePath);
    Bundle(const Bundle &) = delete;
    Bundle &operator=(const Bundle &) = delete;

    const QString &resourcePath() const { return m_resourcePath; }
    // The file "name.type" among the resources, or a null string when there
    // is none. An empty type looks for name as given.
    QString pathForResource(const QString &name, const QString &type) const;
    // Where a receipt of the store the application came from would lie.
    QString appStoreReceiptURL() const;

    // Info.plist as a dictionary, read once; nothing when the file is
    // missing or holds no dictionary.
    std::optional<QVariantMap> infoDictionary() const;
    // An invalid value when the key (or the dictionary) is absent.
    QVariant objectForInfoDictionaryKey(const QString &key) const;
    QString bundleIdentifier() const;

private:
    static QString locateMainResources();

    QString m_resourcePath;
    mutable std::once_flag m_infoOnce;
    mutable std::optional<QVariantMap> m_info;
};
