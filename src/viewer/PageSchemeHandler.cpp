#include "PageSchemeHandler.h"

#include "foundation/Uuid.h"

#include <QBuffer>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

const QByteArray PageSchemeHandler::SchemeName = QByteArrayLiteral("quillmoor-page");
// The pages are XHTML with inline SVG; an XML type keeps the svg: prefixes
// meaningful, where an HTML type would not.
const QByteArray PageSchemeHandler::PageMimeType = QByteArrayLiteral("image/svg+xml");

void PageSchemeHandler::registerScheme()
{
    QWebEngineUrlScheme scheme(SchemeName);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    // Drawn images are temporary files referenced by file URLs.
    scheme.setFlags(QWebEngineUrlScheme::LocalAccessAllowed);
    QWebEngineUrlScheme::registerScheme(scheme);
}

PageSchemeHandler::PageSchemeHandler(QObject *parent)
    : QWebEngineUrlSchemeHandler(parent)
{}

PageSchemeHandler::~PageSchemeHandler()
{
    if (m_profile)
        m_profile->removeUrlSchemeHandler(this);
}

void PageSchemeHandler::install(QWebEngineProfile *profile)
{
    m_profile = profile ? profile : QWebEngineProfile::defaultProfile();
    m_profile->installUrlSchemeHandler(SchemeName, this);
}

QUrl PageSchemeHandler::publish(const QByteArray &data)
{
    const QString name = uuidText();
    m_pages.insert(name, data);
    QUrl url;
    url.setScheme(QString::fromLatin1(SchemeName));
    url.setPath(name);
    return url;
}

void PageSchemeHandler::withdraw(const QUrl &url)
{
    m_pages.remove(url.path());
}

void PageSchemeHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    const auto it = m_pages.constFind(job->requestUrl().path());
    if (it == m_pages.constEnd()) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    auto *buffer = new QBuffer(job);
    buffer->setData(*it); // shares the bytes, no copy
    buffer->open(QIODevice::ReadOnly);
    job->reply(PageMimeType, buffer);
}
