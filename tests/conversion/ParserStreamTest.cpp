#include "conversion/ParserStream.h"
#include "conversion/CDRStringVector.h"
#include "conversion/ParserService.h"

#include <gtest/gtest.h>

using namespace ParserProtocol;

namespace {

constexpr std::uint64_t Limit = 1 << 20;

QByteArray result(Outcome outcome, const QByteArray &detail = {})
{
    return frame(Frame::Result, char(outcome) + detail);
}

// Writes nothing; answers with a URL naming the image by its size.
struct FakeImages
{
    QList<QByteArray> written;
    std::string operator()(QByteArrayView bytes)
    {
        written.append(bytes.toByteArray());
        return "file:///tmp/" + std::to_string(bytes.size()) + ".bmp";
    }
};

ParserStream streamInto(FakeImages &images)
{
    return ParserStream(Limit, [&images](QByteArrayView bytes) { return images(bytes); });
}

} // namespace

TEST(ParserStreamTest, ImagesAreWrittenAndAnsweredPagesAndResultCollected)
{
    FakeImages images;
    ParserStream stream = streamInto(images);
    const QByteArray conversation = frame(Frame::Image, "BM12345") + frame(Frame::Image, "") +
                                    frame(Frame::Page, "<svg:svg/>\n") +
                                    frame(Frame::Page, "second\n") + result(Outcome::Parsed);
    // However the bytes are cut up on the way.
    for (char byte : conversation)
        ASSERT_TRUE(stream.feed(QByteArrayView(&byte, 1)));
    EXPECT_TRUE(stream.isComplete());
    EXPECT_FALSE(stream.hasPartialFrame());
    EXPECT_EQ(stream.outcome(), Outcome::Parsed);
    EXPECT_EQ(images.written, (QList<QByteArray>{"BM12345", ""}));
    EXPECT_EQ(stream.takeReplies(), frame(Frame::ImageSaved, "file:///tmp/7.bmp") +
                                        frame(Frame::ImageSaved, "file:///tmp/0.bmp"));
    const CDRStringVector pages = stream.takePages();
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].str(), "<svg:svg/>\n");
    EXPECT_EQ(pages[1].str(), "second\n");
}

TEST(ParserStreamTest, FailuresCarryTheirOutcomeAndDetail)
{
    FakeImages images;
    ParserStream stream = streamInto(images);
    ASSERT_TRUE(stream.feed(frame(Frame::Image, "BM") + result(Outcome::ParseFailed, "why")));
    EXPECT_TRUE(stream.isComplete());
    EXPECT_EQ(stream.outcome(), Outcome::ParseFailed);
    EXPECT_EQ(stream.detail(), "why");
    EXPECT_TRUE(stream.takePages().empty());
}

TEST(ParserStreamTest, AnythingOutsideTheProtocolBreaksTheStreamForGood)
{
    const std::pair<const char *, QByteArray> cases[] = {
        {"unknown kind", QByteArray("garbage!")},
        {"a frame only the application sends", frame(Frame::ImageSaved, "x")},
        {"a request", frame(Frame::Request, "D/etc/passwd")},
        {"a length beyond the parser's memory", header(Frame::Page, Limit + 1) + "<svg"},
        {"four gigabytes", header(Frame::Image, 0xffffffffu)},
        {"an image after the pages", frame(Frame::Page, "p") + frame(Frame::Image, "BM")},
        {"pages of a failed parse", frame(Frame::Page, "p") + result(Outcome::NotSupported)},
        {"an empty result", frame(Frame::Result, "")},
        {"an unknown outcome", frame(Frame::Result, "?")},
        {"anything after the result", result(Outcome::Parsed) + "x"},
        {"a second result", result(Outcome::Parsed) + result(Outcome::Parsed)},
        {"pages adding up beyond the parser's memory",
         frame(Frame::Page, QByteArray(Limit / 2 + 1, 'a')) +
             frame(Frame::Page, QByteArray(Limit / 2 + 1, 'b'))},
    };
    for (const auto &[what, bytes] : cases) {
        SCOPED_TRACE(what);
        FakeImages images;
        ParserStream stream = streamInto(images);
        EXPECT_FALSE(stream.feed(bytes));
        EXPECT_TRUE(stream.isBroken());
        EXPECT_FALSE(stream.isComplete());
        EXPECT_FALSE(stream.feed(result(Outcome::Parsed)));
        EXPECT_FALSE(stream.isComplete());
    }
}

TEST(ParserStreamTest, BytesAfterTheResultBreakTheStreamEvenWhenTheyComeLater)
{
    FakeImages images;
    ParserStream stream = streamInto(images);
    ASSERT_TRUE(stream.feed(frame(Frame::Page, "p") + result(Outcome::Parsed)));
    ASSERT_TRUE(stream.isComplete());
    EXPECT_FALSE(stream.feed("R"));
    EXPECT_FALSE(stream.isComplete());
}

TEST(ParserStreamTest, AnUnfinishedFrameWaitsForItsBytes)
{
    FakeImages images;
    ParserStream stream = streamInto(images);
    ASSERT_TRUE(stream.feed(header(Frame::Page, Limit) + "abc"));
    EXPECT_TRUE(stream.hasPartialFrame());
    EXPECT_FALSE(stream.isComplete());
    EXPECT_TRUE(stream.takePages().empty());
}

namespace {

// The parser's side, recording what it sends.
class RecordingChannel : public ParserService::Channel
{
public:
    bool send(Frame kind, QByteArrayView payload) override
    {
        sent.append(frame(kind, payload));
        return true;
    }
    std::optional<QByteArray> receive(Frame) override { return std::nullopt; }
    QByteArray sent;
};

} // namespace

// libcdr may make pages before it fails (when it runs out of memory, say);
// the parser hands them over only for a parsed drawing, so the application
// sees the failure as it would have inside itself.
TEST(ParserStreamTest, OnlyAParsedDrawingHandsOverItsPages)
{
    CDRStringVector pages;
    pages.append(WPXString("<svg:svg>first</svg:svg>\n"));
    pages.append(WPXString("<svg:svg>second</svg:svg>\n"));
    for (Outcome outcome : {Outcome::ParseFailed, Outcome::NotSupported, Outcome::OutOfMemory}) {
        RecordingChannel parser;
        EXPECT_EQ(ParserService::sendOutcome(parser, outcome, pages), 0);
        EXPECT_EQ(parser.sent, result(outcome));
        FakeImages images;
        ParserStream stream = streamInto(images);
        EXPECT_TRUE(stream.feed(parser.sent));
        ASSERT_TRUE(stream.isComplete());
        EXPECT_EQ(stream.outcome(), outcome);
    }
    RecordingChannel parser;
    EXPECT_EQ(ParserService::sendOutcome(parser, Outcome::Parsed, pages), 0);
    FakeImages images;
    ParserStream stream = streamInto(images);
    EXPECT_TRUE(stream.feed(parser.sent));
    ASSERT_TRUE(stream.isComplete());
    const CDRStringVector received = stream.takePages();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[1].str(), "<svg:svg>second</svg:svg>\n");
}
