#include "SharingService.h"

#include "viewer/UrlOpener.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

namespace {

// A mailto: address with no recipient; the mail program asks for one.
QUrl composeAddress(const QString &body)
{
    // Line breaks in a mailto: body are CR LF.
    QString text = body;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    QUrl url(QStringLiteral("mailto:"));
    url.setQuery(QStringLiteral("body=") + QString::fromLatin1(QUrl::toPercentEncoding(text)),
                 QUrl::StrictMode);
    return url;
}

} // namespace

SharingService::SharingService(QString name, QString title)
    : m_name(std::move(name))
    , m_title(std::move(title))
{}

std::unique_ptr<SharingService> SharingService::sharingServiceNamed(const QString &name)
{
    if (name == NameComposeEmail)
        return std::unique_ptr<SharingService>(
            new SharingService(name, QGuiApplication::translate("SharingService", "Email")));
    if (name == NameCopyToClipboard)
        return std::unique_ptr<SharingService>(
            new SharingService(name, QGuiApplication::translate("SharingService", "Copy")));
    return nullptr;
}

bool SharingService::performWithItem(const Item &item) const
{
    if (m_name == NameComposeEmail)
        return UrlOpener::sharedOpener()->openURL(composeAddress(item.plainText));

    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    auto *data = new QMimeData;
    data->setText(item.plainText);
    if (!item.html.isEmpty())
        data->setHtml(item.html);
    clipboard->setMimeData(data);
    return true;
}
