#include "ParserTestSupport.h"
#include "TestDrawings.h"

#include "conversion/CDR2SVG.h"
#include "conversion/CDRStringVector.h"
#include "conversion/ConversionFailure.h"
#include "conversion/GenerateSVG.h"
#include "conversion/PageDocument.h"
#include "conversion/TMPManager.h"
#include "foundation/NotificationCenter.h"

#include <QDirIterator>
#include <QProcess>
#include <QUrl>

#include <librevenge-stream/librevenge-stream.h>

#include <gtest/gtest.h>

#include <csignal>
#include <future>
#include <optional>
#include <sys/wait.h>

using ParserProtocol::Format;

namespace {

// A conversion's outcome with its images taken out of the temporary
// folder: each reference names the image by its place instead of by its
// file, whose name is new on every run.
struct Conversion
{
    int code = 0;
    QString message;
    QString reason;
    QByteArray document;
    QList<QByteArray> images;
    bool operator==(const Conversion &) const = default;
};

Conversion failure(int code, const QString &message, const QString &reason)
{
    Conversion conversion;
    conversion.code = code;
    conversion.message = message;
    conversion.reason = reason;
    return conversion;
}

void PrintTo(const Conversion &c, std::ostream *out)
{
    *out << "code " << c.code << " (" << c.reason.toStdString() << "), " << c.document.size()
         << " bytes, " << c.images.size() << " images";
}

// Collects the images announced while it lives, and removes them.
class ImageFiles
{
public:
    explicit ImageFiles(std::function<void()> atEach = {})
        : m_atEach(std::move(atEach))
    {
        NotificationCenter::defaultCenter().addObserver(
            TMPManager::DidSaveFileNotification, nullptr, this, [this](const Notification &n) {
                urls.append(n.userInfo.value(TMPManager::FilePathKey).toUrl());
                if (m_atEach)
                    m_atEach();
            });
    }
    ~ImageFiles()
    {
        NotificationCenter::defaultCenter().removeObserver(this);
        for (const QUrl &url : std::as_const(urls))
            QFile::remove(url.toLocalFile());
    }
    ImageFiles(const ImageFiles &) = delete;
    ImageFiles &operator=(const ImageFiles &) = delete;

    // The document with the images taken out.
    Conversion conversion(QByteArray document) const
    {
        Conversion result;
        for (qsizetype i = 0; i < urls.size(); ++i) {
            QFile image(urls[i].toLocalFile());
            EXPECT_TRUE(image.open(QIODevice::ReadOnly)) << image.fileName().toStdString();
            result.images.append(image.readAll());
            document.replace(urls[i].toEncoded(), "image:" + QByteArray::number(i));
        }
        result.document = document;
        return result;
    }

    QList<QUrl> urls;

private:
    std::function<void()> m_atEach;
};

// The conversion as it was done inside the application, by the converter
// for the file.
Conversion convertedInProcess(const QString &path)
{
    using Stage = ConversionFailure::Stage;
    const Format format =
        DrawingConverter::isExchangeFile(path) ? Format::CorelExchange : Format::CorelDraw;
    auto failed = [&path](int code, const QString &message, Stage stage) {
        return failure(code, message, ConversionFailure::reason(path, stage));
    };
    ImageFiles images;
    librevenge::RVNGFileStream input(path.toUtf8().constData());
    if (!isSupported(input, format))
        return failed(CDR2SVG::UnsupportedFileError, CDR2SVG::NewerVersionMessage, Stage::Rejected);
    CDRStringVector pages;
    if (!generateSVG(input, pages, format))
        return failed(CDR2SVG::ConversionFailedError, CDR2SVG::NewerVersionMessage,
                      Stage::ParseFailed);
    if (pages.empty())
        return failed(CDR2SVG::ConversionFailedError, CDR2SVG::CannotOpenMessage, Stage::NoPages);
    return images.conversion(PageDocument::write(pages));
}

Conversion convertedByParser(const QString &path)
{
    ImageFiles images;
    const std::shared_ptr<DrawingConverter> converter = DrawingConverter::forFile(path);
    Error error;
    if (!converter->convertToSVG(&error)) {
        EXPECT_TRUE(converter->svgData().isNull());
        return failure(error.code(), error.localizedDescription(), error.localizedFailureReason());
    }
    return images.conversion(converter->svgData());
}

Conversion convertedByParser(const QString &path, ParserLimits limits)
{
    ImageFiles images;
    CDR2SVG converter(path, limits);
    Error error;
    if (!converter.convertToSVG(&error)) {
        EXPECT_TRUE(converter.svgData().isNull());
        return failure(error.code(), error.localizedDescription(), error.localizedFailureReason());
    }
    return images.conversion(converter.svgData());
}

QStringList corpus()
{
    QStringList files;
    for (const char *folder : {"files", "bad"}) {
        QDirIterator it(corpusFile(QString::fromLatin1(folder)), QDir::Files);
        while (it.hasNext())
            files.append(it.next());
    }
    files.sort();
    return files;
}

} // namespace

// Drawings and exchange files, good and bad: the same documents and
// images, or the same failures with the same reasons.
TEST(ParserProcessTest, CorpusConvertsByteForByteAsInsideTheApplication)
{
    const QStringList files = corpus();
    ASSERT_GT(files.size(), 20);
    ASSERT_FALSE(files.filter(QStringLiteral(".cmx")).isEmpty());
    int converted = 0;
    for (const QString &path : files) {
        SCOPED_TRACE(path.toStdString());
        const Conversion expected = convertedInProcess(path);
        EXPECT_EQ(convertedByParser(path), expected);
        converted += expected.code == 0 ? 1 : 0;
    }
    EXPECT_GE(converted, 18);
    EXPECT_EQ(parserProcesses(), QList<pid_t>());
}

// The drawing has 22 images; its parser waits for the answer to the
// first when it is killed from outside, as a user or the system might.
class KilledParserTest : public testing::TestWithParam<int>
{};

TEST_P(KilledParserTest, FailsTheConversionAndLeavesNoProcess)
{
    const int signal = GetParam();
    QList<pid_t> killed;
    ImageFiles images([&] {
        if (killed.isEmpty()) {
            killed = parserProcesses();
            for (pid_t pid : killed)
                ::kill(pid, signal);
        }
    });
    CDR2SVG converter(drawing("v23_2021_corolDrow_zakaz.cdr"));
    Error error;
    EXPECT_FALSE(converter.convertToSVG(&error));
    ASSERT_EQ(killed.size(), 1);
    EXPECT_EQ(error.code(), CDR2SVG::ConversionFailedError);
    EXPECT_EQ(error.localizedDescription(), CDR2SVG::NewerVersionMessage);
    EXPECT_EQ(error.localizedFailureReason(),
              "libcdr crashed while reading “v23_2021_corolDrow_zakaz.cdr”: the file is damaged, "
              "or libcdr cannot read it.");
    EXPECT_TRUE(converter.failureDetail().startsWith(
        QStringLiteral("The parser was stopped by signal %1 ").arg(signal)))
        << converter.failureDetail().toStdString();
    EXPECT_TRUE(converter.svgData().isNull());
    // The image it had sent was written and announced, for its owner to remove.
    ASSERT_EQ(images.urls.size(), 1);
    EXPECT_TRUE(QFile::exists(images.urls[0].toLocalFile()));
    EXPECT_EQ(parserProcesses(), QList<pid_t>());
}

INSTANTIATE_TEST_SUITE_P(Signals, KilledParserTest, testing::Values(SIGKILL, SIGSEGV, SIGTERM));

TEST(ParserProcessTest, MisbehavingParsersFailTheConversionAndLeaveNoProcess)
{
    using Stage = ConversionFailure::Stage;
    const QString path = drawing("x5_irank_modelo1.cdr");
    struct Case
    {
        QByteArray mode;
        ParserLimits limits;
        QString detail; // how the failure's detail begins
        std::optional<Stage> stage;
    };
    const Case cases[] = {
        {"crash", {}, "The parser was stopped by signal 11 ", Stage::ParserCrashed},
        {"crash-after-result", {}, "The parser was stopped by signal 11 ", Stage::ParserCrashed},
        {"hang",
         {std::chrono::seconds(1)},
         "The parser took longer than 1 seconds.",
         Stage::ParserTimedOut},
        // Under AddressSanitizer the resident size is limited instead, and
        // the sanitizer ends the process in a way of its own.
        {"allocate", {std::chrono::seconds(600), 512 << 20}, "The parser ", std::nullopt},
        {"lie", {}, "The parser sent data that is not a valid answer.", Stage::ParserCrashed},
        {"garbage", {}, "The parser sent data that is not a valid answer.", Stage::ParserCrashed},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode.toStdString());
        TestParser parser(c.mode);
        ImageFiles images;
        CDR2SVG converter(path, c.limits);
        Error error;
        EXPECT_FALSE(converter.convertToSVG(&error));
        EXPECT_EQ(error.code(), CDR2SVG::ConversionFailedError);
        EXPECT_EQ(error.localizedDescription(), CDR2SVG::NewerVersionMessage);
        if (c.stage) {
            EXPECT_EQ(error.localizedFailureReason(), ConversionFailure::reason(path, *c.stage));
        }
        EXPECT_TRUE(converter.failureDetail().startsWith(c.detail))
            << converter.failureDetail().toStdString();
        EXPECT_TRUE(converter.svgData().isNull());
        EXPECT_EQ(parserProcesses(), QList<pid_t>());
    }
}

// libcdr swallows the failed allocation and makes some pages before it
// gives up; the application hears that memory ran out, and gets no page.
TEST(ParserProcessTest, ADrawingTooLargeForTheMemoryLimitFailsAsOutOfMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "sanitizer builds limit the resident size, not the address space";
#endif
    const QString path = drawing("v22_2020_lampu-UV_pcb.cdr");
    ImageFiles images;
    CDR2SVG converter(path, {std::chrono::seconds(60), 128 << 20});
    Error error;
    EXPECT_FALSE(converter.convertToSVG(&error));
    EXPECT_EQ(error.code(), CDR2SVG::ConversionFailedError);
    EXPECT_EQ(error.localizedDescription(), CDR2SVG::NewerVersionMessage);
    EXPECT_EQ(error.localizedFailureReason(),
              ConversionFailure::reason(path, ConversionFailure::Stage::ParserOutOfMemory));
    EXPECT_EQ(converter.failureDetail(),
              "The drawing needs more than the 128 MiB of memory the parser may use.");
    EXPECT_TRUE(converter.svgData().isNull());

    // With the default limit it converts.
    CDR2SVG unlimited(path);
    EXPECT_TRUE(unlimited.convertToSVG(nullptr));
}

TEST(ParserProcessTest, TheTestParserBehavesAsTheRealOneUnlessTold)
{
    const QString path = drawing("x7_models-heart_part1.cdr");
    const Conversion expected = convertedByParser(path);
    ASSERT_EQ(expected.code, 0);
    TestParser parser("crash", "no drawing has this in its path");
    EXPECT_EQ(convertedByParser(path), expected);
}

TEST(ParserProcessTest, ParserCanMakeNoSocketAndKeepsNoOtherDescriptor)
{
    TestParser parser("report");
    CDR2SVG converter(drawing("x7_dblab_test.cdr"));
    EXPECT_FALSE(converter.convertToSVG(nullptr));
    EXPECT_EQ(converter.failureDetail(),
              "descriptors=0,1,2,3 inet=EACCES inet6=EACCES unix=EACCES netlink=EACCES "
              "socketpair=EACCES core=0");
}

TEST(ParserProcessTest, CancellingEndsAParseAtOnceAndEveryLaterOne)
{
    TestParser parser("hang");
    CDR2SVG converter(drawing("x7_dblab_test.cdr"), {std::chrono::seconds(600)});
    std::future<bool> converted =
        std::async(std::launch::async, [&] { return converter.convertToSVG(nullptr); });
    ASSERT_TRUE(eventually([] { return parserProcesses().size() == 1; }));
    converter.cancel();
    EXPECT_FALSE(converted.get());
    EXPECT_EQ(converter.failureDetail(), "The conversion was cancelled.");
    EXPECT_EQ(parserProcesses(), QList<pid_t>());

    Error error;
    EXPECT_FALSE(converter.convertToSVG(&error));
    EXPECT_EQ(error.code(), CDR2SVG::ConversionFailedError);
    EXPECT_EQ(converter.failureDetail(), "The conversion was cancelled.");
}

TEST(ParserProcessTest, MissingParserFailsTheConversion)
{
    qputenv("QUILLMOOR_PARSER", "/nonexistent/quillmoor-parser");
    CDR2SVG converter(drawing("x7_dblab_test.cdr"));
    Error error;
    EXPECT_FALSE(converter.convertToSVG(&error));
    qunsetenv("QUILLMOOR_PARSER");
    EXPECT_EQ(error.code(), CDR2SVG::ConversionFailedError);
    EXPECT_EQ(error.localizedFailureReason(),
              "“x7_dblab_test.cdr” could not be read: the program that reads drawings "
              "(quillmoor-parser) could not be started.");
    EXPECT_TRUE(converter.failureDetail().startsWith(
        "The parser /nonexistent/quillmoor-parser could not be started: "))
        << converter.failureDetail().toStdString();
}

// A parser whose program went away, killed or crashed, is not left
// behind: it dies with the thread that started it.
TEST(ParserProcessTest, ParserDiesWithTheProgramThatStartedIt)
{
    TestParser parser("hang");
    QProcess convert;
    convert.setProcessChannelMode(QProcess::ForwardedChannels);
    convert.start(QStringLiteral(QUILLMOOR_CONVERT), {drawing("x7_dblab_test.cdr")});
    ASSERT_TRUE(convert.waitForStarted());
    const pid_t program = pid_t(convert.processId());
    QList<pid_t> parsers;
    ASSERT_TRUE(eventually([&] { return !(parsers = parserProcesses(program)).isEmpty(); }));
    convert.kill();
    ASSERT_TRUE(convert.waitForFinished());
    EXPECT_TRUE(eventually([&] {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(parsers[0]));
        // Gone, or ended and waiting to be reaped by whoever adopted it.
        return !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
    }));
}

TEST(ParserProcessTest, ASpareParserServesTheNextConversionAndIsNoConditionForIt)
{
    const QString path = drawing("x5_irank_modelo1.cdr");
    const Conversion expected = convertedInProcess(path);
    ParserProcess::keepSpare();
    struct NoMoreSpares
    {
        ~NoMoreSpares() { ParserProcess::keepSpare(false); }
    } noMoreSpares;
    const QList<pid_t> first = parserProcesses();
    ASSERT_EQ(first.size(), 1);

    // The conversion takes the waiting parser; another waits after it.
    EXPECT_EQ(convertedByParser(path), expected);
    const QList<pid_t> second = parserProcesses();
    ASSERT_EQ(second.size(), 1);
    EXPECT_NE(second, first);

    // Other limits than the spare's: a parser of its own.
    EXPECT_EQ(convertedByParser(path, {std::chrono::seconds(10)}), expected);
    EXPECT_EQ(parserProcesses(), second);

    // A spare that died meanwhile is replaced at once.
    ::kill(second[0], SIGKILL);
    siginfo_t ended;
    ASSERT_EQ(::waitid(P_PID, id_t(second[0]), &ended, WEXITED | WNOWAIT), 0);
    EXPECT_EQ(convertedByParser(path), expected);
    const QList<pid_t> third = parserProcesses();
    ASSERT_EQ(third.size(), 1);
    EXPECT_NE(third, second);

    // Once spares are no longer kept, the waiting one ends.
    ParserProcess::keepSpare(false);
    EXPECT_EQ(parserProcesses(), QList<pid_t>());
    EXPECT_EQ(convertedByParser(path), expected);
    EXPECT_EQ(parserProcesses(), QList<pid_t>());
}
