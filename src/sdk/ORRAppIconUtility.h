#pragma once

#include "ORRIcon.h"
#include "foundation/Bundle.h"

#include <QImage>
#include <QVariantMap>

#include <memory>
#include <mutex>

// Finds the running application's icon for the service.
class ORRAppIconUtility
{
public:
    explicit ORRAppIconUtility(const Bundle &bundle = Bundle::mainBundle());

    // Made on first use and kept; null when the application has no icon.
    std::shared_ptr<const ORRIcon> applicationIcon();
    QVariantMap appInfoDictionary() const;

    // The window icon of a graphical application, at its largest size; a
    // null image in a program without windows.
    static QImage mainAppIcon();
    static std::shared_ptr<const ORRIcon> fetchApplicationIcon();

private:
    const Bundle &m_bundle;
    std::once_flag m_iconOnce;
    std::shared_ptr<const ORRIcon> m_applicationIcon;
};
