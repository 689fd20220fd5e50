#include "ParserTestSupport.h"
#include "ViewerTestSupport.h"

#include "controls/HUDWindow.h"
#include "controls/WhiteIntermProgIndicator.h"
#include "conversion/CDR2SVG.h"
#include "foundation/Log.h"
#include "ui_Document.h"
#include "viewer/CDRWebViewContainer.h"
#include "viewer/Document.h"
#include "viewer/DocumentController.h"
#include "viewer/MessageBoxAlertPresenter.h"

#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>

#include <gtest/gtest.h>

#include <csignal>

namespace {

// Counts how often a window is shown.
class ShowCounter : public QObject
{
public:
    int shows = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            ++shows;
        return false;
    }
};

} // namespace

TEST(Document, OpensDrawingBehindLoadingPanelThenShowsIt)
{
    DocumentController controller;
    LogCapture log;
    Document *document = controller.openDocument(drawing("files/cdr13_xapian_test1.cdr"));
    ASSERT_NE(document->ui(), nullptr);
    EXPECT_TRUE(document->ui()->loadingPanel->isVisible());
    EXPECT_TRUE(document->spinner()->isSpinning());
    EXPECT_EQ(document->ui()->loadingDocumentName->text(), "cdr13_xapian_test1.cdr");
    EXPECT_FALSE(document->windowForSheet()->isVisible());

    ASSERT_TRUE(waitForPage(*document));
    EXPECT_FALSE(document->ui()->loadingPanel->isVisible());
    EXPECT_FALSE(document->spinner()->isSpinning());
    EXPECT_TRUE(document->windowForSheet()->isVisible());
    const QString page = document->webView()->url().toString();
    EXPECT_TRUE(log.contains("didStartProvisionalLoadForFrame: " + page));
    EXPECT_TRUE(QTest::qWaitFor([&] { return log.contains("didFinishLoadForFrame: " + page); }));
    EXPECT_GT(inkPixels(settledPicture(*document->webView())), 50);
    EXPECT_EQ(controller.openDocument(drawing("files/cdr13_xapian_test1.cdr")), document);
}

TEST(Document, FailedOpenPresentsErrorAndClosesUnseen)
{
    DocumentController controller; // presents errors in a real message box
    ShowCounter counter;
    QString presented, detail;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            presented = box->text();
            detail = box->informativeText();
            EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
            box->accept();
        }
    });
    answer.start(50);
    bool lastClosed = false;
    QObject::connect(&controller, &DocumentController::lastDocumentClosed,
                     [&] { lastClosed = true; });

    QPointer<Document> document = controller.openDocument(drawing("bad/text_renamed.cdr"));
    document->windowForSheet()->installEventFilter(&counter);
    EXPECT_TRUE(document->ui()->loadingPanel->isVisible());
    bool panelVisibleAtClose = true;
    QObject::connect(document, &Document::closed, [&](Document *closed) {
        panelVisibleAtClose = closed->ui()->loadingPanel->isVisible();
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return lastClosed; }, 60000));
    EXPECT_EQ(presented, CDR2SVG::NewerVersionMessage);
    EXPECT_EQ(detail, "“text_renamed.cdr” is not a CorelDRAW drawing.");
    EXPECT_FALSE(panelVisibleAtClose);
    EXPECT_EQ(counter.shows, 0);
    deleteClosedDocuments();
    EXPECT_TRUE(document.isNull());
}

TEST(Document, ConvertsTwoDocumentsAtATime)
{
    DocumentController controller;
    auto alerts = std::make_shared<RecordingAlertPresenter>();
    controller.setAlertPresenter(alerts);
    QStringList events;
    const QStringList names = {"files/x7_models-heart_part1.cdr", "bad/empty.cdr",
                               "files/cdr11_tabletool_icon.cdr"};
    QList<Document *> documents;
    for (const QString &name : names) {
        Document *document = controller.openDocument(drawing(name));
        QObject::connect(document, &Document::conversionStarted,
                         [&events, name] { events << "start " + name; });
        QObject::connect(document, &Document::conversionEnded,
                         [&events, name] { events << "end " + name; });
        documents << document;
    }
    for (Document *document : documents)
        EXPECT_TRUE(document->ui()->loadingPanel->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return events.size() == 6; }, 120000));
    int running = 0;
    for (const QString &event : events) {
        running += event.startsWith("start ") ? 1 : -1;
        EXPECT_LE(running, 2) << events.join(", ").toStdString();
    }
    for (const QString &name : names)
        EXPECT_LT(events.indexOf("start " + name), events.indexOf("end " + name));
    EXPECT_EQ(alerts->errors.size(), 1);
    EXPECT_EQ(controller.documents().size(), 2);
}

// A drawing whose parser crashes, or is killed in the middle of a large
// drawing, fails alone: the application, the drawings it shows and the
// next drawing opened are not touched.
TEST(Document, AParserThatDiesFailsOnlyItsDocument)
{
    DocumentController controller;
    auto alerts = std::make_shared<RecordingAlertPresenter>();
    controller.setAlertPresenter(alerts);
    Document *shown = controller.openDocument(drawing("files/x7_models-heart_part1.cdr"));
    ASSERT_TRUE(waitForPage(*shown));
    const QList<QUrl> shownFiles = shown->tempURLs();
    ASSERT_EQ(shownFiles.size(), 2);
    const QImage picture = settledPicture(*shown->webView());

    {
        TestParser parser("crash", "cdr13_xapian_test1");
        QPointer<Document> crashing =
            controller.openDocument(drawing("files/cdr13_xapian_test1.cdr"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return alerts->errors.size() == 1; }, 60000));
        deleteClosedDocuments();
        EXPECT_TRUE(crashing.isNull());
    }
    QPointer<Document> killed;
    ImageFileWatch watch([&] {
        for (pid_t pid : parserProcesses())
            ::kill(pid, SIGKILL);
    });
    killed = controller.openDocument(drawing("files/v23_2021_corolDrow_zakaz.cdr"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return alerts->errors.size() == 2; }, 60000));
    deleteClosedDocuments();
    EXPECT_TRUE(killed.isNull());
    EXPECT_EQ(watch.files().size(), 1);
    EXPECT_EQ(watch.remaining(), QList<QUrl>());
    for (const Error &error : std::as_const(alerts->errors)) {
        EXPECT_EQ(error.code(), CDR2SVG::ConversionFailedError);
        EXPECT_EQ(error.localizedDescription(), CDR2SVG::NewerVersionMessage);
    }
    // The reason below the message says what became of the parse.
    EXPECT_EQ(alerts->errors[0].localizedFailureReason(),
              "libcdr crashed while reading “cdr13_xapian_test1.cdr”: the file is damaged, or "
              "libcdr cannot read it.");

    EXPECT_EQ(controller.documents(), QList<Document *>{shown});
    EXPECT_TRUE(shown->windowForSheet()->isVisible());
    EXPECT_EQ(shown->tempURLs(), shownFiles);
    for (const QUrl &url : shownFiles)
        EXPECT_TRUE(QFile::exists(url.toLocalFile()));
    EXPECT_EQ(settledPicture(*shown->webView()), picture);
    Document *next = controller.openDocument(drawing("files/x7_dblab_test.cdr"));
    EXPECT_TRUE(waitForPage(*next));
    EXPECT_EQ(parserProcesses(), QList<pid_t>());
}

// A drawing that keeps its parser busy does not hold up the others, and
// closing its loading document ends its parser.
TEST(Document, AHangingDrawingHoldsUpNoOtherAndGoesWhenClosed)
{
    DocumentController controller;
    controller.setAlertPresenter(std::make_shared<RecordingAlertPresenter>());
    TestParser parser("hang", "x6_dblab_fly_storage");
    QPointer<Document> hanging = controller.openDocument(drawing("files/x6_dblab_fly_storage.cdr"));
    Document *other = controller.openDocument(drawing("files/cdr13_xapian_test1.cdr"));
    ASSERT_TRUE(waitForPage(*other));
    EXPECT_TRUE(hanging->ui()->loadingPanel->isVisible());
    EXPECT_EQ(parserProcesses().size(), 1);
    hanging->close();
    deleteClosedDocuments();
    EXPECT_TRUE(hanging.isNull());
    EXPECT_TRUE(waitForConversions());
    EXPECT_EQ(parserProcesses(), QList<pid_t>());
}

TEST(Document, ShowsDrawnImagesAndDeletesTheirFilesOnClose)
{
    DocumentController controller;
    controller.setAlertPresenter(std::make_shared<RecordingAlertPresenter>());
    QPointer<Document> document =
        controller.openDocument(drawing("files/v23_2021_corolDrow_zakaz.cdr"));
    ASSERT_TRUE(waitForPage(*document));
    const QList<QUrl> files = document->tempURLs();
    ASSERT_FALSE(files.isEmpty());
    for (const QUrl &url : files)
        EXPECT_TRUE(QFile::exists(url.toLocalFile())) << url.toString().toStdString();

    // The images are really drawn: hiding them changes the picture.
    QWidget &view = *document->webView();
    const QImage withImages = settledPicture(view);
    bool hidden = false;
    document->webView()->page()->runJavaScript(
        "document.querySelectorAll('image').forEach(function(i) { i.style.display = 'none'; });"
        "true",
        [&](const QVariant &) { hidden = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return hidden; }));
    EXPECT_NE(settledPicture(view), withImages);

    LogCapture log;
    document->close();
    deleteClosedDocuments();
    ASSERT_TRUE(document.isNull());
    for (const QUrl &url : files) {
        EXPECT_FALSE(QFile::exists(url.toLocalFile()));
        EXPECT_EQ(log.count("Removing file at URL: " + url.toString()), 1);
    }
}

TEST(Document, ClosedMidConversionLeavesNoImageFiles)
{
    DocumentController controller;
    controller.setAlertPresenter(std::make_shared<RecordingAlertPresenter>());
    QPointer<Document> document;
    bool closedMidway = false;
    // The drawing has many images: the document closes and goes away after
    // the first, and its parser with it.
    ImageFileWatch watch([&] {
        document->close();
        deleteClosedDocuments();
        closedMidway = document.isNull();
    });
    document = controller.openDocument(drawing("files/v23_2021_corolDrow_zakaz.cdr"));
    ASSERT_TRUE(waitForConversions());
    EXPECT_TRUE(closedMidway);
    EXPECT_EQ(watch.files().size(), 1);
    EXPECT_EQ(watch.remaining(), QList<QUrl>());
    EXPECT_EQ(parserProcesses(), QList<pid_t>());
}

TEST(Document, ClosedBeforeItsConversionStartsIsNotConverted)
{
    DocumentController controller;
    controller.setAlertPresenter(std::make_shared<RecordingAlertPresenter>());
    QPointer<Document> busy;
    QPointer<Document> waiting;
    // The first conversion is held at its first image, the second keeps
    // its parser busy, while the third document, still waiting in the
    // queue, closes; then the busy one closes.
    TestParser parser("hang", "x6_dblab_fly_storage");
    ImageFileWatch watch([&] {
        waiting->close();
        busy->close();
        deleteClosedDocuments();
    });
    Document *first = controller.openDocument(drawing("files/v23_2021_corolDrow_zakaz.cdr"));
    busy = controller.openDocument(drawing("files/x6_dblab_fly_storage.cdr"));
    waiting = controller.openDocument(drawing("files/v20_2018_corolDrow_AAAAA.cdr"));
    ASSERT_TRUE(waitForConversions());
    EXPECT_TRUE(waiting.isNull());
    EXPECT_TRUE(busy.isNull());
    ASSERT_TRUE(QTest::qWaitFor([&] { return first->windowForSheet()->isVisible(); }, 120000));
    // Nothing was written for the closed document; the shown one keeps its
    // images until it closes.
    EXPECT_EQ(watch.files(), first->tempURLs());
    EXPECT_EQ(watch.remaining(), watch.files());
    first->close();
    deleteClosedDocuments();
    EXPECT_EQ(watch.remaining(), QList<QUrl>());
}

TEST(Document, NoContextMenuOnTheDrawing)
{
    DocumentController controller;
    Document *document = controller.openDocument(drawing("files/x7_dblab_test.cdr"));
    ASSERT_TRUE(waitForPage(*document));
    EXPECT_EQ(document->webView()->contextMenuPolicy(), Qt::NoContextMenu);
}
