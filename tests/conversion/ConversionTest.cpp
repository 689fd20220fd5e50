#include "ParserTestSupport.h"
#include "TestDrawings.h"

#include "conversion/CDR2SVG.h"
#include "conversion/CDRLoadOperation.h"
#include "conversion/ConversionQueue.h"
#include "conversion/TMPManager.h"
#include "conversion/TemporaryFiles.h"
#include "foundation/NotificationCenter.h"
#include "foundation/OperationQueue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QThread>
#include <QUrl>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <cmath>

namespace {

const QByteArray Head =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
    "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n"
    "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:svg=\"http://www.w3.org/2000/svg\" "
    "xmlns:xlink=\"http://www.w3.org/1999/xlink\">\n"
    "<body>\n"
    "<?import namespace=\"svg\" urn=\"http://www.w3.org/2000/svg\"?>\n"
    "<!-- \n"
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
    "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
    "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\n"
    " -->\n"
    "<svg:svg id=\"svgRoot\" ";

struct Counts
{
    int pages = 0;
    int paths = 0;
    int images = 0;
    int texts = 0;
};

// Parses the whole document, so that a malformed one fails the test.
Counts countElements(const QByteArray &document)
{
    Counts counts;
    QXmlStreamReader xml(document);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.namespaceUri() != QLatin1String("http://www.w3.org/2000/svg"))
            continue;
        const QStringView name = xml.name();
        counts.pages += name == QLatin1String("svg");
        counts.paths += name == QLatin1String("path");
        counts.images += name == QLatin1String("image");
        // A text box whose paragraphs wrap is written as XHTML in the page.
        counts.texts += name == QLatin1String("text") || name == QLatin1String("foreignObject");
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return counts;
}

// Deletes the images a conversion wrote, as a document would.
class ImageCollector
{
public:
    ImageCollector()
    {
        NotificationCenter::defaultCenter().addObserver(
            TMPManager::DidSaveFileNotification, nullptr, this,
            [this](const Notification &n) { urls.append(n.userInfo.value("FilePath").toUrl()); });
    }
    ~ImageCollector()
    {
        NotificationCenter::defaultCenter().removeObserver(this);
        for (const QUrl &url : std::as_const(urls))
            QFile::remove(url.toLocalFile());
    }
    QList<QUrl> urls;
};

} // namespace

TEST(ConversionTest, RealDrawingsConvertIntoWellFormedPageDocuments)
{
    struct Case
    {
        const char *file;
        Counts expected;
    };
    // Counts as libcdr's own converter reports them for the same files.
    const Case cases[] = {
        {"cdr08_cryptosticky_Graphic2.cdr", {1, 8, 0, 0}},
        {"cdr12_CEMNG_LOGO2.cdr", {1, 373, 0, 14}},
        {"x5_irank_modelo1.cdr", {7, 146, 0, 35}},
        {"x5_xapian_test2.cdr", {2, 0, 0, 2}},
        {"x7_models-heart_part1.cdr", {5, 55, 2, 11}},
        {"v23_2021_corolDrow_zakaz.cdr", {1, 53, 22, 6}},
        // CorelDRAW X4 needs the private libcdr build (scripts/setup-libcdr).
        {"x4_tandoon_Graphic1.cdr", {3, 50, 0, 2}},
    };
    for (const Case &c : cases) {
        ImageCollector images;
        CDR2SVG converter(drawing(c.file));
        Error error;
        ASSERT_TRUE(converter.convertToSVG(&error)) << c.file;
        const QByteArray &document = converter.svgData();
        EXPECT_TRUE(document.startsWith(Head)) << c.file;
        EXPECT_TRUE(document.endsWith("</svg:svg>\n\n</body>\n</html>\n")) << c.file;
        const Counts counts = countElements(document);
        EXPECT_EQ(counts.pages, c.expected.pages) << c.file;
        EXPECT_EQ(counts.paths, c.expected.paths) << c.file;
        EXPECT_EQ(counts.images, c.expected.images) << c.file;
        EXPECT_EQ(counts.texts, c.expected.texts) << c.file;
        EXPECT_EQ(images.urls.size(), c.expected.images) << c.file;
        // Pages are separated, never preceded, by a rule.
        EXPECT_EQ(document.count("</svg:svg>\n\n<hr/>\n<!-- \n"), c.expected.pages - 1) << c.file;
        EXPECT_EQ(document.count("<hr/>"), c.expected.pages - 1) << c.file;
    }
}

// The drawing stores eleven of its photos upside down and mirrors them back
// when it draws them; one of them is in sight on the page.
TEST(ConversionTest, MirroredBitmapsAreDrawnTheRightWayUp)
{
    ImageCollector images;
    CDR2SVG converter(drawing("v23_2021_corolDrow_zakaz.cdr"));
    ASSERT_TRUE(converter.convertToSVG(nullptr));
    const QByteArray &document = converter.svgData();
    EXPECT_EQ(document.count("<svg:image "), 22);
    EXPECT_EQ(document.count(" scale(1, -1) "), 11);
    EXPECT_TRUE(document.contains(
        "<svg:image x=\"426.57\" y=\"219.781\" width=\"154.833\" height=\"154.833\" "
        "preserveAspectRatio=\"none\" transform=\"translate(503.987, 297.198) rotate(0) "
        "scale(1, -1) translate(-503.987, -297.198)\" "));
}

// The poker chip's card letters are turned with their cards: on page 1 the
// A by 80 degrees, the K by 40 and the J by -40, each in its own coordinates
// and drawn at its origin.
TEST(ConversionTest, TurnedTextIsDrawnTurned)
{
    CDR2SVG converter(drawing("x5_irank_modelo1.cdr"));
    ASSERT_TRUE(converter.convertToSVG(nullptr));
    const QByteArray &document = converter.svgData();
    QXmlStreamReader xml(document);
    QMap<QString, double> turns;
    QString transform;
    int page = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("svg"))
            ++page;
        if (page != 1)
            continue;
        if (xml.isStartElement() && xml.name() == QLatin1String("text")) {
            transform = xml.attributes().value("transform").toString();
            if (!transform.isEmpty()) {
                EXPECT_EQ(xml.attributes().value("x"), QLatin1String("0"));
                EXPECT_EQ(xml.attributes().value("y"), QLatin1String("0"));
            }
        } else if (xml.isCharacters() && !transform.isEmpty() && !xml.isWhitespace()) {
            const QStringList m = transform.mid(7, transform.size() - 8).split(' ');
            ASSERT_EQ(m.size(), 6) << transform.toStdString();
            turns[xml.text().trimmed().toString()] =
                std::atan2(m[1].toDouble(), m[0].toDouble()) * 180 / M_PI;
            transform.clear();
        }
    }
    EXPECT_FALSE(xml.hasError());
    ASSERT_EQ(turns.size(), 4) << QStringList(turns.keys()).join(',').toStdString();
    EXPECT_NEAR(turns["A"], 80, 0.1);
    EXPECT_NEAR(turns["K"], 40, 0.1);
    EXPECT_NEAR(turns["J"], -40, 0.1);
    // The name is only condensed.
    EXPECT_EQ(turns["iRank"], 0);
}

// The chip's numbers are white with a black outline, its name's outline
// lies behind the white fill.
TEST(ConversionTest, OutlinedTextKeepsItsOutline)
{
    CDR2SVG converter(drawing("x5_irank_modelo1.cdr"));
    ASSERT_TRUE(converter.convertToSVG(nullptr));
    const QByteArray &document = converter.svgData();
    EXPECT_TRUE(document.contains("font-size=\"37\" fill=\"#ffffff\" stroke=\"#000200\" "
                                  "stroke-width=\"0.708661\" >\n5\n"));
    EXPECT_TRUE(document.contains("font-size=\"10.5\" fill=\"#ffffff\" stroke=\"#000000\" "
                                  "stroke-width=\"0.566929\" paint-order=\"stroke\" >\niRank\n"));
}

TEST(ConversionTest, NonAsciiTextKeepsItsUtf8Bytes)
{
    CDR2SVG converter(drawing("x5_xapian_test2.cdr"));
    ASSERT_TRUE(converter.convertToSVG(nullptr));
    EXPECT_TRUE(converter.svgData().contains("\xd0\xb5\xd0\xb4\xd0\xbe\xd0\xb9")); // "едой"
    EXPECT_FALSE(converter.svgData().startsWith("\xef\xbb\xbf"));
}

TEST(ConversionTest, UnusableFilesFailWithTheirCodeAndMessage)
{
    struct Case
    {
        QString path;
        int code;
        QString message;
    };
    const Case cases[] = {
        {damagedFile("text_renamed.cdr"), 10, CDR2SVG::NewerVersionMessage},
        {damagedFile("empty.cdr"), 10, CDR2SVG::NewerVersionMessage},
        {damagedFile("zip_random_member.cdr"), 10, CDR2SVG::NewerVersionMessage},
        {damagedFile("truncated30_riff_cdr13_pcbdesignDiya_10s5p.cdr"), 11,
         CDR2SVG::NewerVersionMessage},
        {drawing("cmx_libreoffice_fdo63782-1.cmx"), 10, CDR2SVG::NewerVersionMessage},
        {QStringLiteral("/nonexistent/drawing.cdr"), 10, CDR2SVG::NewerVersionMessage},
    };
    EXPECT_EQ(CDR2SVG::NewerVersionMessage,
              "This file is created with newer version of CorelDRAW, to open this file update to "
              "Quillmoor 2!");
    for (const Case &c : cases) {
        ImageCollector images;
        CDR2SVG converter(c.path);
        Error error;
        EXPECT_FALSE(converter.convertToSVG(&error)) << c.path.toStdString();
        EXPECT_EQ(error.domain(), "NSCocoaErrorDomain");
        EXPECT_EQ(error.code(), c.code) << c.path.toStdString();
        EXPECT_EQ(error.localizedDescription(), c.message);
        // Beside the message, what really happened (see ConversionFailureTest).
        EXPECT_EQ(error.userInfo().size(), 2);
        EXPECT_FALSE(error.localizedFailureReason().isEmpty());
        EXPECT_TRUE(converter.svgData().isNull());
    }
}

namespace {

// A document stand-in that records the load operation's callbacks.
class RecordingDocument : public QObject, public CDRLoadOperationDelegate
{
public:
    explicit RecordingDocument(QString name, QStringList &journal)
        : m_name(std::move(name))
        , m_journal(journal)
    {}
    void cdrLoadOperationWillStart(CDRLoadOperation *) override { record("start"); }
    void cdrLoadOperationDidFinish(CDRLoadOperation *operation) override
    {
        record("finish");
        documentBytes = operation->convertor()->svgData().size();
    }
    void cdrLoadOperationDidFailWithError(const Error &error) override
    {
        record("fail " + QString::number(error.code()));
    }
    qsizetype documentBytes = 0;

private:
    void record(const QString &what)
    {
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        m_journal.append(m_name + " " + what);
    }
    QString m_name;
    QStringList &m_journal;
};

std::shared_ptr<CDRLoadOperation> loadOperation(QObject *document, const QString &path)
{
    auto operation = std::make_shared<CDRLoadOperation>();
    operation->setDocument(document);
    operation->setConvertor(std::make_shared<CDR2SVG>(path));
    return operation;
}

// Runs the main thread's events until the operation has finished.
void waitFor(const std::shared_ptr<CDRLoadOperation> &operation)
{
    QElapsedTimer timer;
    timer.start();
    while (!operation->isFinished() && timer.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_TRUE(operation->isFinished());
}

} // namespace

TEST(LoadOperationTest, DocumentsConvertTwoAtATimeAndAreToldOnTheMainThread)
{
    int argc = 1;
    char name[] = "test";
    char *argv[] = {name};
    QCoreApplication app(argc, argv);
    EXPECT_EQ(conversionQueue().maxConcurrentOperationCount(), 2);

    QStringList journal;
    RecordingDocument first("first", journal);
    RecordingDocument second("second", journal);
    RecordingDocument broken("broken", journal);
    auto a = loadOperation(&first, drawing("x6_dblab_fly_storage.cdr"));
    auto b = loadOperation(&second, drawing("cdr08_cryptosticky_Graphic2.cdr"));
    auto c = loadOperation(&broken, damagedFile("empty.cdr"));
    for (const auto &operation : {a, b, c})
        conversionQueue().addOperation(operation);
    for (const auto &operation : {a, b, c})
        waitFor(operation);
    // Each is told it starts, then its one outcome; never more than two
    // run at once.
    EXPECT_EQ(journal.size(), 6);
    for (const QString outcome : {"first finish", "second finish", "broken fail 10"}) {
        const QString document = outcome.section(' ', 0, 0);
        EXPECT_LT(journal.indexOf(document + " start"), journal.indexOf(outcome))
            << outcome.toStdString();
    }
    int running = 0;
    for (const QString &entry : journal) {
        running += entry.endsWith(" start") ? 1 : -1;
        EXPECT_LE(running, 2);
    }
    EXPECT_GT(first.documentBytes, 0);

    // A document that went away before its conversion is simply not told.
    journal.clear();
    auto orphan = std::make_shared<CDRLoadOperation>();
    {
        RecordingDocument gone("gone", journal);
        orphan = loadOperation(&gone, drawing("cdr08_cryptosticky_Graphic2.cdr"));
    }
    conversionQueue().addOperation(orphan);
    waitFor(orphan);
    EXPECT_TRUE(journal.isEmpty());
}

TEST(LoadOperationTest, ASlowDrawingHoldsUpNoOtherAndEndsAtOnceWhenCancelled)
{
    int argc = 1;
    char name[] = "test";
    char *argv[] = {name};
    QCoreApplication app(argc, argv);
    TestParser parser("hang", "x6_dblab_fly_storage");

    QStringList journal;
    RecordingDocument slow("slow", journal);
    RecordingDocument second("second", journal);
    RecordingDocument third("third", journal);
    auto a = loadOperation(&slow, drawing("x6_dblab_fly_storage.cdr"));
    auto b = loadOperation(&second, drawing("cdr08_cryptosticky_Graphic2.cdr"));
    auto c = loadOperation(&third, drawing("x7_dblab_test.cdr"));
    for (const auto &operation : {a, b, c})
        conversionQueue().addOperation(operation);
    waitFor(b);
    waitFor(c);
    EXPECT_FALSE(a->isFinished());
    EXPECT_EQ(parserProcesses().size(), 1);

    // As when its document closes: its parser goes, and it tells nothing more.
    a->cancel();
    waitFor(a);
    EXPECT_EQ(parserProcesses(), QList<pid_t>());
    EXPECT_TRUE(journal.contains("slow start"));
    EXPECT_TRUE(journal.contains("second finish"));
    EXPECT_TRUE(journal.contains("third finish"));
    EXPECT_EQ(journal.filter("slow").size(), 1);
}

TEST(LoadOperationTest, ImagesOfAnOperationWithoutDocumentAreRemoved)
{
    // Nobody takes the outcome, so the operation removes what it wrote.
    auto operation = loadOperation(nullptr, drawing("v23_2021_corolDrow_zakaz.cdr"));
    operation->start();
    ASSERT_TRUE(operation->isFinished());
    EXPECT_TRUE(operation->temporaryFiles()->urls().isEmpty());
    int left = 0;
    for (const QString &path : TMPManager::instance().savedPaths())
        left += QFile::exists(path) ? 1 : 0;
    EXPECT_EQ(left, 0);
}

// Closing the store ends it for the process, so this runs in a child.
TEST(TMPManagerDeathTest, ClosedStoreRemovesItsFilesAndWritesNoMore)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const unsigned char image[] = {'B', 'M', 1, 2, 3};
    EXPECT_EXIT(
        {
            TMPManager &store = TMPManager::instance();
            const QUrl before(QString::fromStdString(store.save(image, sizeof image)));
            const bool written = QFile::exists(before.toLocalFile());
            store.close();
            const bool removed = !QFile::exists(before.toLocalFile());
            const bool refused = store.save(image, sizeof image).empty();
            std::exit(written && removed && refused && store.isClosed() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}
