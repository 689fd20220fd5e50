#include "ViewerTestSupport.h"

#include "analytics/TLYCustomEvent.h"
#include "analytics/Tally.h"
#include "controls/HUDWindow.h"
#include "foundation/UserDefaults.h"
#include "ui_Document.h"
#include "viewer/Document.h"
#include "viewer/DocumentController.h"
#include "viewer/PageSchemeHandler.h"
#include "viewer/UrlOpener.h"
#include "viewer/UsageCounter.h"

#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <mutex>

namespace {

// Every test of this program, and every program it starts, keeps its user
// defaults in a temporary configuration directory, never in the user's.
class TemporaryConfigHome : public testing::Environment
{
public:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.isValid());
        qputenv("XDG_CONFIG_HOME", m_home.path().toLocal8Bit());
        UserDefaults::resetStandardUserDefaults();
    }

private:
    QTemporaryDir m_home;
};
[[maybe_unused]] testing::Environment *const configHome =
    testing::AddGlobalTestEnvironment(new TemporaryConfigHome);

class RecordingUrlOpener : public UrlOpener
{
public:
    bool openURL(const QUrl &url) override
    {
        urls.append(url);
        return true;
    }
    QList<QUrl> urls;
};

class RecordingController : public TLYTallyControllerInterface
{
public:
    void logEvent(std::shared_ptr<const TLYEvent> event) override
    {
        std::lock_guard lock(mutex);
        events.push_back(std::move(event));
    }
    void logCrashEvent(std::shared_ptr<const TLYCrashEvent>) override {}
    // Name and payload attributes of each custom event.
    QList<QPair<QString, QVariant>> customEvents()
    {
        std::lock_guard lock(mutex);
        QList<QPair<QString, QVariant>> list;
        for (const auto &event : events) {
            if (auto custom = std::dynamic_pointer_cast<const TLYCustomEvent>(event))
                list.append({custom->customEventName(),
                             custom->dictionaryRepresentation().value("custom_attributes")});
        }
        return list;
    }
    std::mutex mutex;
    std::vector<std::shared_ptr<const TLYEvent>> events;
};

enum class Panel
{
    None,
    Rating,
    Buy
};

Panel expectedPanel(int count)
{
    if (count == 10 || count == 70 || count == 150 || count == 250)
        return Panel::Rating;
    if (count == 100 || count == 200 || count >= 300)
        return Panel::Buy;
    return Panel::None;
}

Panel shownPanel(const Document &document)
{
    const bool rate = document.ui()->ratePanel->isVisible();
    const bool buy = document.ui()->buyPanel->isVisible();
    EXPECT_FALSE(rate && buy);
    return rate ? Panel::Rating : buy ? Panel::Buy : Panel::None;
}

qint64 countOnDisk()
{
    return UserDefaults(UserDefaults::standardFilePath()).integerForKey("TotalFile");
}

class UsageCounterTest : public testing::Test
{
protected:
    void SetUp() override
    {
        UserDefaults::resetStandardUserDefaults();
        QFile::remove(UserDefaults::standardFilePath());
        UrlOpener::setSharedOpener(opener);
        Tally::sharedInstance().setTallyController(controller);
    }
    void TearDown() override
    {
        UrlOpener::setSharedOpener(nullptr);
        Tally::sharedInstance().setTallyController(nullptr);
        UserDefaults::resetStandardUserDefaults();
    }

    // The count left by an earlier run.
    static void seedCount(qint64 count)
    {
        UserDefaults(UserDefaults::standardFilePath()).setInteger(count, "TotalFile");
        UserDefaults::resetStandardUserDefaults();
    }

    // A document whose windows are ready, as while its drawing converts;
    // hideLoadingPanel() then ends a load attempt.
    std::unique_ptr<Document> preparedDocument()
    {
        auto document = std::make_unique<Document>(pages, alerts);
        document->makeWindowControllers();
        document->showWindows();
        return document;
    }

    PageSchemeHandler pages;
    std::shared_ptr<RecordingAlertPresenter> alerts = std::make_shared<RecordingAlertPresenter>();
    std::shared_ptr<RecordingUrlOpener> opener = std::make_shared<RecordingUrlOpener>();
    std::shared_ptr<RecordingController> controller = std::make_shared<RecordingController>();
};

} // namespace

TEST_F(UsageCounterTest, FailedLoadAtNineCountsTenAndShowsTheRatingPanel)
{
    seedCount(9);
    DocumentController documents;
    documents.setAlertPresenter(alerts);
    Document *document = documents.openDocument(drawing("bad/empty.cdr"));
    EXPECT_EQ(document->ui()->_totalConvertedFilesStatus->text(), "9");
    QString status;
    Panel panel = Panel::None;
    bool closed = false;
    QObject::connect(document, &Document::closed, [&](Document *done) {
        status = done->ui()->_totalConvertedFilesStatus->text();
        panel = shownPanel(*done);
        closed = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed; }, 60000));
    EXPECT_EQ(alerts->errors.size(), 1);
    EXPECT_EQ(status, "10");
    EXPECT_EQ(panel, Panel::Rating);
    EXPECT_EQ(countOnDisk(), 10);
}

TEST_F(UsageCounterTest, SuccessfulLoadAtNinetyNineShowsTheBuyPanel)
{
    seedCount(99);
    DocumentController documents;
    documents.setAlertPresenter(alerts);
    Document *document = documents.openDocument(drawing("files/cdr11_tabletool_icon.cdr"));
    bool ended = false;
    QObject::connect(document, &Document::conversionEnded, [&] { ended = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended; }, 60000));
    // Counted when the conversion ends, before the pages are drawn.
    EXPECT_EQ(document->usageCounter()->totalConvertedFiles(), 100);
    ASSERT_TRUE(waitForPage(*document));
    EXPECT_TRUE(document->windowForSheet()->isVisible());
    EXPECT_EQ(document->ui()->_totalConvertedFilesStatus->text(), "100");
    EXPECT_EQ(shownPanel(*document), Panel::Buy);
}

TEST_F(UsageCounterTest, PanelsAppearAtExactlyTheTableCounts)
{
    // No stored count yet: the first attempt counts 1.
    auto document = preparedDocument();
    EXPECT_EQ(document->ui()->_totalConvertedFilesStatus->text(), "0");
    for (int count = 1; count <= 320; ++count) {
        document->hideLoadingPanel();
        ASSERT_EQ(document->ui()->_totalConvertedFilesStatus->text(), QString::number(count));
        EXPECT_EQ(shownPanel(*document), expectedPanel(count)) << "count " << count;
        document->ui()->ratePanel->hide();
        document->ui()->buyPanel->hide();
    }
    EXPECT_EQ(countOnDisk(), 320);
}

TEST_F(UsageCounterTest, CountSurvivesRestarts)
{
    {
        auto document = preparedDocument();
        for (int i = 0; i < 3; ++i)
            document->hideLoadingPanel();
    }
    UserDefaults::resetStandardUserDefaults(); // as if relaunched
    EXPECT_EQ(preparedDocument()->ui()->_totalConvertedFilesStatus->text(), "3");

    // The application itself, launched twice, continues the count.
    seedCount(69);
    for (qint64 expected : {70, 71}) {
        QTemporaryDir dir;
        QProcess quillmoor;
        quillmoor.start(QStringLiteral(QUILLMOOR_EXECUTABLE),
                        {"--snapshot", dir.filePath("snapshot.png"),
                         drawing("files/cdr11_tabletool_icon.cdr")});
        ASSERT_TRUE(quillmoor.waitForFinished(240000));
        EXPECT_EQ(quillmoor.exitCode(), 0) << quillmoor.readAllStandardError().constData();
        EXPECT_EQ(countOnDisk(), expected);
    }
}

TEST_F(UsageCounterTest, PanelButtonsRecordTheirEventAndOpenTheStorePage)
{
    seedCount(9);
    auto document = preparedDocument();
    Ui::Document &ui = *document->ui();
    document->hideLoadingPanel();
    ASSERT_TRUE(ui.ratePanel->isVisible());
    ui.buyPanel->show();

    QTest::mouseClick(ui.rateButton, Qt::LeftButton);
    EXPECT_FALSE(ui.ratePanel->isVisible());
    EXPECT_TRUE(ui.buyPanel->isVisible()); // only its own panel goes
    QTest::mouseClick(ui.buyButton, Qt::LeftButton);
    EXPECT_FALSE(ui.buyPanel->isVisible());

    const QList<QPair<QString, QVariant>> expected = {
        {"Open Quillmoor Rating", QVariantMap()},
        {"Open Quillmoor Buy Button from Alert Window", QVariantMap()}};
    EXPECT_EQ(controller->customEvents(), expected);
    EXPECT_EQ(opener->urls, QList<QUrl>({UsageCounter::StorePageURL, UsageCounter::StorePageURL}));

    // Dismissing a panel records and opens nothing.
    ui.ratePanel->show();
    QTest::mouseClick(ui.rateLaterButton, Qt::LeftButton);
    EXPECT_FALSE(ui.ratePanel->isVisible());
    EXPECT_EQ(controller->customEvents().size(), 2);
    EXPECT_EQ(opener->urls.size(), 2);
}
