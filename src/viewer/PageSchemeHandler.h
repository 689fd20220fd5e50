#pragma once

#include <QByteArray>
#include <QHash>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

class QWebEngineProfile;

// Serves page documents from memory to the web view, without the size limit
// of data URLs. Pages from here may show local files, which is how drawn
// images reach the screen.
class PageSchemeHandler : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT
public:
    static const QByteArray SchemeName;
    static const QByteArray PageMimeType;

    // Must run before the application object exists.
    static void registerScheme();

    explicit PageSchemeHandler(QObject *parent = nullptr);
    ~PageSchemeHandler() override;

    // Serves on the profile (the default one when none is given).
    void install(QWebEngineProfile *profile = nullptr);

    // Makes data available under a new address until it is withdrawn.
    QUrl publish(const QByteArray &data);
    void withdraw(const QUrl &url);
    int publishedCount() const { return int(m_pages.size()); }

    void requestStarted(QWebEngineUrlRequestJob *job) override;

private:
    QHash<QString, QByteArray> m_pages;
    QWebEngineProfile *m_profile = nullptr;
};
