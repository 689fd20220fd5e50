#pragma once

#include "InformationPanel.h"
#include "RecentDrawings.h"
#include "analytics/TLYUsageReporting.h"
#include "viewer/QuillmoorApplication.h"

#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class AlertRunner;
class Bundle;
class DrawingDropHandler;
class ExportPrompts;
class HUDButtonCell;
class HUDWindow;
class QAbstractButton;
class QMenu;
class QMAboutWindowController;
class QMainWindow;
class QTextBrowser;
class SharingService;
class SharingServicePicker;
namespace Ui {
class MainMenu;
}

// The application's delegate and the target of its menu: at launch it
// shows the tour while the user wants it, prepares the main window's
// information panels and sharing, and starts the analytics kit last.
// Afterwards it opens the sample drawings, the About window, the sharing
// menu and the maker's pages, recording an analytics event for each page
// before it opens. The application keeps running while the main window or
// a document window is open.
class AppDelegate : public QuillmoorApplication
{
    Q_OBJECT
public:
    static inline const QString ShouldRunFirstKey = QStringLiteral("shouldRunFirst");

    // Registers the application's fallback settings ("shouldRunFirst" on).
    static void initialize();

    explicit AppDelegate(QObject *parent = nullptr);
    // Reads resources and texts from `bundle`, which must outlive the
    // delegate.
    explicit AppDelegate(const Bundle &bundle, QObject *parent = nullptr);
    ~AppDelegate() override;

    // The launch steps, then the drawings given on the command line.
    void applicationDidFinishLaunching(const QStringList &drawings) override;

    // Alerts go through this; message boxes by default.
    void setAlertRunner(std::shared_ptr<AlertRunner> runner);
    // Export and Print ask through this (dialogs by default), in documents
    // opened from now on.
    void setExportPrompts(std::shared_ptr<ExportPrompts> prompts);
    // Starts the SDK core with the analytics kit, unless replaced: as the
    // last launch step, or later when the user allows it.
    void setAnalyticsStarter(std::function<void()> starter);
    static void startAnalyticsKit();
    // The user's say over usage statistics, shown by the tour's check box
    // and the Help menu's item.
    TLYUsageReporting &usageReporting() { return m_usageReporting; }

    Ui::MainMenu *ui() const { return m_ui.get(); }
    QMainWindow *window() const { return m_window.get(); }
    HUDWindow *tourWindow() const;
    HUDButtonCell *dontButton() const;
    QTextBrowser *textVersion() const;
    QAbstractButton *chooseServiceButton() const;
    QAbstractButton *chooseFromTextFieldButton() const;

    QString appVersion() const { return m_appVersion; }
    void setAppVersion(const QString &version) { m_appVersion = version; }
    // The share text, as HTML.
    QString appCredits() const { return m_appCredits; }
    void setAppCredits(const QString &credits) { m_appCredits = credits; }

    // Made on first use and kept.
    QMAboutWindowController *aboutWindowController();
    const SharingService *emailSharingService() const { return m_emailSharingService.get(); }
    // The drawings opened lately, in the desktop's list of recent files.
    RecentDrawings &recentDrawings() { return m_recentDrawings; }
    // The main window's Open Recent menu; each document window has its own.
    QMenu *recentMenu() const { return m_recentMenu; }
    // The picker last shown, if any.
    SharingServicePicker *sharingServicePicker() const { return m_sharingServicePicker.get(); }

    QWidget *activeView() const { return m_whitePanel.activeView(); }
    QWidget *placeHolderView() const { return m_whitePanel.placeHolderView(); }
    QWidget *infoView() const;
    QWidget *blackactiveView() const { return m_blackPanel.activeView(); }
    QWidget *blackplaceHolderView() const { return m_blackPanel.placeHolderView(); }
    QWidget *blackinfoView() const;
    QWidget *blackactiveViewNoCorner() const { return m_blackNoCornerPanel.activeView(); }
    QWidget *blackplaceHolderViewNoCorner() const { return m_blackNoCornerPanel.placeHolderView(); }
    QWidget *blackinfoViewNoCorner() const;
    QWidget *whiteactiveViewNoCorner() const { return m_whiteNoCornerPanel.activeView(); }
    QWidget *whiteplaceHolderViewNoCorner() const { return m_whiteNoCornerPanel.placeHolderView(); }
    QWidget *whiteinfoViewNoCorner() const;

public slots:
    void applicationWillTerminate() {}

    void showTourWindow(QObject *sender = nullptr);
    void showAboutWindow(QObject *sender = nullptr);
    void shareUsingEmail(QObject *sender = nullptr);
    void load1009(QObject *sender = nullptr);
    void load1029(QObject *sender = nullptr);
    void load218413(QObject *sender = nullptr);
    void loadheart(QObject *sender = nullptr);
    void gotoWebsiteQuillmoor(QObject *sender = nullptr);
    void gotoQuillmooriOS(QObject *sender = nullptr);
    void buyProVersion(QObject *sender = nullptr);
    void visitFeedback(QObject *sender = nullptr);
    void visitCDRResources(QObject *sender = nullptr);
    void visitQuillmoor2(QObject *sender = nullptr);
    void visitQuillmoor3(QObject *sender = nullptr);
    void visitHowToOpenCorel(QObject *sender = nullptr);
    void goTwitter(QObject *sender = nullptr);
    void goFacebook(QObject *sender = nullptr);
    void goFAQ(QObject *sender = nullptr);
    void goEbonmere(QObject *sender = nullptr);
    void goLayrook(QObject *sender = nullptr);
    void goTallowmere(QObject *sender = nullptr);
    // Stores and applies the user's choice.
    void setSendsUsageStatistics(bool send);
    void showView(QWidget *view);
    void showblackView(QWidget *view);
    void showblackNoCornerView(QWidget *view);
    void showwhiteNoCornerView(QWidget *view);

    // Opens drawings (given on the command line or dropped on a window).
    void openDrawings(const QStringList &paths);
    // Opens drawings that a later launch handed over; with none, brings
    // the main window forward.
    void openHandedOverDrawings(const QStringList &paths);

protected:
    void documentOpened(Document *document) override;
    void lastDocumentClosed() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void awakeFromNib();
    void connectCommands(QObject *source);
    void performCommand(const QString &selector, QObject *sender);
    void presentTourWindow();
    void loadSample(const QString &name);
    void openLink(const QString &action);
    void showUsageStatisticsChoice();
    void openInteractively();
    QMenu *makeRecentMenu(QWidget *parent);
    void fillRecentMenu(QMenu *menu);
    bool isSample(const QString &path) const;

    const Bundle &m_bundle;
    std::unique_ptr<Ui::MainMenu> m_ui;
    std::unique_ptr<QMainWindow> m_window;
    InformationPanel m_whitePanel;
    InformationPanel m_blackPanel;
    InformationPanel m_blackNoCornerPanel;
    InformationPanel m_whiteNoCornerPanel;
    QString m_appVersion;
    QString m_appCredits;
    std::unique_ptr<QMAboutWindowController> m_aboutWindowController;
    std::unique_ptr<SharingService> m_emailSharingService;
    std::unique_ptr<SharingServicePicker> m_sharingServicePicker;
    std::shared_ptr<AlertRunner> m_alerts;
    std::shared_ptr<ExportPrompts> m_exportPrompts;
    std::function<void()> m_analyticsStarter;
    TLYUsageReporting m_usageReporting;
    std::unique_ptr<DrawingDropHandler> m_dropHandler;
    RecentDrawings m_recentDrawings;
    QMenu *m_recentMenu = nullptr;
};
