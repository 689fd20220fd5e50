#include "ShellTestSupport.h"

#include "foundation/Bundle.h"
#include "foundation/Log.h"
#include "shell/QMAboutWindowController.h"
#include "shell/ViewLayer.h"
#include "ui_QMAboutWindow.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTest>
#include <QTextBrowser>

#include <gtest/gtest.h>

namespace {

QVariantMap inklingInfo()
{
    return {{QStringLiteral("CFBundleName"), QStringLiteral("Inkling")},
            {QStringLiteral("CFBundleShortVersionString"), QStringLiteral("2.1")},
            {QStringLiteral("CFBundleVersion"), QStringLiteral("45")},
            {QStringLiteral("NSHumanReadableCopyright"), QStringLiteral("Copyright © 2031 Ink")}};
}

} // namespace

TEST(QMAboutWindowController, FillsNameVersionCopyrightAndCreditsFromTheBundle)
{
    TemporaryBundle folder(inklingInfo());
    folder.addResource(QStringLiteral("Credits.html"),
                       "<html><body><p>Made with <b>care</b>.</p></body></html>");
    const Bundle bundle(folder.path());
    QMAboutWindowController controller(bundle);
    EXPECT_EQ(QMAboutWindowController::nibName(), QStringLiteral("QMAboutWindow"));
    EXPECT_FALSE(controller.isWindowLoaded());

    controller.showWindow();
    Ui::QMAboutWindow *ui = controller.ui();
    ASSERT_NE(ui, nullptr);
    EXPECT_EQ(controller.appName(), QStringLiteral("Inkling"));
    EXPECT_EQ(controller.appVersion(), QStringLiteral("Version 2.1 (Build 45)"));
    EXPECT_EQ(controller.appCopyright(), QStringLiteral("Copyright © 2031 Ink"));
    EXPECT_EQ(ui->appNameField->text(), QStringLiteral("Inkling"));
    EXPECT_EQ(ui->appVersionField->text(), QStringLiteral("Version 2.1 (Build 45)"));
    EXPECT_EQ(ui->appCopyrightField->text(), QStringLiteral("Copyright © 2031 Ink"));
    EXPECT_EQ(controller.visitWebsiteButton()->text(), QStringLiteral("Visit the Inkling Website"));
    EXPECT_EQ(controller.creditsTextView()->toPlainText(), QStringLiteral("Made with care."));
    EXPECT_TRUE(controller.creditsTextView()->isReadOnly());
    EXPECT_TRUE(controller.window()->isVisible());
    EXPECT_EQ(controller.activeView(), controller.infoView());
    EXPECT_EQ(controller.infoView()->parentWidget(), controller.placeHolderView());
}

TEST(QMAboutWindowController, ShowsTheMainBundlesNameAndVersionLine)
{
    QMAboutWindowController controller;
    controller.showWindow();
    const Bundle &bundle = Bundle::mainBundle();
    const QString name =
        bundle.objectForInfoDictionaryKey(QStringLiteral("CFBundleName")).toString();
    ASSERT_FALSE(name.isEmpty());
    EXPECT_EQ(controller.ui()->appNameField->text(), name);
    EXPECT_EQ(
        controller.ui()->appVersionField->text(),
        QStringLiteral("Version %1 (Build %2)")
            .arg(bundle.objectForInfoDictionaryKey(QStringLiteral("CFBundleShortVersionString"))
                     .toString(),
                 bundle.objectForInfoDictionaryKey(QStringLiteral("CFBundleVersion")).toString()));
    EXPECT_FALSE(controller.creditsTextView()->toPlainText().isEmpty());
}

TEST(QMAboutWindowController, TextsSetBeforeLoadingAreKept)
{
    TemporaryBundle folder(inklingInfo()); // and no credits resource
    const Bundle bundle(folder.path());
    QMAboutWindowController controller(bundle);
    controller.setAppName(QStringLiteral("Quill Deluxe"));
    controller.setAppVersion(QStringLiteral("Edition 7"));
    controller.window();

    EXPECT_EQ(controller.appName(), QStringLiteral("Quill Deluxe"));
    EXPECT_EQ(controller.ui()->appVersionField->text(), QStringLiteral("Edition 7"));
    EXPECT_EQ(controller.visitWebsiteButton()->text(),
              QStringLiteral("Visit the Quill Deluxe Website"));
    EXPECT_EQ(controller.appCopyright(), QStringLiteral("Copyright © 2031 Ink"));
    EXPECT_TRUE(controller.creditsTextView()->toPlainText().isEmpty());
}

TEST(QMAboutWindowController, ShowingTwiceAddsNoSecondBorder)
{
    QMAboutWindowController controller;
    controller.showWindow();
    controller.showWindow();
    EXPECT_EQ(controller.infoView()->findChildren<ViewLayer *>(Qt::FindDirectChildrenOnly).size(),
              2);
    EXPECT_EQ(ViewLayer::existingBackingLayer(controller.infoView())->backgroundColor(),
              QColor(Qt::white));
}

TEST(QMAboutWindowController, ButtonsRecordTheirEventsBeforeOpening)
{
    ShellRecording recording;
    QMAboutWindowController controller;
    controller.setAppWebsiteURL(QUrl(QStringLiteral("https://quillmoor.ferrowby.com/")));
    controller.setLegalStuffURL(QUrl(QStringLiteral("https://quillmoor.ferrowby.com/legal")));
    controller.showWindow();

    QTest::mouseClick(controller.visitWebsiteButton(), Qt::LeftButton);
    QTest::mouseClick(controller.ui()->visitLegalStuffButton, Qt::LeftButton);
    EXPECT_EQ(recording.journal->entries(),
              QStringList({"event: Open Web Page from About Window",
                           "open: https://quillmoor.ferrowby.com/",
                           "event: Open Legal Stuff from About Window",
                           "open: https://quillmoor.ferrowby.com/legal"}));
}

TEST(QMAboutWindowController, MissingAddressesRecordTheEventAndOpenNothing)
{
    ShellRecording recording;
    LogCapture log;
    QMAboutWindowController controller;
    controller.visitWebsite();
    controller.visitLegalStuff();
    EXPECT_EQ(recording.journal->entries(),
              QStringList({"event: Open Web Page from About Window",
                           "event: Open Legal Stuff from About Window"}));
    EXPECT_TRUE(recording.opener->urls.isEmpty());
    EXPECT_TRUE(log.contains("Error: please set the appWebsiteURL property on the about window"));
    EXPECT_TRUE(log.contains("Error: please set the legalStuffURL property on the about window"));
}
