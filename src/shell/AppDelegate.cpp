#include "AppDelegate.h"

#include "DocumentExporter.h"
#include "DrawingDropHandler.h"
#include "ExportPrompts.h"
#include "MessageBoxAlertRunner.h"
#include "QMAboutWindowController.h"
#include "QMLinkTable.h"
#include "RichTextResource.h"
#include "SharingService.h"
#include "SharingServicePicker.h"
#include "ViewLayer.h"
#include "analytics/Tally.h"
#include "analytics/TallyKit.h"
#include "controls/CenterWindow.h"
#include "controls/HUDButtonCell.h"
#include "controls/HUDWindow.h"
#include "foundation/Bundle.h"
#include "foundation/Log.h"
#include "foundation/NamedException.h"
#include "foundation/UserDefaults.h"
#include "sdk/Orrery.h"
#include "ui_MainMenu.h"
#include "viewer/Document.h"
#include "viewer/DocumentController.h"
#include "viewer/UrlOpener.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QMainWindow>
#include <QMenuBar>
#include <QShortcut>
#include <QTextBrowser>
#include <QTimer>

namespace {

// The dynamic property by which the layout names the command a menu item
// or button sends.
const char *const SelectorProperty = "selector";

// The sample drawings among the resources, with the command that opens each
// and the title its menu item, button and window show.
struct SampleDrawing
{
    QString selector;
    QString resource;
    QString title;
};

const QList<SampleDrawing> &sampleDrawings()
{
    static const QList<SampleDrawing> samples = {
        {QStringLiteral("load1009"), QStringLiteral("Images/1009"),
         QObject::tr("Pressure Tool Icon")},
        {QStringLiteral("load1029"), QStringLiteral("Images/1029"), QObject::tr("Table Tool Icon")},
        {QStringLiteral("load218413"), QStringLiteral("Images/218413"), QObject::tr("Shapes")},
        {QStringLiteral("loadheart"), QStringLiteral("Images/heart"), QObject::tr("Heart Model")},
    };
    return samples;
}

QString sampleTitle(const QString &resource)
{
    for (const SampleDrawing &sample : sampleDrawings())
        if (sample.resource == resource)
            return sample.title;
    return {};
}

std::unique_ptr<QMainWindow> loadLayout(Ui::MainMenu &ui)
{
    auto window = std::make_unique<QMainWindow>();
    ui.setupUi(window.get());
    return window;
}

QIcon applicationIcon(const Bundle &bundle)
{
    const QString path = bundle.pathForResource(QStringLiteral("quillmoor"), QStringLiteral("svg"));
    return QIcon::fromTheme(QStringLiteral("quillmoor"), QIcon(path));
}

} // namespace

void AppDelegate::initialize()
{
    const std::shared_ptr<UserDefaults> defaults = UserDefaults::standardUserDefaults();
    defaults->registerDefaultsFromFile(
        Bundle::mainBundle().pathForResource(QStringLiteral("Defaults"), QStringLiteral("plist")));
    defaults->registerDefaults({{ShouldRunFirstKey, true}});
}

AppDelegate::AppDelegate(QObject *parent)
    : AppDelegate(Bundle::mainBundle(), parent)
{}

AppDelegate::AppDelegate(const Bundle &bundle, QObject *parent)
    : QuillmoorApplication(parent)
    , m_bundle(bundle)
    , m_ui(std::make_unique<Ui::MainMenu>())
    , m_window(loadLayout(*m_ui))
    , m_whitePanel(m_ui->placeHolderView, InformationPanel::White, InformationPanel::Grey)
    , m_blackPanel(m_ui->blackplaceHolderView, InformationPanel::Dark, InformationPanel::Black)
    , m_blackNoCornerPanel(m_ui->blackplaceHolderViewNoCorner, InformationPanel::Dark,
                           InformationPanel::Black)
    , m_whiteNoCornerPanel(m_ui->whiteplaceHolderViewNoCorner, InformationPanel::White,
                           InformationPanel::Grey)
    , m_alerts(std::make_shared<MessageBoxAlertRunner>())
    , m_exportPrompts(std::make_shared<DialogExportPrompts>())
    , m_analyticsStarter(&AppDelegate::startAnalyticsKit)
    , m_usageReporting({[this] {
        if (m_analyticsStarter)
            m_analyticsStarter();
    }})
{
    initialize();
    awakeFromNib();
}

AppDelegate::~AppDelegate()
{
    // Documents go first: their windows may still be using the menus of
    // the main window.
    documentController().closeAllDocuments();
}

void AppDelegate::awakeFromNib()
{
    // Every window of the application, documents included, shows the icon.
    QApplication::setWindowIcon(applicationIcon(m_bundle));
    m_ui->appIcon->setPixmap(applicationIcon(m_bundle).pixmap(80, 80));
    m_window->installEventFilter(this);
    // The information views wait outside the layout until they are shown.
    for (QWidget *view : {m_ui->infoView, m_ui->blackinfoView, m_ui->blackinfoViewNoCorner,
                          m_ui->whiteinfoViewNoCorner})
        view->hide();

    // Return presses the main button of each window.
    m_ui->openButton->setKeyEquivalent(QStringLiteral("\r"));
    m_ui->closeTourButton->setKeyEquivalent(QStringLiteral("\r"));
    m_ui->tourWindow->setContentView(m_ui->tourWindowContent);
    new QShortcut(QKeySequence::Cancel, m_ui->tourWindow, m_ui->tourWindow, &QWidget::close);
    connect(m_ui->closeTourButton, &QAbstractButton::clicked, m_ui->tourWindow, &QWidget::close);
    // The check box is bound to the setting: checked means "do not show".
    connect(m_ui->dontButton, &QAbstractButton::toggled, this, [](bool checked) {
        const std::shared_ptr<UserDefaults> defaults = UserDefaults::standardUserDefaults();
        defaults->setBool(!checked, ShouldRunFirstKey);
        defaults->synchronize();
    });
    // The same choice in two places: the tour and the Help menu.
    connect(m_ui->usageStatisticsBox, &QAbstractButton::toggled, this,
            &AppDelegate::setSendsUsageStatistics);
    connect(m_ui->actionSendUsageStatistics, &QAction::toggled, this,
            &AppDelegate::setSendsUsageStatistics);
    showUsageStatisticsChoice();

    // Each sample is offered by its title; the menu underlines its first
    // letter.
    for (const SampleDrawing &sample : sampleDrawings()) {
        for (QAction *action : m_window->findChildren<QAction *>())
            if (action->property(SelectorProperty).toString() == sample.selector)
                action->setText(QLatin1Char('&') + sample.title);
        for (QAbstractButton *button : m_window->findChildren<QAbstractButton *>())
            if (button->property(SelectorProperty).toString() == sample.selector)
                button->setText(sample.title);
    }

    connectCommands(m_window.get());
    connect(m_ui->openButton, &QAbstractButton::clicked, this, [this] { openInteractively(); });
    connect(m_ui->actionOpen, &QAction::triggered, this, [this] { openInteractively(); });
    connect(m_ui->actionQuit, &QAction::triggered, qApp, &QCoreApplication::quit,
            Qt::QueuedConnection);
    connect(m_ui->actionCloseWindow, &QAction::triggered, this, [] {
        if (QWidget *active = QApplication::activeWindow())
            active->close();
    });
    connect(m_ui->textVersion, &QTextBrowser::anchorClicked, this,
            [](const QUrl &url) { UrlOpener::sharedOpener()->openURL(url); });

    m_dropHandler = std::make_unique<DrawingDropHandler>(
        [this](const QStringList &paths) { openDrawings(paths); });

    m_recentMenu = makeRecentMenu(m_window.get());
    m_ui->menuFile->insertMenu(m_ui->menuOpenSample->menuAction(), m_recentMenu);
}

QMenu *AppDelegate::makeRecentMenu(QWidget *parent)
{
    auto *menu = new QMenu(tr("Open &Recent"), parent);
    menu->setToolTipsVisible(true);
    // Read afresh each time: another program may have changed the list.
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { fillRecentMenu(menu); });
    fillRecentMenu(menu);
    return menu;
}

void AppDelegate::fillRecentMenu(QMenu *menu)
{
    menu->clear();
    const QStringList drawings = m_recentDrawings.drawings();
    for (qsizetype i = 0; i < drawings.size(); ++i) {
        const QString path = drawings[i];
        const QString name = QFileInfo(path).fileName();
        QAction *action =
            menu->addAction(i < 9 ? QStringLiteral("&%1 %2").arg(i + 1).arg(name) : name);
        action->setToolTip(path);
        connect(action, &QAction::triggered, this, [this, path] { openDrawings({path}); });
    }
    if (!drawings.isEmpty())
        menu->addSeparator();
    QAction *clear = menu->addAction(tr("&Clear Menu"));
    clear->setEnabled(!drawings.isEmpty());
    connect(clear, &QAction::triggered, this, [this] { m_recentDrawings.clear(); });
}

bool AppDelegate::isSample(const QString &path) const
{
    const QString resources = QFileInfo(m_bundle.resourcePath()).absoluteFilePath();
    return !resources.isEmpty() && QFileInfo(path).absoluteFilePath().startsWith(resources + '/');
}

void AppDelegate::connectCommands(QObject *source)
{
    const QList<QAction *> actions = source->findChildren<QAction *>();
    for (QAction *action : actions) {
        const QString selector = action->property(SelectorProperty).toString();
        if (!selector.isEmpty())
            connect(action, &QAction::triggered, this,
                    [this, selector, action] { performCommand(selector, action); });
    }
    const QList<QAbstractButton *> buttons = source->findChildren<QAbstractButton *>();
    for (QAbstractButton *button : buttons) {
        const QString selector = button->property(SelectorProperty).toString();
        if (!selector.isEmpty())
            connect(button, &QAbstractButton::clicked, this,
                    [this, selector, button] { performCommand(selector, button); });
    }
}

void AppDelegate::performCommand(const QString &selector, QObject *sender)
{
    const QByteArray name = selector.toLatin1();
    if (!QMetaObject::invokeMethod(this, name.constData(), Qt::DirectConnection,
                                   Q_ARG(QObject *, sender)))
        systemLog(QStringLiteral("No command named %1").arg(selector));
}

void AppDelegate::setAlertRunner(std::shared_ptr<AlertRunner> runner)
{
    m_alerts = std::move(runner);
}

void AppDelegate::setExportPrompts(std::shared_ptr<ExportPrompts> prompts)
{
    m_exportPrompts = std::move(prompts);
}

void AppDelegate::setAnalyticsStarter(std::function<void()> starter)
{
    m_analyticsStarter = std::move(starter);
}

void AppDelegate::startAnalyticsKit()
{
    TallyKit::registerKit();
    try {
        Orrery::with({TallyKit::kitClass()});
    } catch (const NamedException &exception) {
        // A misconfigured analytics set-up must not keep anyone from their
        // drawings; the fault is left in the log for the developer.
        systemLog(QString::fromUtf8(exception.what()));
    }
}

void AppDelegate::applicationDidFinishLaunching(const QStringList &drawings)
{
    const bool showTour = UserDefaults::standardUserDefaults()->boolForKey(ShouldRunFirstKey);
    if (showTour)
        presentTourWindow();
    centerWindow(m_window.get());
    m_window->show();
    // The tour belongs to the main window and stays in front of it, with
    // the keyboard.
    QWidget *front = showTour ? static_cast<QWidget *>(m_ui->tourWindow) : m_window.get();
    front->raise();
    front->activateWindow();

    showView(m_ui->infoView);
    showblackView(m_ui->blackinfoView);
    showblackNoCornerView(m_ui->blackinfoViewNoCorner);
    showwhiteNoCornerView(m_ui->whiteinfoViewNoCorner);
    ViewLayer::backingLayer(m_ui->infoView)->setCornerRadius(10.0);
    ViewLayer::backingLayer(m_ui->blackinfoView)->setCornerRadius(10.0);

    if (m_appVersion.isNull()) {
        const QString build =
            m_bundle.objectForInfoDictionaryKey(QStringLiteral("CFBundleVersion")).toString();
        const QString shortVersion =
            m_bundle.objectForInfoDictionaryKey(QStringLiteral("CFBundleShortVersionString"))
                .toString();
        m_appVersion = tr("Version %1 (Build %2)").arg(shortVersion, build);
    }
    m_ui->versionField->setText(m_appVersion);

    m_emailSharingService = SharingService::sharingServiceNamed(SharingService::NameComposeEmail);

    if (m_appCredits.isNull())
        m_appCredits = richTextResource(m_bundle, QStringLiteral("Share"));
    m_ui->textVersion->setHtml(m_appCredits);

    // Sends its command as soon as the mouse goes down, like a pop-up.
    disconnect(m_ui->chooseFromTextFieldButton, &QAbstractButton::clicked, this, nullptr);
    connect(m_ui->chooseFromTextFieldButton, &QAbstractButton::pressed, this,
            [this] { shareUsingEmail(m_ui->chooseFromTextFieldButton); });

    m_ui->textVersion->setReadOnly(true);

    m_usageReporting.launch();

    openDrawings(drawings);
}

void AppDelegate::openDrawings(const QStringList &paths)
{
    for (const QString &path : paths)
        documentController().openDocument(path);
}

void AppDelegate::openHandedOverDrawings(const QStringList &paths)
{
    if (!paths.isEmpty()) {
        systemLog(QStringLiteral("Opening drawings from another launch: %1")
                      .arg(paths.join(QStringLiteral(", "))));
        openDrawings(paths);
        return;
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void AppDelegate::openInteractively()
{
    QWidget *parent = QApplication::activeWindow();
    documentController().openDocumentsInteractively(parent ? parent : m_window.get());
}

void AppDelegate::documentOpened(Document *document)
{
    QuillmoorApplication::documentOpened(document);
    // A drawing the user chose, once it opened, joins the recent files.
    const QString path = document->fileURL().toLocalFile();
    if (!isSample(path))
        connect(document, &Document::conversionEnded, this, [this, path](bool ok) {
            if (ok)
                m_recentDrawings.add(path);
        });
    QMainWindow *documentWindow = document->windowForSheet();
    if (!documentWindow)
        return;
    documentWindow->setAcceptDrops(true);
    // Document windows carry the application's commands too.
    QMenuBar *menuBar = documentWindow->menuBar();
    const QList<QAction *> documentMenus = menuBar->actions();
    if (!documentMenus.isEmpty()) {
        if (QMenu *fileMenu = documentMenus.first()->menu()) {
            const QList<QAction *> fileItems = fileMenu->actions();
            QAction *before = fileItems.size() > 1 ? fileItems.at(1) : nullptr;
            fileMenu->insertMenu(before, makeRecentMenu(documentWindow));
            fileMenu->insertAction(before, m_ui->menuOpenSample->menuAction());
            // Its own Share item, so that the menu opens in this window.
            auto *share = new QAction(m_ui->actionShare->text(), documentWindow);
            connect(share, &QAction::triggered, this,
                    [this, documentWindow] { shareUsingEmail(documentWindow); });
            fileMenu->insertAction(before, share);
            auto *exporter = new DocumentExporter(*document, m_exportPrompts);
            fileMenu->insertSeparator(before);
            fileMenu->insertAction(before, exporter->exportAction());
            fileMenu->insertAction(before, exporter->printAction());
            fileMenu->insertSeparator(before);
        }
    }
    auto *helpMenu = new QMenu(m_ui->menuHelp->title(), documentWindow);
    helpMenu->addActions(m_ui->menuHelp->actions());
    menuBar->addMenu(helpMenu);
}

void AppDelegate::lastDocumentClosed()
{
    // With the main window gone as well, nothing is left to show.
    if (!m_window->isVisible())
        QCoreApplication::quit();
}

bool AppDelegate::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window.get() && event->type() == QEvent::Close &&
        documentController().documents().isEmpty())
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    return QuillmoorApplication::eventFilter(watched, event);
}

HUDWindow *AppDelegate::tourWindow() const
{
    return m_ui->tourWindow;
}

HUDButtonCell *AppDelegate::dontButton() const
{
    return m_ui->dontButton;
}

QTextBrowser *AppDelegate::textVersion() const
{
    return m_ui->textVersion;
}

QAbstractButton *AppDelegate::chooseServiceButton() const
{
    return m_ui->chooseServiceButton;
}

QAbstractButton *AppDelegate::chooseFromTextFieldButton() const
{
    return m_ui->chooseFromTextFieldButton;
}

QWidget *AppDelegate::infoView() const
{
    return m_ui->infoView;
}

QWidget *AppDelegate::blackinfoView() const
{
    return m_ui->blackinfoView;
}

QWidget *AppDelegate::blackinfoViewNoCorner() const
{
    return m_ui->blackinfoViewNoCorner;
}

QWidget *AppDelegate::whiteinfoViewNoCorner() const
{
    return m_ui->whiteinfoViewNoCorner;
}

QMAboutWindowController *AppDelegate::aboutWindowController()
{
    if (!m_aboutWindowController)
        m_aboutWindowController = std::make_unique<QMAboutWindowController>(m_bundle);
    return m_aboutWindowController.get();
}

void AppDelegate::presentTourWindow()
{
    {
        const QSignalBlocker quiet(m_ui->dontButton);
        m_ui->dontButton->setChecked(
            !UserDefaults::standardUserDefaults()->boolForKey(ShouldRunFirstKey));
    }
    showUsageStatisticsChoice();
    HUDWindow *tour = m_ui->tourWindow;
    centerWindow(tour);
    tour->show();
    tour->raise();
    tour->activateWindow();
}

void AppDelegate::showTourWindow(QObject *)
{
    presentTourWindow();
    Tally::logCustomEventWithName(QStringLiteral("Open Introduction"), {});
}

void AppDelegate::showAboutWindow(QObject *sender)
{
    Tally::logCustomEventWithName(QStringLiteral("Open About Window"), {});
    QMAboutWindowController *controller = aboutWindowController();
    controller->setAppWebsiteURL(QMLinkTable::websiteURL());
    controller->setLegalStuffURL(QMLinkTable::legalURL());
    controller->showWindow(sender);
}

void AppDelegate::shareUsingEmail(QObject *sender)
{
    QTextBrowser *text = m_ui->textVersion;
    m_sharingServicePicker = std::make_unique<SharingServicePicker>(
        SharingService::Item{text->toPlainText(), text->toHtml()});
    // Chosen in another window (a document's): the menu opens there, below
    // that window's File menu, where the command was.
    auto *origin = qobject_cast<QWidget *>(sender);
    auto *window = origin ? qobject_cast<QMainWindow *>(origin->window()) : nullptr;
    if (window && window != m_window.get() && !window->menuBar()->actions().isEmpty()) {
        QMenuBar *bar = window->menuBar();
        m_sharingServicePicker->showRelativeToRect(bar->actionGeometry(bar->actions().first()), bar,
                                                   SharingServicePicker::Edge::MinY);
        return;
    }
    QAbstractButton *anchor = m_ui->chooseServiceButton;
    m_sharingServicePicker->showRelativeToRect(anchor->rect(), anchor,
                                               SharingServicePicker::Edge::MaxY);
}

void AppDelegate::loadSample(const QString &name)
{
    const QString path = m_bundle.pathForResource(name, QStringLiteral("cdr"));
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        m_alerts->runModal(tr("Error"), tr("File does not exist!"));
        return;
    }
    // A sample is always converted afresh, even when it is open already.
    const QString absolutePath = QFileInfo(path).absoluteFilePath();
    if (Document *open = documentController().documentForURL(QUrl::fromLocalFile(absolutePath)))
        open->close();
    Document *document = documentController().openDocument(absolutePath);
    if (document)
        document->setDisplayName(sampleTitle(name));
    systemLog(document ? QStringLiteral("(null)") : QStringLiteral("Could not open %1").arg(path));
}

void AppDelegate::load1009(QObject *)
{
    loadSample(QStringLiteral("Images/1009"));
}

void AppDelegate::load1029(QObject *)
{
    loadSample(QStringLiteral("Images/1029"));
}

void AppDelegate::load218413(QObject *)
{
    loadSample(QStringLiteral("Images/218413"));
}

void AppDelegate::loadheart(QObject *)
{
    loadSample(QStringLiteral("Images/heart"));
}

void AppDelegate::openLink(const QString &action)
{
    const std::optional<QMLinkTable::Link> link = QMLinkTable::linkForAction(action);
    if (!link)
        return;
    Tally::logCustomEventWithName(link->eventName, {});
    UrlOpener::sharedOpener()->openURL(link->url);
}

void AppDelegate::gotoWebsiteQuillmoor(QObject *)
{
    openLink(QStringLiteral("gotoWebsiteQuillmoor"));
}

void AppDelegate::gotoQuillmooriOS(QObject *)
{
    openLink(QStringLiteral("gotoQuillmooriOS"));
}

void AppDelegate::buyProVersion(QObject *)
{
    openLink(QStringLiteral("buyProVersion"));
}

void AppDelegate::visitFeedback(QObject *)
{
    openLink(QStringLiteral("visitFeedback"));
}

void AppDelegate::visitCDRResources(QObject *)
{
    openLink(QStringLiteral("visitCDRResources"));
}

void AppDelegate::visitQuillmoor2(QObject *)
{
    openLink(QStringLiteral("visitQuillmoor2"));
}

void AppDelegate::visitQuillmoor3(QObject *)
{
    openLink(QStringLiteral("visitQuillmoor3"));
}

void AppDelegate::visitHowToOpenCorel(QObject *)
{
    openLink(QStringLiteral("visitHowToOpenCorel"));
}

void AppDelegate::goTwitter(QObject *)
{
    openLink(QStringLiteral("goTwitter"));
}

void AppDelegate::goFacebook(QObject *)
{
    openLink(QStringLiteral("goFacebook"));
}

void AppDelegate::goFAQ(QObject *)
{
    openLink(QStringLiteral("goFAQ"));
}

void AppDelegate::goEbonmere(QObject *)
{
    openLink(QStringLiteral("goEbonmere"));
}

void AppDelegate::goLayrook(QObject *)
{
    openLink(QStringLiteral("goLayrook"));
}

void AppDelegate::goTallowmere(QObject *)
{
    openLink(QStringLiteral("goTallowmere"));
}

void AppDelegate::setSendsUsageStatistics(bool send)
{
    m_usageReporting.setUserChoice(send);
    showUsageStatisticsChoice();
}

void AppDelegate::showUsageStatisticsChoice()
{
    // With DO_NOT_TRACK set, statistics are off whatever the user chose
    // here, and the controls say so.
    const bool overridden = TLYUsageReporting::overriddenByEnvironment();
    const bool sends = TLYUsageReporting::isAllowed();
    const QString why =
        overridden ? tr("Off because the environment variable DO_NOT_TRACK is set.") : QString();
    QAbstractButton *box = m_ui->usageStatisticsBox;
    QAction *action = m_ui->actionSendUsageStatistics;
    const QSignalBlocker quietBox(box);
    const QSignalBlocker quietAction(action);
    box->setChecked(sends);
    box->setEnabled(!overridden);
    box->setToolTip(why);
    action->setChecked(sends);
    action->setEnabled(!overridden);
    action->setToolTip(why);
}

void AppDelegate::showView(QWidget *view)
{
    m_whitePanel.showView(view);
}

void AppDelegate::showblackView(QWidget *view)
{
    m_blackPanel.showView(view);
}

void AppDelegate::showblackNoCornerView(QWidget *view)
{
    m_blackNoCornerPanel.showView(view);
}

void AppDelegate::showwhiteNoCornerView(QWidget *view)
{
    m_whiteNoCornerPanel.showView(view);
}
