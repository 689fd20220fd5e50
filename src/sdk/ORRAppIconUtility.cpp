#include "ORRAppIconUtility.h"

#include "foundation/MainThread.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>

#include <algorithm>

ORRAppIconUtility::ORRAppIconUtility(const Bundle &bundle)
    : m_bundle(bundle)
{}

std::shared_ptr<const ORRIcon> ORRAppIconUtility::applicationIcon()
{
    std::call_once(m_iconOnce, [this] { m_applicationIcon = fetchApplicationIcon(); });
    return m_applicationIcon;
}

QVariantMap ORRAppIconUtility::appInfoDictionary() const
{
    return m_bundle.infoDictionary().value_or(QVariantMap());
}

QImage ORRAppIconUtility::mainAppIcon()
{
    // Only a graphical application has an icon; the SDK links no widgets.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return {};
    // Pixmaps exist only on the main thread.
    QImage image;
    runOnMainThreadAndWait([&image] {
        const QIcon icon = QGuiApplication::windowIcon();
        const QList<QSize> sizes = icon.availableSizes();
        if (icon.isNull() || sizes.isEmpty())
            return;
        const QSize largest = *std::max_element(sizes.begin(), sizes.end(), [](QSize a, QSize b) {
            return a.width() * a.height() < b.width() * b.height();
        });
        image = icon.pixmap(largest).toImage();
    });
    return image;
}

std::shared_ptr<const ORRIcon> ORRAppIconUtility::fetchApplicationIcon()
{
    return ORRIcon::initWithImage(mainAppIcon());
}
