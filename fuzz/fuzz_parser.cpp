// The whole parser: the bytes are a drawing or exchange file, which the parser's side
// of the conversation (ParserService::answer) reads and answers, here in
// this process, to the application's side (ParserStream), which checks
// every frame and answers each image. Whatever libcdr makes of the file,
// the parser's answer must pass the application's checks.

#include "conversion/ParserService.h"
#include "conversion/ParserStream.h"

#include <QFile>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

using namespace ParserProtocol;

namespace {

// The parser's channel, joined straight to the application's stream.
class Loopback : public ParserService::Channel
{
public:
    explicit Loopback(ParserStream &stream)
        : m_stream(stream)
    {}
    bool send(Frame kind, QByteArrayView payload) override
    {
        return m_stream.feed(frame(kind, payload));
    }
    std::optional<QByteArray> receive(Frame kind) override
    {
        const QByteArray replies = m_stream.takeReplies();
        const std::optional<Header> header = readHeader(replies);
        if (!header || header->kind != kind ||
            replies.size() != HeaderSize + qsizetype(header->length))
            std::abort();
        return replies.sliced(HeaderSize);
    }

private:
    ParserStream &m_stream;
};

QString drawingFile;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    drawingFile = QStringLiteral("/dev/shm/quillmoor-fuzz-%1.cdr").arg(::getpid());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QFile file(drawingFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        std::abort();
    file.close();

    ParserStream stream(ParserLimits().memoryBytes, [](QByteArrayView bytes) {
        return "file:///tmp/" + std::to_string(bytes.size()) + ".bmp";
    });
    Loopback channel(stream);
    // Read as the application would choose: exchange files by their form.
    const bool exchange =
        size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "CMX", 3) == 0;
    const Format format = exchange ? Format::CorelExchange : Format::CorelDraw;
    if (ParserService::answer(channel, format, QFile::encodeName(drawingFile)) != 0 ||
        !stream.isComplete())
        std::abort();
    if (stream.outcome() == Outcome::Parsed)
        stream.takePages();
    return 0;
}
