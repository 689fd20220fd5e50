#include "ViewerTestSupport.h"

#include "controls/HUDWindow.h"
#include "ui_Document.h"
#include "viewer/Document.h"
#include "viewer/MyViewController.h"
#include "viewer/PageSchemeHandler.h"
#include "viewer/Popover.h"
#include "viewer/ProViewController.h"
#include "viewer/UsageCounter.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QRadioButton>
#include <QTest>

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
    EXPECT_TRUE(ios->windowFlags().testFlag(Qt::Popup));
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
