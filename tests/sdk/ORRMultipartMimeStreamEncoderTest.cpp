#include "sdk/ORRMultipartMimeStreamEncoder.h"

#include "foundation/Log.h"

#include <QBuffer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString Boundary = QStringLiteral("0A1B2C3D-0000-4000-8000-00000000ABCD");

// The body of one text part and two file parts, byte for byte.
QByteArray expectedBody()
{
    return "MIME-Version: 1.0\r\n"
           "--0A1B2C3D-0000-4000-8000-00000000ABCD\r\n"
           "Content-Disposition: form-data; name=\"count\"\r\n"
           "Content-Type: text/plain\r\n\r\n"
           "42\r\n"
           "--0A1B2C3D-0000-4000-8000-00000000ABCD\r\n"
           "Content-Disposition: form-data; name=\"log\"; filename=\"events.gz\"\r\n"
           "Content-Type: application/gzip\r\n"
           "Content-Transfer-Encoding: binary\r\n\r\n"
           "\x1f\x8b\x00z\r\n"
           "--0A1B2C3D-0000-4000-8000-00000000ABCD\r\n"
           "Content-Disposition: form-data; name=\"raw\"; filename=\"a b\"\r\n"
           "Content-Type: application/octet-stream\r\n\r\n"
           "bytes\r\n"
           "--0A1B2C3D-0000-4000-8000-00000000ABCD--\r\n"_qba;
}

void addSampleParts(ORRMultipartMimeStreamEncoder &encoder)
{
    encoder.addValue(42, "count");
    encoder.addFileData(QByteArray("\x1f\x8b\x00z", 4), "events.gz", "application/gzip", "log");
    encoder.addFileData("bytes", "a b", QString(), "raw");
}

// Accepts at most a few bytes per write, as a full or broken stream would.
class ShortWriteDevice : public QIODevice
{
public:
    QByteArray written;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 length) override
    {
        const qint64 accepted = std::min<qint64>(length, 8);
        written.append(data, accepted);
        return accepted;
    }
};

} // namespace

TEST(ORRMultipartMimeStreamEncoderTest, WritesTheBodyByteForByteToMemory)
{
    auto memory = std::make_shared<QBuffer>();
    ORRMultipartMimeStreamEncoder encoder(memory, Boundary);
    EXPECT_TRUE(encoder.encode([&] { addSampleParts(encoder); }));
    EXPECT_EQ(memory->data(), expectedBody());
    EXPECT_FALSE(memory->isOpen());
    EXPECT_EQ(encoder.contentLengthHTTPHeaderValue(), QString::number(expectedBody().size()));
    EXPECT_EQ(encoder.contentTypeHTTPHeaderValue(), "multipart/form-data; boundary=" + Boundary);
}

TEST(ORRMultipartMimeStreamEncoderTest, WritesTheSameBytesToAFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(Boundary + ".multipartmime");
    auto encoder =
        ORRMultipartMimeStreamEncoder::encoderWithStream(std::make_shared<QFile>(path), Boundary);
    EXPECT_TRUE(encoder->encode([&] { addSampleParts(*encoder); }));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), expectedBody());
    EXPECT_EQ(encoder->length(), std::uint64_t(expectedBody().size()));

    // A file part read from disk; an unreadable one is skipped as empty.
    QFile source(dir.filePath("source"));
    ASSERT_TRUE(source.open(QIODevice::WriteOnly));
    source.write("bytes");
    source.close();
    LogCapture log;
    auto memory = std::make_shared<QBuffer>();
    ORRMultipartMimeStreamEncoder fromFiles(memory, Boundary);
    // A skipped part is no failure: the body is whole without it.
    EXPECT_TRUE(fromFiles.encode([&] {
        fromFiles.addFile(QUrl::fromLocalFile(source.fileName()), "a b", QString(), "raw");
        fromFiles.addFile(QUrl::fromLocalFile(dir.filePath("missing")), "m", "text/plain", "gone");
    }));
    EXPECT_TRUE(memory->data().contains("filename=\"a b\"\r\nContent-Type: application/"
                                        "octet-stream\r\n\r\nbytes\r\n"));
    EXPECT_TRUE(log.contains("[Orrery] Unable to MIME encode data with zero length (gone)"));
}

TEST(ORRMultipartMimeStreamEncoderTest, EmptyBodyHasOnlyTheVersionAndClosingLines)
{
    auto memory = std::make_shared<QBuffer>();
    ORRMultipartMimeStreamEncoder encoder(memory);
    EXPECT_TRUE(encoder.encode({}));
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$")
                    .match(encoder.boundary())
                    .hasMatch());
    EXPECT_NE(encoder.boundary(), ORRMultipartMimeStreamEncoder(memory).boundary());
    EXPECT_EQ(memory->data(), "MIME-Version: 1.0\r\n--" + encoder.boundary().toUtf8() + "--\r\n");
    EXPECT_EQ(encoder.contentLengthHTTPHeaderValue(), "61");
}

TEST(ORRMultipartMimeStreamEncoderTest, InvalidPartsAreLoggedAndLeftOut)
{
    LogCapture log;
    auto memory = std::make_shared<QBuffer>();
    ORRMultipartMimeStreamEncoder encoder(memory, Boundary);
    EXPECT_TRUE(encoder.encode([&] {
        encoder.addValue(QVariant::fromValue(nullptr), "null");
        encoder.addValue(QVariant(), "missing");
        encoder.addValue("text", "");
        encoder.addFileData(QByteArray(), "", "", "");
        encoder.addFileData("data", "", QString(), "field");
    }));
    EXPECT_EQ(memory->data(), "MIME-Version: 1.0\r\n--" + Boundary.toUtf8() + "--\r\n");
    EXPECT_TRUE(log.contains("[Orrery] name (null) or value (<null>) is invalid"));
    EXPECT_TRUE(log.contains("[Orrery] name (missing) or value ((null)) is invalid"));
    EXPECT_TRUE(log.contains("[Orrery] name () or value (text) is invalid"));
    EXPECT_TRUE(log.contains("[Orrery] Unable to MIME encode data with zero length ()"));
    EXPECT_TRUE(log.contains("[Orrery] name (field) or fieldname () is invalid"));
}

TEST(ORRMultipartMimeStreamEncoderTest, AShortWriteFailsTheBodyAndStopsIt)
{
    LogCapture log;
    auto device = std::make_shared<ShortWriteDevice>();
    ORRMultipartMimeStreamEncoder encoder(device, Boundary);
    EXPECT_FALSE(encoder.encode([&] {
        encoder.addValue("value", "field");
        encoder.addFileData("bytes", "name", "text/plain", "file");
    }));
    EXPECT_TRUE(encoder.encodingFailed());
    // The first write was cut; nothing after it reached the stream, and the
    // failure is logged once.
    EXPECT_EQ(device->written, "MIME-Ver");
    EXPECT_EQ(log.count("[Orrery] Failed to write data to stream"), 1);
    EXPECT_EQ(encoder.contentLengthHTTPHeaderValue(), QString::number(device->written.size()));
    EXPECT_FALSE(encoder.writeBytes("0123456789", 10));
    EXPECT_EQ(device->written, "MIME-Ver");
}

TEST(ORRMultipartMimeStreamEncoderTest, AFullDiskFailsTheBodyWhenTheFileIsClosed)
{
    // The file buffers every write; the disk's refusal shows on closing.
    LogCapture log;
    auto full = std::make_shared<QFile>(QStringLiteral("/dev/full"));
    ASSERT_TRUE(full->open(QIODevice::WriteOnly));
    ORRMultipartMimeStreamEncoder encoder(full, Boundary);
    EXPECT_FALSE(encoder.encode([&] { addSampleParts(encoder); }));
    EXPECT_FALSE(full->isOpen());
    EXPECT_TRUE(log.contains("[Orrery] Failed to write data to stream"));

    // Unbuffered, the first write already fails.
    auto unbuffered = std::make_shared<QFile>(QStringLiteral("/dev/full"));
    ASSERT_TRUE(unbuffered->open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    ORRMultipartMimeStreamEncoder direct(unbuffered, Boundary);
    direct.beginEncoding();
    EXPECT_TRUE(direct.encodingFailed());
    EXPECT_EQ(direct.length(), 0u);
    EXPECT_FALSE(direct.endEncoding());
}

TEST(ORRMultipartMimeStreamEncoderTest, AStreamThatCannotBeOpenedFailsTheBody)
{
    QTemporaryDir dir;
    auto file = std::make_shared<QFile>(dir.filePath("missing-folder/body"));
    ORRMultipartMimeStreamEncoder encoder(file, Boundary);
    EXPECT_FALSE(encoder.encode([&] { addSampleParts(encoder); }));
    EXPECT_EQ(encoder.length(), 0u);
}

TEST(ORRMultipartMimeStreamEncoderTest, PopulatesARequestWithBodyAndHeaders)
{
    URLRequest request(QUrl("http://127.0.0.1/form"));
    ASSERT_TRUE(ORRMultipartMimeStreamEncoder::populateRequest(
        request, [](ORRMultipartMimeStreamEncoder &encoder) { encoder.addValue("v", "f"); }));
    const QByteArray body = request.HTTPBody();
    EXPECT_EQ(request.valueForHTTPHeaderField("Content-Length"), QString::number(body.size()));
    const QString type = request.valueForHTTPHeaderField("Content-Type");
    ASSERT_TRUE(type.startsWith("multipart/form-data; boundary="));
    const QByteArray boundary = type.mid(30).toUtf8();
    EXPECT_TRUE(body.startsWith("MIME-Version: 1.0\r\n--" + boundary + "\r\n"));
    EXPECT_TRUE(body.endsWith("\r\nv\r\n--" + boundary + "--\r\n"));
}
