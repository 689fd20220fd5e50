#pragma once

#include "InformationPanel.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <memory>

class Bundle;
class QAbstractButton;
class QTextBrowser;
class QWidget;
namespace Ui {
class QMAboutWindow;
}

// Runs the About window: the application's name, version line, copyright
// and credits from the bundle, and buttons for the product's web site and
// its legal page. The window is loaded from its layout on first use.
class QMAboutWindowController : public QObject
{
    Q_OBJECT
public:
    static QString nibName() { return QStringLiteral("QMAboutWindow"); }

    explicit QMAboutWindowController(QObject *parent = nullptr);
    // Reads the texts from `bundle`, which must outlive the controller.
    explicit QMAboutWindowController(const Bundle &bundle, QObject *parent = nullptr);
    ~QMAboutWindowController() override;

    // The window, loading it first if need be.
    QWidget *window();
    bool isWindowLoaded() const { return m_window != nullptr; }
    // The layout's objects, once the window has loaded.
    Ui::QMAboutWindow *ui() const { return m_ui.get(); }

    // Texts already set when the window loads are kept; the others are
    // read from the bundle then.
    QString appName() const { return m_appName; }
    void setAppName(const QString &name) { m_appName = name; }
    QString appVersion() const { return m_appVersion; }
    void setAppVersion(const QString &version) { m_appVersion = version; }
    QString appCopyright() const { return m_appCopyright; }
    void setAppCopyright(const QString &copyright) { m_appCopyright = copyright; }
    // Rich text (HTML).
    QString appCredits() const { return m_appCredits; }
    void setAppCredits(const QString &credits) { m_appCredits = credits; }
    QUrl appWebsiteURL() const { return m_appWebsiteURL; }
    void setAppWebsiteURL(const QUrl &url) { m_appWebsiteURL = url; }
    QUrl legalStuffURL() const { return m_legalStuffURL; }
    void setLegalStuffURL(const QUrl &url) { m_legalStuffURL = url; }

    QWidget *placeHolderView() const;
    QWidget *infoView() const;
    QTextBrowser *creditsTextView() const;
    QAbstractButton *visitWebsiteButton() const;
    QWidget *activeView() const { return m_panel ? m_panel->activeView() : nullptr; }

public slots:
    // Shows the window centred and in front, with the information view,
    // owned by the window of the sender (a widget), else by the active
    // window, so that it stays in front of it. Escape closes it.
    void showWindow(QObject *sender = nullptr);
    void visitWebsite(QObject *sender = nullptr);
    void visitLegalStuff(QObject *sender = nullptr);
    void showView(QWidget *view);

protected:
    // Fills the texts in once the layout has loaded.
    virtual void windowDidLoad();

private:
    void loadWindow();

    const Bundle &m_bundle;
    std::unique_ptr<QWidget> m_window;
    std::unique_ptr<Ui::QMAboutWindow> m_ui;
    std::unique_ptr<InformationPanel> m_panel;
    QString m_appName;
    QString m_appVersion;
    QString m_appCopyright;
    QString m_appCredits;
    QUrl m_appWebsiteURL;
    QUrl m_legalStuffURL;
};
