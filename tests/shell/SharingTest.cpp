#include "ShellTestSupport.h"

#include "shell/AppDelegate.h"
#include "shell/SharingService.h"
#include "shell/SharingServicePicker.h"
#include "ui_MainMenu.h"
#include "viewer/Document.h"
#include "viewer/DocumentController.h"

#include <QAbstractButton>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTest>
#include <QTextBrowser>
#include <QUrlQuery>

#include <gtest/gtest.h>

TEST(SharingService, EmailCarriesTheTextInAMailtoAddress)
{
    ShellRecording recording;
    const auto email = SharingService::sharingServiceNamed(SharingService::NameComposeEmail);
    ASSERT_NE(email, nullptr);
    const QString text = QStringLiteral("Quillmoor & friends: 100% = ?\nSecond line é");
    EXPECT_TRUE(email->performWithItem({text, QString()}));

    ASSERT_EQ(recording.opener->urls.size(), 1);
    const QUrl url = recording.opener->urls.first();
    EXPECT_EQ(url.scheme(), QStringLiteral("mailto"));
    EXPECT_TRUE(url.path().isEmpty());
    const QUrlQuery query(url);
    QString body = query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded);
    EXPECT_EQ(body, QStringLiteral("Quillmoor & friends: 100% = ?\r\nSecond line é"));
    EXPECT_EQ(query.queryItems().size(), 1); // nothing in the text split the address
}

TEST(SharingService, CopyPutsRichAndPlainTextOnTheClipboard)
{
    const auto copy = SharingService::sharingServiceNamed(SharingService::NameCopyToClipboard);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(SharingService::sharingServiceNamed(QStringLiteral("no such service")), nullptr);
    ASSERT_TRUE(copy->performWithItem({QStringLiteral("plain"), QStringLiteral("<b>plain</b>")}));
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->text(), QStringLiteral("plain"));
    EXPECT_TRUE(data->html().contains(QStringLiteral("<b>plain</b>")));
}

TEST(SharingServicePicker, ShareCommandOpensAMenuAboveTheShareButton)
{
    ShellRecording recording;
    AppDelegate delegate;
    delegate.setAnalyticsStarter([] {});
    delegate.applicationDidFinishLaunching({});
    delegate.ui()->actionShare->trigger();

    SharingServicePicker *picker = delegate.sharingServicePicker();
    ASSERT_NE(picker, nullptr);
    QMenu *menu = picker->menu();
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 5000));
    const QAbstractButton *anchor = delegate.chooseServiceButton();
    const QPoint buttonTop = anchor->mapToGlobal(QPoint(0, 0));
    EXPECT_LE(menu->geometry().bottom(), buttonTop.y()); // opens upwards from the top edge
    EXPECT_EQ(picker->item().plainText, delegate.textVersion()->toPlainText());

    QStringList titles;
    for (QAction *action : menu->actions())
        titles.append(action->text());
    EXPECT_EQ(titles, QStringList({"Email", "Copy"}));

    menu->actions().first()->trigger();
    ASSERT_EQ(recording.opener->urls.size(), 1);
    const QString body = QUrlQuery(recording.opener->urls.first())
                             .queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded);
    QString expected = delegate.textVersion()->toPlainText();
    expected.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    EXPECT_EQ(body, expected);
    EXPECT_TRUE(body.contains(QStringLiteral("https://quillmoor.ferrowby.com/")));
    // Sharing records no event.
    ASSERT_EQ(recording.journal->entries().size(), 1);
    EXPECT_TRUE(recording.journal->entries().first().startsWith(QStringLiteral("open: mailto:")));
    menu->close();
}

TEST(SharingServicePicker, ButtonBesideTheTextSharesOnMouseDown)
{
    ShellRecording recording;
    AppDelegate delegate;
    delegate.setAnalyticsStarter([] {});
    delegate.applicationDidFinishLaunching({});
    QAbstractButton *button = delegate.chooseFromTextFieldButton();
    QTest::mousePress(button, Qt::LeftButton);
    EXPECT_NE(delegate.sharingServicePicker(), nullptr);
    QTest::mouseRelease(button, Qt::LeftButton);
    if (delegate.sharingServicePicker() && delegate.sharingServicePicker()->menu())
        delegate.sharingServicePicker()->menu()->close();
}

TEST(SharingServicePicker, ShareFromADocumentWindowOpensTheMenuInThatWindow)
{
    ShellRecording recording;
    AppDelegate delegate;
    delegate.setAnalyticsStarter([] {});
    delegate.applicationDidFinishLaunching({corpusDrawing(QStringLiteral("x7_dblab_test.cdr"))});
    Document *document = delegate.documentController().documents().value(0);
    ASSERT_NE(document, nullptr);
    ASSERT_TRUE(waitForPage(*document));
    QMainWindow *window = document->windowForSheet();

    // The document window's own Share item, in its File menu.
    QMenu *fileMenu = window->menuBar()->actions().value(0)->menu();
    ASSERT_NE(fileMenu, nullptr);
    QAction *share = nullptr;
    for (QAction *item : fileMenu->actions())
        if (item->text() == delegate.ui()->actionShare->text())
            share = item;
    ASSERT_NE(share, nullptr);
    share->trigger();

    SharingServicePicker *picker = delegate.sharingServicePicker();
    ASSERT_NE(picker, nullptr);
    QMenu *menu = picker->menu();
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }, 5000));
    EXPECT_EQ(menu->parentWidget()->window(), window);
    EXPECT_TRUE(window->frameGeometry().contains(menu->geometry().topLeft()));
    menu->close();
}
