#pragma once

#include <QString>
#include <QVariantMap>

#include <optional>

class QCoreApplication;

// The host application as its information dictionary (Info.plist) describes
// it: identifier, versions and whether it is an extension of another
// application.
class TLYApplication
{
public:
    explicit TLYApplication(QVariantMap infoPlistDict);
    // The main bundle's application.
    static TLYApplication hostApplication();

    const QVariantMap &infoPlistDict() const { return m_infoPlistDict; }
    QString bundleIdentifier() const;
    QString bundleVersion() const;
    QString shortVersionString() const;

    // The "NSExtension" dictionary; a malformed entry is logged.
    std::optional<QVariantMap> extensionDefinitionDictionary() const;
    // Null without one; a malformed entry is logged.
    QString extensionPointIdentifier() const;
    bool isExtension() const;
    // The running application object, or none for an extension.
    QCoreApplication *appSharedInstance() const;

private:
    QVariantMap m_infoPlistDict;
};
