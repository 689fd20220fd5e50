#include "ShellTestSupport.h"

#include "analytics/TLYUsageReporting.h"
#include "analytics/Tally.h"
#include "controls/HUDButtonCell.h"
#include "controls/HUDWindow.h"
#include "foundation/Bundle.h"
#include "foundation/UserDefaults.h"
#include "sdk/Orrery.h"
#include "shell/AppDelegate.h"
#include "shell/QMAboutWindowController.h"
#include "shell/QMLinkTable.h"
#include "shell/ViewLayer.h"
#include "ui_Document.h"
#include "ui_MainMenu.h"
#include "viewer/Document.h"
#include "viewer/DocumentController.h"
#include "viewer/UsageCounter.h"

#include <QAction>
#include <QApplication>
#include <QColor>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QSet>
#include <QTest>
#include <QTextBrowser>
#include <QWebEngineView>
#include <QWindow>

#include <gtest/gtest.h>

#include <tuple>

namespace {

// Where the launch stood when the analytics kit was started.
struct LaunchState
{
    int starts = 0;
    bool tourVisible = false;
    bool mainWindowVisible = false;
    bool panelsShown = false;
    bool textReadOnly = false;
    QString versionLine;
    QString shareText;
};

class AppDelegateTest : public ::testing::Test
{
protected:
    std::unique_ptr<AppDelegate> makeDelegate(const Bundle &bundle = Bundle::mainBundle())
    {
        auto delegate = std::make_unique<AppDelegate>(bundle);
        delegate->setAlertRunner(alerts);
        AppDelegate *raw = delegate.get();
        delegate->setAnalyticsStarter([this, raw] {
            ++launch.starts;
            launch.tourVisible = raw->tourWindow()->isVisible();
            launch.mainWindowVisible = raw->window()->isVisible();
            launch.panelsShown = raw->activeView() && raw->blackactiveView() &&
                                 raw->blackactiveViewNoCorner() && raw->whiteactiveViewNoCorner();
            launch.textReadOnly = raw->textVersion()->isReadOnly();
            launch.versionLine = raw->appVersion();
            launch.shareText = raw->textVersion()->toPlainText();
        });
        return delegate;
    }

    // The user has said yes to usage statistics.
    static void allowUsageStatistics()
    {
        UserDefaults::standardUserDefaults()->setBool(true,
                                                      TLYUsageReporting::SendUsageStatisticsKey);
    }

    static QPoint screenCentre(QWidget *window)
    {
        return window->screen()->availableGeometry().center();
    }

    ShellRecording recording;
    std::shared_ptr<RecordingAlertRunner> alerts = std::make_shared<RecordingAlertRunner>();
    LaunchState launch;
};

bool near(QPoint a, QPoint b)
{
    return (a - b).manhattanLength() <= 4;
}

} // namespace

TEST_F(AppDelegateTest, FirstLaunchShowsTheTourWithUsageStatisticsOff)
{
    auto delegate = makeDelegate();
    delegate->applicationDidFinishLaunching({});
    EXPECT_TRUE(delegate->tourWindow()->isVisible());
    EXPECT_TRUE(delegate->ui()->usageStatisticsBox->isVisible());
    EXPECT_FALSE(delegate->ui()->usageStatisticsBox->isChecked());
    EXPECT_FALSE(delegate->ui()->actionSendUsageStatistics->isChecked());
    EXPECT_EQ(launch.starts, 0);
}

TEST_F(AppDelegateTest, FirstLaunchShowsTheTourAndStartsAnalyticsLast)
{
    allowUsageStatistics();
    auto delegate = makeDelegate();
    delegate->applicationDidFinishLaunching({});

    EXPECT_TRUE(delegate->tourWindow()->isVisible());
    EXPECT_FALSE(delegate->dontButton()->isChecked());
    EXPECT_TRUE(delegate->ui()->usageStatisticsBox->isChecked());
    EXPECT_TRUE(near(delegate->tourWindow()->frameGeometry().center(),
                     screenCentre(delegate->tourWindow())));
    EXPECT_TRUE(delegate->window()->isVisible());
    EXPECT_TRUE(
        near(delegate->window()->frameGeometry().center(), screenCentre(delegate->window())));

    // Everything else was ready when the kit started.
    EXPECT_EQ(launch.starts, 1);
    EXPECT_TRUE(launch.tourVisible);
    EXPECT_TRUE(launch.mainWindowVisible);
    EXPECT_TRUE(launch.panelsShown);
    EXPECT_TRUE(launch.textReadOnly);
    EXPECT_EQ(launch.versionLine, QStringLiteral("Version 1.0.0 (Build 100)"));
    EXPECT_TRUE(launch.shareText.contains(QStringLiteral("Quillmoor")));
    EXPECT_NE(delegate->emailSharingService(), nullptr);
    EXPECT_EQ(delegate->ui()->versionField->text(), launch.versionLine);
    // Showing the tour at launch is not the user asking for it.
    EXPECT_TRUE(recording.journal->entries().isEmpty());
}

TEST_F(AppDelegateTest, TheTourCheckBoxTurnsTheTourOffForLaterLaunches)
{
    {
        auto delegate = makeDelegate();
        delegate->applicationDidFinishLaunching({});
        ASSERT_TRUE(delegate->tourWindow()->isVisible());
        QTest::mouseClick(delegate->dontButton(), Qt::LeftButton);
        EXPECT_TRUE(delegate->dontButton()->isChecked());
    }
    // Read back from the settings file, as the next run would.
    UserDefaults::resetStandardUserDefaults();
    EXPECT_FALSE(UserDefaults::standardUserDefaults()->boolForKey(AppDelegate::ShouldRunFirstKey));

    auto later = makeDelegate();
    later->applicationDidFinishLaunching({});
    EXPECT_FALSE(later->tourWindow()->isVisible());
    EXPECT_TRUE(later->window()->isVisible());

    // Asked for, the tour still comes, with the box checked.
    later->ui()->actionShowTourWindow->trigger();
    EXPECT_TRUE(later->tourWindow()->isVisible());
    EXPECT_TRUE(later->dontButton()->isChecked());
    EXPECT_EQ(recording.journal->entries(),
              QStringList{QStringLiteral("event: Open Introduction")});
}

TEST_F(AppDelegateTest, EachLinkCommandRecordsItsEventOnceBeforeTheAddressOpens)
{
    auto delegate = makeDelegate();
    delegate->applicationDidFinishLaunching({});

    QSet<QString> reached;
    const QList<QAction *> actions = delegate->window()->findChildren<QAction *>();
    for (QAction *action : actions) {
        const QString selector = action->property("selector").toString();
        const std::optional<QMLinkTable::Link> link = QMLinkTable::linkForAction(selector);
        if (!link)
            continue;
        recording.journal->clear();
        action->trigger();
        EXPECT_EQ(recording.journal->entries(),
                  QStringList({QStringLiteral("event: ") + link->eventName,
                               QStringLiteral("open: ") + link->url.toString()}))
            << selector.toStdString();
        EXPECT_EQ(link->url.scheme(), QStringLiteral("https"));
        reached.insert(selector);
    }
    // Every link has its menu item.
    EXPECT_EQ(reached.size(), QMLinkTable::links().size());

    const QStringList expectedEvents = {"Open Quillmoor Web Page",
                                        "Open iOS Appstore Page",
                                        "Open Inkwarden Appstore Page",
                                        "Open Feedback Page",
                                        "Open CDR Resources",
                                        "Open Quillmoor 2 Appstore Page",
                                        "Open Quillmoor 3 Web Page",
                                        "Open How to open Corel Page",
                                        "Open Twitter",
                                        "Open Facebook",
                                        "Open FAQ",
                                        "Open Ebonmere Appstore Page",
                                        "Open Layrook Appstore Page",
                                        "Open Tallowmere Appstore Page"};
    QStringList events;
    for (const QMLinkTable::Link &link : QMLinkTable::links())
        events.append(link.eventName);
    EXPECT_EQ(events, expectedEvents);

    // The buttons of the panels send the same commands.
    recording.journal->clear();
    QTest::mouseClick(delegate->ui()->faqButton, Qt::LeftButton);
    EXPECT_EQ(recording.journal->entries().value(0), QStringLiteral("event: Open FAQ"));
}

TEST_F(AppDelegateTest, AboutCommandRecordsItsEventAndShowsTheWindowWithBothAddresses)
{
    auto delegate = makeDelegate();
    delegate->applicationDidFinishLaunching({});
    delegate->ui()->actionShowAboutWindow->trigger();

    EXPECT_EQ(recording.journal->entries(),
              QStringList{QStringLiteral("event: Open About Window")});
    QMAboutWindowController *about = delegate->aboutWindowController();
    EXPECT_TRUE(about->window()->isVisible());
    EXPECT_EQ(about->appWebsiteURL(), QMLinkTable::websiteURL());
    EXPECT_EQ(about->legalStuffURL(), QMLinkTable::legalURL());
    EXPECT_EQ(delegate->aboutWindowController(), about); // made once
}

// The window the window system shows at a point of the screen, whatever Qt
// thinks of the stacking.
QWidget *windowOnTopAt(QPoint globalPoint)
{
    return QApplication::topLevelAt(globalPoint);
}

TEST_F(AppDelegateTest, AboutOpensInFrontOfTheWindowItWasChosenInAndEscapeClosesIt)
{
    auto delegate = makeDelegate();
    UserDefaults::standardUserDefaults()->setBool(false, AppDelegate::ShouldRunFirstKey);
    delegate->applicationDidFinishLaunching({});
    QMainWindow *main = delegate->window();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));

    // Asked for twice, the second time with the main window in front.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        if (round > 0) {
            main->raise();
            main->activateWindow();
            ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == main; }));
        }
        delegate->ui()->actionShowAboutWindow->trigger();
        QWidget *about = delegate->aboutWindowController()->window();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == about; }));
        EXPECT_EQ(about->windowHandle()->transientParent(), main->windowHandle());
        // Both windows are centred: the middle of the About window is
        // where both lie, and there it is the one seen.
        const QPoint middle = about->mapToGlobal(about->rect().center());
        ASSERT_TRUE(main->frameGeometry().contains(middle));
        EXPECT_TRUE(QTest::qWaitFor([&] { return windowOnTopAt(middle) == about; }));
        if (round == 0) {
            QTest::keyClick(about, Qt::Key_Escape);
            EXPECT_FALSE(about->isVisible());
        }
    }
}

TEST_F(AppDelegateTest, EscapeClosesTheTour)
{
    auto delegate = makeDelegate();
    delegate->applicationDidFinishLaunching({});
    HUDWindow *tour = delegate->tourWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(tour));
    QTest::keyClick(tour, Qt::Key_Escape);
    EXPECT_FALSE(tour->isVisible());
}

TEST_F(AppDelegateTest, PanelsShowTheirViewsOnceWithRoundedAndSquareCorners)
{
    auto delegate = makeDelegate();
    delegate->applicationDidFinishLaunching({});

    EXPECT_EQ(delegate->activeView(), delegate->infoView());
    EXPECT_EQ(delegate->infoView()->parentWidget(), delegate->placeHolderView());
    EXPECT_EQ(delegate->infoView()->geometry(), delegate->placeHolderView()->rect());
    EXPECT_EQ(ViewLayer::existingBackingLayer(delegate->infoView())->cornerRadius(), 10.0);
    EXPECT_EQ(ViewLayer::existingBackingLayer(delegate->blackinfoView())->cornerRadius(), 10.0);
    EXPECT_EQ(ViewLayer::existingBackingLayer(delegate->blackinfoViewNoCorner())->cornerRadius(),
              0.0);
    EXPECT_EQ(ViewLayer::existingBackingLayer(delegate->whiteinfoViewNoCorner())->cornerRadius(),
              0.0);
    EXPECT_EQ(ViewLayer::existingBackingLayer(delegate->blackinfoView())->backgroundColor(),
              QColor::fromRgbF(0.24, 0.24, 0.24, 0.96));

    auto layersOf = [](QWidget *view) {
        return view->findChildren<ViewLayer *>(Qt::FindDirectChildrenOnly).size();
    };
    ASSERT_EQ(layersOf(delegate->infoView()), 2); // background and border
    delegate->showView(delegate->infoView());
    EXPECT_EQ(layersOf(delegate->infoView()), 2);

    // The border follows the view: one point beyond the sides and top.
    delegate->window()->resize(delegate->window()->size() + QSize(80, 60));
    QTest::qWait(50);
    const QWidget *view = delegate->infoView();
    EXPECT_EQ(view->geometry(), delegate->placeHolderView()->rect());
    const auto *border = view->findChild<ViewLayer *>(QStringLiteral("borderLayer"));
    ASSERT_NE(border, nullptr);
    EXPECT_EQ(border->geometry(), QRect(-1, -1, view->width() + 2, view->height() + 1));
}

TEST_F(AppDelegateTest, MissingSampleShowsTheAlertAndOpensNothing)
{
    TemporaryBundle folder({{QStringLiteral("CFBundleName"), QStringLiteral("Quillmoor")}});
    const Bundle bundle(folder.path());
    auto delegate = makeDelegate(bundle);
    delegate->applicationDidFinishLaunching({});

    delegate->ui()->actionLoadHeart->trigger();
    ASSERT_EQ(alerts->alerts.size(), 1);
    EXPECT_EQ(alerts->alerts.first().first, QStringLiteral("Error"));
    EXPECT_EQ(alerts->alerts.first().second, QStringLiteral("File does not exist!"));
    EXPECT_TRUE(delegate->documentController().documents().isEmpty());
}

TEST_F(AppDelegateTest, EachSampleOpensAndDraws)
{
    auto delegate = makeDelegate();
    delegate->applicationDidFinishLaunching({});
    const QList<QAction *> samples = {
        delegate->ui()->actionLoad1009, delegate->ui()->actionLoad1029,
        delegate->ui()->actionLoad218413, delegate->ui()->actionLoadHeart};
    for (QAction *sample : samples) {
        SCOPED_TRACE(sample->objectName().toStdString());
        sample->trigger();
        const QList<Document *> documents = delegate->documentController().documents();
        ASSERT_EQ(documents.size(), 1);
        Document *document = documents.first();
        ASSERT_TRUE(waitForPage(*document));
        EXPECT_GT(inkPixels(settledPicture(*document->webView())), 50);
        document->close();
    }
    EXPECT_TRUE(alerts->alerts.isEmpty());
    EXPECT_TRUE(delegate->window()->isVisible()); // the last document closing ends nothing
}

TEST_F(AppDelegateTest, SamplesAreNamedByTheirTitlesInMenusButtonsAndWindows)
{
    auto delegate = makeDelegate();
    delegate->applicationDidFinishLaunching({});
    Ui::MainMenu *ui = delegate->ui();
    const QList<std::tuple<QAction *, QAbstractButton *, QString>> samples = {
        {ui->actionLoad1009, ui->sample1009Button, QStringLiteral("Pressure Tool Icon")},
        {ui->actionLoad1029, ui->sample1029Button, QStringLiteral("Table Tool Icon")},
        {ui->actionLoad218413, ui->sample218413Button, QStringLiteral("Shapes")},
        {ui->actionLoadHeart, ui->sampleHeartButton, QStringLiteral("Heart Model")}};
    for (const auto &[action, button, title] : samples) {
        SCOPED_TRACE(title.toStdString());
        // The menu shows the title, with one underlined access key.
        EXPECT_EQ(QString(action->text()).remove(QLatin1Char('&')), title);
        EXPECT_EQ(action->text().count(QLatin1Char('&')), 1);
        EXPECT_EQ(button->text(), title);
        action->trigger();
        Document *document = delegate->documentController().documents().value(0);
        ASSERT_NE(document, nullptr);
        EXPECT_EQ(document->displayName(), title);
        EXPECT_EQ(document->ui()->loadingDocumentName->text(), title);
        ASSERT_TRUE(waitForPage(*document));
        EXPECT_EQ(document->windowForSheet()->windowTitle(), title);
        document->close();
        deleteClosedDocuments();
    }
}

TEST_F(AppDelegateTest, ChoosingASampleAgainConvertsItAfresh)
{
    auto delegate = makeDelegate();
    delegate->applicationDidFinishLaunching({});
    delegate->load1029(nullptr);
    ASSERT_EQ(delegate->documentController().documents().size(), 1);
    QPointer<Document> first = delegate->documentController().documents().first();
    ASSERT_TRUE(waitForPage(*first));

    delegate->load1029(nullptr);
    const QList<Document *> documents = delegate->documentController().documents();
    ASSERT_EQ(documents.size(), 1);
    EXPECT_TRUE(!first || first->isClosed());
    EXPECT_NE(documents.first(), first.data());
    EXPECT_TRUE(waitForPage(*documents.first()));
}

TEST_F(AppDelegateTest, ChoosingASampleAgainMidConversionLeavesNoImageFiles)
{
    // A sample with many images, chosen again while it is still converting.
    TemporaryBundle folder({{QStringLiteral("CFBundleName"), QStringLiteral("Quillmoor")}});
    QFile large(corpusDrawing(QStringLiteral("v23_2021_corolDrow_zakaz.cdr")));
    ASSERT_TRUE(large.open(QIODevice::ReadOnly));
    folder.addResource(QStringLiteral("Images/1009.cdr"), large.readAll());
    const Bundle bundle(folder.path());
    auto delegate = makeDelegate(bundle);
    delegate->applicationDidFinishLaunching({});
    QPointer<Document> first;
    ImageFileWatch watch([&] {
        first = delegate->documentController().documents().value(0);
        delegate->load1009(nullptr);
        deleteClosedDocuments();
    });
    delegate->load1009(nullptr);
    ASSERT_TRUE(waitForConversions());
    EXPECT_TRUE(first.isNull());
    const QList<Document *> documents = delegate->documentController().documents();
    ASSERT_EQ(documents.size(), 1);
    QWidget *shown = documents.first()->windowForSheet();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown->isVisible(); }, 120000));
    // Only the images of the copy on screen are left.
    EXPECT_FALSE(documents.first()->tempURLs().isEmpty());
    EXPECT_EQ(watch.remaining(), documents.first()->tempURLs());
}

TEST_F(AppDelegateTest, DrawingsOpenFromTheCommandLineAndWhenDropped)
{
    allowUsageStatistics();
    auto delegate = makeDelegate();
    const QString drawing = corpusDrawing(QStringLiteral("x7_dblab_test.cdr"));
    delegate->applicationDidFinishLaunching({drawing});
    ASSERT_EQ(delegate->documentController().documents().size(), 1);
    EXPECT_EQ(launch.starts, 1);
    Document *fromCommandLine = delegate->documentController().documents().first();
    ASSERT_TRUE(waitForPage(*fromCommandLine));

    auto drop = [](QWidget *target, const QString &path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        const bool accepted = enter.isAccepted();
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &dropped);
        return accepted;
    };

    // On the main window.
    const QString other = corpusDrawing(QStringLiteral("cdr11_tabletool_icon.cdr"));
    EXPECT_TRUE(drop(delegate->window(), other));
    ASSERT_EQ(delegate->documentController().documents().size(), 2);
    Document *dropped = delegate->documentController().documents().last();
    EXPECT_EQ(dropped->fileURL(), QUrl::fromLocalFile(QFileInfo(other).absoluteFilePath()));
    ASSERT_TRUE(waitForPage(*dropped));

    // On a page: the drawing opens, and the page stays what it was.
    const QUrl page = dropped->webView()->url();
    const QString third = corpusDrawing(QStringLiteral("x5_libreoffice_fdo65220-2.cdr"));
    EXPECT_TRUE(drop(dropped->webView(), third));
    EXPECT_EQ(delegate->documentController().documents().size(), 3);
    EXPECT_EQ(dropped->webView()->url(), page);

    // Files that are not drawings open nothing.
    EXPECT_FALSE(drop(delegate->window(), QStringLiteral(QUILLMOOR_CORPUS_DIR "/README.md")));
    EXPECT_EQ(delegate->documentController().documents().size(), 3);
}

TEST_F(AppDelegateTest, LoadingPanelShowsForADrawingFromTheCommandLineUntilItIsDrawn)
{
    auto delegate = makeDelegate();
    UserDefaults::standardUserDefaults()->setBool(false, AppDelegate::ShouldRunFirstKey);
    bool onScreen = false;
    // Looked at on the screen while the conversion is held at its first
    // image, as the user would see it.
    ImageFileWatch watch([&] {
        HUDWindow *panel = delegate->documentController().documents().value(0)->ui()->loadingPanel;
        onScreen = QTest::qWaitFor([&] {
            if (!panel->isVisible() || !panel->windowHandle() ||
                !panel->windowHandle()->isExposed())
                return false;
            const QRect frame = panel->frameGeometry();
            const QImage screen = panel->screen()->grabWindow(0).toImage();
            return qGray(screen.pixel(frame.center() + QPoint(0, frame.height() / 4))) < 80;
        });
    });
    delegate->applicationDidFinishLaunching(
        {corpusDrawing(QStringLiteral("x7_models-heart_part1.cdr"))});
    Document *document = delegate->documentController().documents().value(0);
    ASSERT_NE(document, nullptr);
    // The conversion is over long before the web view has drawn the pages:
    // until then the panel stays, and no blank window comes up.
    bool panelAtConversionEnd = false, windowAtConversionEnd = true;
    QObject::connect(document, &Document::conversionEnded, [&] {
        panelAtConversionEnd = document->ui()->loadingPanel->isVisible();
        windowAtConversionEnd = document->windowForSheet()->isVisible();
    });
    bool panelAtPage = true, windowAtPage = false;
    QObject::connect(document, &Document::pageLoadFinished, [&] {
        panelAtPage = document->ui()->loadingPanel->isVisible();
        windowAtPage = document->windowForSheet()->isVisible();
    });
    ASSERT_TRUE(waitForPage(*document));
    EXPECT_TRUE(onScreen);
    EXPECT_TRUE(panelAtConversionEnd);
    EXPECT_FALSE(windowAtConversionEnd);
    EXPECT_FALSE(panelAtPage);
    EXPECT_TRUE(windowAtPage);
    EXPECT_EQ(document->usageCounter()->totalConvertedFiles(), 1);
}

TEST_F(AppDelegateTest, DocumentWindowsCarryTheApplicationCommands)
{
    auto delegate = makeDelegate();
    delegate->applicationDidFinishLaunching(
        {corpusDrawing(QStringLiteral("x5_libreoffice_fdo65220-2.cdr"))});
    Document *document = delegate->documentController().documents().value(0);
    ASSERT_NE(document, nullptr);
    ASSERT_TRUE(waitForPage(*document));

    QList<QAction *> reachable;
    for (QAction *menu : document->windowForSheet()->menuBar()->actions())
        reachable += menu->menu() ? menu->menu()->actions() : QList<QAction *>();
    EXPECT_TRUE(reachable.contains(delegate->ui()->actionGoFAQ));
    EXPECT_TRUE(reachable.contains(delegate->ui()->menuOpenSample->menuAction()));
    EXPECT_TRUE(document->windowForSheet()->acceptDrops());
}

TEST_F(AppDelegateTest, TheTourBoxAndTheHelpMenuItemAreOneChoice)
{
    auto delegate = makeDelegate();
    delegate->applicationDidFinishLaunching({});
    HUDButtonCell *box = delegate->ui()->usageStatisticsBox;
    QAction *item = delegate->ui()->actionSendUsageStatistics;
    ASSERT_TRUE(delegate->tourWindow()->isVisible());

    // Yes in the tour: the kit starts at once, and the menu agrees.
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE(item->isChecked());
    EXPECT_EQ(launch.starts, 1);
    EXPECT_TRUE(delegate->usageReporting().isRunning());

    // No from the menu: the kit stops, and the box agrees.
    item->trigger();
    EXPECT_FALSE(item->isChecked());
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(delegate->usageReporting().isRunning());
    UserDefaults::resetStandardUserDefaults();
    EXPECT_FALSE(UserDefaults::standardUserDefaults()->boolForKey(
        TLYUsageReporting::SendUsageStatisticsKey));
    // The kit's stop let go of the controller; the test's comes back.
    Tally::sharedInstance().setTallyController(
        std::make_shared<RecordingTallyController>(recording.journal));
}

TEST_F(AppDelegateTest, DoNotTrackTurnsTheChoiceOffAndSaysWhy)
{
    allowUsageStatistics();
    qputenv("DO_NOT_TRACK", "1");
    auto delegate = makeDelegate();
    delegate->applicationDidFinishLaunching({});
    qunsetenv("DO_NOT_TRACK");
    EXPECT_EQ(launch.starts, 0);
    for (const auto &[checked, enabled, tip] :
         {std::tuple{delegate->ui()->usageStatisticsBox->isChecked(),
                     delegate->ui()->usageStatisticsBox->isEnabled(),
                     delegate->ui()->usageStatisticsBox->toolTip()},
          std::tuple{delegate->ui()->actionSendUsageStatistics->isChecked(),
                     delegate->ui()->actionSendUsageStatistics->isEnabled(),
                     delegate->ui()->actionSendUsageStatistics->toolTip()}}) {
        EXPECT_FALSE(checked);
        EXPECT_FALSE(enabled);
        EXPECT_TRUE(tip.contains(QStringLiteral("DO_NOT_TRACK")));
    }
}

TEST_F(AppDelegateTest, AnalyticsStartRegistersAndStartsTheTallyKit)
{
    // The real start: the SDK core starts with the analytics kit.
    AppDelegate::startAnalyticsKit();
    const auto kits = Orrery::sharedSDK().kitClasses();
    ASSERT_TRUE(kits.has_value());
    QStringList names;
    for (const Orrery::KitClass &kit : *kits)
        names.append(kit->className());
    EXPECT_TRUE(names.contains(QStringLiteral("Tally")));
}
