#include "QMAboutWindowController.h"

#include "RichTextResource.h"
#include "analytics/Tally.h"
#include "controls/CenterWindow.h"
#include "controls/HUDButtonCell.h"
#include "foundation/Bundle.h"
#include "foundation/Log.h"
#include "ui_QMAboutWindow.h"
#include "viewer/UrlOpener.h"

#include <QAbstractButton>
#include <QApplication>
#include <QIcon>
#include <QShortcut>
#include <QTextBrowser>
#include <QWindow>

QMAboutWindowController::QMAboutWindowController(QObject *parent)
    : QMAboutWindowController(Bundle::mainBundle(), parent)
{}

QMAboutWindowController::QMAboutWindowController(const Bundle &bundle, QObject *parent)
    : QObject(parent)
    , m_bundle(bundle)
{}

QMAboutWindowController::~QMAboutWindowController() = default;

QWidget *QMAboutWindowController::window()
{
    if (!m_window)
        loadWindow();
    return m_window.get();
}

void QMAboutWindowController::loadWindow()
{
    m_window = std::make_unique<QWidget>();
    m_ui = std::make_unique<Ui::QMAboutWindow>();
    m_ui->setupUi(m_window.get());
    m_window->setObjectName(nibName());
    m_panel = std::make_unique<InformationPanel>(m_ui->placeHolderView, InformationPanel::White,
                                                 InformationPanel::Grey);
    m_ui->visitWebsiteButton->setKeyEquivalent(QStringLiteral("\r"));
    new QShortcut(QKeySequence::Cancel, m_window.get(), m_window.get(), &QWidget::close);
    // The information view waits outside the layout until it is shown.
    m_ui->infoView->hide();
    connect(m_ui->visitWebsiteButton, &QAbstractButton::clicked, this,
            [this] { visitWebsite(m_ui->visitWebsiteButton); });
    connect(m_ui->creditsTextView, &QTextBrowser::anchorClicked, this,
            [](const QUrl &url) { UrlOpener::sharedOpener()->openURL(url); });
    connect(m_ui->visitLegalStuffButton, &QAbstractButton::clicked, this,
            [this] { visitLegalStuff(m_ui->visitLegalStuffButton); });
    windowDidLoad();
}

void QMAboutWindowController::windowDidLoad()
{
    if (m_appName.isNull())
        m_appName = m_bundle.objectForInfoDictionaryKey(QStringLiteral("CFBundleName")).toString();
    if (m_appVersion.isNull()) {
        const QString shortVersion =
            m_bundle.objectForInfoDictionaryKey(QStringLiteral("CFBundleShortVersionString"))
                .toString();
        const QString build =
            m_bundle.objectForInfoDictionaryKey(QStringLiteral("CFBundleVersion")).toString();
        m_appVersion = tr("Version %1 (Build %2)").arg(shortVersion, build);
    }
    if (m_appCopyright.isNull())
        m_appCopyright =
            m_bundle.objectForInfoDictionaryKey(QStringLiteral("NSHumanReadableCopyright"))
                .toString();
    m_ui->visitWebsiteButton->setText(tr("Visit the %1 Website").arg(m_appName));
    if (m_appCredits.isNull())
        m_appCredits = richTextResource(m_bundle, QStringLiteral("Credits"));
    m_ui->creditsTextView->setReadOnly(true);

    m_ui->appNameField->setText(m_appName);
    m_ui->appVersionField->setText(m_appVersion);
    m_ui->appCopyrightField->setText(m_appCopyright);
    m_ui->creditsTextView->setHtml(m_appCredits);
    m_window->setWindowTitle(tr("About %1").arg(m_appName));
    const QString iconPath =
        m_bundle.pathForResource(QStringLiteral("quillmoor"), QStringLiteral("svg"));
    const QIcon icon = QIcon::fromTheme(QStringLiteral("quillmoor"), QIcon(iconPath));
    m_ui->appIcon->setPixmap(icon.pixmap(112, 112));
}

QWidget *QMAboutWindowController::placeHolderView() const
{
    return m_ui ? m_ui->placeHolderView : nullptr;
}

QWidget *QMAboutWindowController::infoView() const
{
    return m_ui ? m_ui->infoView : nullptr;
}

QTextBrowser *QMAboutWindowController::creditsTextView() const
{
    return m_ui ? m_ui->creditsTextView : nullptr;
}

QAbstractButton *QMAboutWindowController::visitWebsiteButton() const
{
    return m_ui ? m_ui->visitWebsiteButton : nullptr;
}

void QMAboutWindowController::showWindow(QObject *sender)
{
    QWidget *aboutWindow = window();
    // The window it was asked for from keeps it in front of itself, even
    // where the window manager would leave a new window behind the active
    // one.
    auto *origin = qobject_cast<QWidget *>(sender);
    QWidget *owner = origin ? origin->window() : QApplication::activeWindow();
    if (owner && owner != aboutWindow) {
        aboutWindow->winId(); // the native window, to be owned
        aboutWindow->windowHandle()->setTransientParent(owner->windowHandle());
    }
    aboutWindow->show();
    aboutWindow->raise();
    aboutWindow->activateWindow();
    centerWindow(aboutWindow);
    showView(m_ui->infoView);
}

void QMAboutWindowController::visitWebsite(QObject *)
{
    Tally::logCustomEventWithName(QStringLiteral("Open Web Page from About Window"), {});
    if (m_appWebsiteURL.isEmpty()) {
        systemLog(
            QStringLiteral("Error: please set the appWebsiteURL property on the about window"));
        return;
    }
    UrlOpener::sharedOpener()->openURL(m_appWebsiteURL);
}

void QMAboutWindowController::visitLegalStuff(QObject *)
{
    Tally::logCustomEventWithName(QStringLiteral("Open Legal Stuff from About Window"), {});
    if (m_legalStuffURL.isEmpty()) {
        systemLog(
            QStringLiteral("Error: please set the legalStuffURL property on the about window"));
        return;
    }
    UrlOpener::sharedOpener()->openURL(m_legalStuffURL);
}

void QMAboutWindowController::showView(QWidget *view)
{
    window();
    m_panel->showView(view);
}
