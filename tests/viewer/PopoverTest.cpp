#include "ViewerTestSupport.h"

#include "controls/HUDWindow.h"
#include "ui_Document.h"
#include "viewer/Document.h"
#include "viewer/MyViewController.h"
#include "viewer/PageSchemeHandler.h"
#include "viewer/Popover.h"
#include "viewer/ProViewController.h"
#include "viewer/UsageCounter.h"

#include "viewer/DocumentController.h"
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

namespace {

bool cellSelected(QWidget *matrix, int row, int column)
{
    auto *grid = qobject_cast<QGridLayout *>(matrix->layout());
    auto *button = qobject_cast<QRadioButton *>(grid->itemAtPosition(row, column)->widget());
    return button->isChecked();
}

bool isWhite(QLabel *label)
{
    return label->palette().color(QPalette::WindowText) == QColor(Qt::white);
}

class PopoverTest : public testing::Test
{
protected:
    void SetUp() override
    {
        document = std::make_unique<Document>(pages, alerts);
        document->makeWindowControllers();
        document->showWindows();
        document->hideLoadingPanel();
        document->ui()->ratePanel->hide();
        document->ui()->buyPanel->hide();
        // Room above the top bar's buttons, where popovers go.
        document->windowForSheet()->move(100, 300);
        document->showDocumentWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(document->windowForSheet()));
        ui = document->ui();
        counter = document->usageCounter();
    }

    // Closes the popover and lets its deletion happen.
    static void closeAndSettle(Popover *popover)
    {
        popover->performClose();
        deleteClosedDocuments();
    }

    PageSchemeHandler pages;
    std::shared_ptr<RecordingAlertPresenter> alerts = std::make_shared<RecordingAlertPresenter>();
    std::unique_ptr<Document> document;
    Ui::Document *ui = nullptr;
    UsageCounter *counter = nullptr;
};

} // namespace

TEST_F(PopoverTest, LayoutStartsWithTheGivenOptionsAndDetachedWindow)
{
    EXPECT_TRUE(ui->animatesCheckbox->isChecked());
    EXPECT_TRUE(cellSelected(ui->popoverType, 0, 0));
    EXPECT_TRUE(cellSelected(ui->popoverPosition, 1, 0));
    EXPECT_EQ(ui->detachedWindow->contentView(), ui->detachedWindowViewController);
    EXPECT_TRUE(isWhite(ui->detachedWindowViewController->textLabel()));
}

TEST_F(PopoverTest, PopoversAreMadeOnDemandAboveTheirButtonAndFreedOnClose)
{
    EXPECT_EQ(counter->iosPopover(), nullptr);
    QTest::mouseClick(ui->iosPopoverButton, Qt::LeftButton);
    QPointer<Popover> ios = counter->iosPopover();
    ASSERT_FALSE(ios.isNull());
    EXPECT_TRUE(ios->isVisible());
    EXPECT_TRUE(ios->animates());
    EXPECT_EQ(ios->behavior(), Popover::Behavior::Transient);
    // A tool window that leaves the keyboard with the document window.
    EXPECT_EQ(ios->windowType(), Qt::Tool);
    EXPECT_TRUE(ios->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_EQ(ios->contentViewController(), ui->popoverViewController);
    EXPECT_TRUE(ui->popoverViewController->isVisible());
    const QPoint buttonTop = ui->iosPopoverButton->mapToGlobal(QPoint(0, 0));
    EXPECT_LE(ios->frameGeometry().bottom(), buttonTop.y());

    closeAndSettle(ios);
    EXPECT_TRUE(ios.isNull());
    EXPECT_EQ(counter->iosPopover(), nullptr);
    EXPECT_EQ(ui->popoverViewController->parentWidget(), ui->centralwidget);
    EXPECT_FALSE(ui->popoverViewController->isVisible());

    // Closing one and opening the other: both are made afresh.
    QTest::mouseClick(ui->proPopoverButton, Qt::LeftButton);
    QPointer<Popover> pro = counter->pdfPopover();
    ASSERT_FALSE(pro.isNull());
    EXPECT_EQ(pro->contentViewController(), ui->PropopoverViewController);
    closeAndSettle(pro);
    EXPECT_TRUE(pro.isNull());
    QTest::mouseClick(ui->iosPopoverButton, Qt::LeftButton);
    ASSERT_NE(counter->iosPopover(), nullptr);
    EXPECT_EQ(counter->pdfPopover(), nullptr);
    EXPECT_TRUE(counter->iosPopover()->isVisible());
}

TEST_F(PopoverTest, ClosingAPopoverFreesBothAndAQuickReopenKeepsTheContent)
{
    counter->showProPopoverAction(ui->proPopoverButton);
    QPointer<Popover> first = counter->pdfPopover();
    first->performClose();
    // Shown again before the closed one is deleted: the content moves over.
    counter->showProPopoverAction(ui->proPopoverButton);
    ASSERT_NE(counter->pdfPopover(), nullptr);
    deleteClosedDocuments();
    EXPECT_TRUE(first.isNull());
    ASSERT_NE(counter->pdfPopover(), nullptr);
    EXPECT_EQ(ui->PropopoverViewController->parentWidget(), counter->pdfPopover());
    EXPECT_TRUE(ui->PropopoverViewController->isVisible());
}

TEST_F(PopoverTest, DraggingAPopoverOffTurnsItIntoTheDetachedWindow)
{
    EXPECT_FALSE(ui->detachedWindow->isVisible());
    QTest::mouseClick(ui->iosPopoverButton, Qt::LeftButton);
    QPointer<Popover> popover = counter->iosPopover();
    ASSERT_FALSE(popover.isNull());
    const QPoint start = popover->pos();
    QTest::mousePress(popover, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseMove(popover, QPoint(65, 45));
    EXPECT_TRUE(ui->detachedWindow->isVisible());
    EXPECT_EQ(ui->detachedWindow->pos(), start + QPoint(60, 40));
    EXPECT_EQ(counter->iosPopover(), nullptr);
    deleteClosedDocuments();
    EXPECT_TRUE(popover.isNull());
}

TEST_F(PopoverTest, DarkPopoversGetWhiteText)
{
    Popover dark;
    dark.setAppearance(Popover::Appearance::HUD);
    dark.setContentViewController(ui->PropopoverViewController);
    EXPECT_FALSE(isWhite(ui->popoverViewController->textLabel()));
    counter->popoverWillShow(&dark);
    EXPECT_TRUE(isWhite(ui->popoverViewController->textLabel()));
    EXPECT_TRUE(isWhite(ui->PropopoverViewController->textLabel()));
}

TEST_F(PopoverTest, PopoverGoesBelowItsButtonWhenThereIsNoRoomAbove)
{
    document->windowForSheet()->move(100, 0);
    QTest::mouseClick(ui->proPopoverButton, Qt::LeftButton);
    ASSERT_NE(counter->pdfPopover(), nullptr);
    const QPoint buttonBottom =
        ui->proPopoverButton->mapToGlobal(QPoint(0, ui->proPopoverButton->height()));
    EXPECT_GE(counter->pdfPopover()->frameGeometry().top(), buttonBottom.y());
}

TEST(PopoverOnPage, KeyboardStaysWithTheDocumentWindowWhileAndAfterAPopoverShows)
{
    DocumentController controller;
    controller.setAlertPresenter(std::make_shared<RecordingAlertPresenter>());
    Document *document = controller.openDocument(drawing("files/x5_libreoffice_fdo65220-2.cdr"));
    ASSERT_TRUE(waitForPage(*document));
    QMainWindow *window = document->windowForSheet();
    // Other programs' windows share the display and may take its focus at
    // any time, so what is checked is that no popover ever takes it.
    static_cast<void>(QTest::qWaitFor([&] { return QApplication::activeWindow() == window; }));
    QAbstractButton *button = document->ui()->iosPopoverButton;
    QToolTip::showText(button->mapToGlobal(button->rect().bottomLeft()), button->toolTip(), button);

    QTest::mouseClick(button, Qt::LeftButton);
    Popover *popover = document->usageCounter()->iosPopover();
    ASSERT_NE(popover, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(popover));
    EXPECT_FALSE(QToolTip::isVisible());
    // The window keeps the keyboard: its shortcuts work with the popover up.
    EXPECT_FALSE(QTest::qWaitFor([&] { return QApplication::activeWindow() == popover; }, 500));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    QTest::keyClick(window, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(document->zoom(), 0.5f);
    EXPECT_TRUE(popover->isVisible());

    // Working elsewhere closes it; the window still has the keyboard.
    QTest::mouseClick(document->webView()->focusProxy(), Qt::LeftButton, {}, QPoint(300, 300));
    EXPECT_FALSE(popover->isVisible());
    EXPECT_NE(QApplication::activeWindow(), popover);
    QTest::keyClick(window, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(document->zoom(), 0.0f);

    // Escape closes a popover too, and goes no further.
    QTest::mouseClick(document->ui()->proPopoverButton, Qt::LeftButton);
    Popover *pro = document->usageCounter()->pdfPopover();
    ASSERT_NE(pro, nullptr);
    ASSERT_TRUE(pro->isVisible());
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(pro->isVisible());
    EXPECT_NE(QApplication::activeWindow(), pro);
}
