// The bytes are what a parser process sends, as a subverted parser might:
// the application's side (ParserStream) reads them cut into pieces of
// varying size, and must neither crash nor take a broken stream for a
// result, nor answer anything but images.

#include "conversion/ParserStream.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace ParserProtocol;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte sets how the rest is cut.
    const std::size_t piece = 1 + data[0] % 64;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    int images = 0;
    ParserStream stream(1 << 20, [&images](QByteArrayView) {
        ++images;
        return std::string("file:///tmp/image.bmp");
    });
    bool broken = false;
    for (qsizetype at = 0; at < bytes.size(); at += qsizetype(piece)) {
        const bool fed =
            stream.feed(bytes.sliced(at, std::min(qsizetype(piece), bytes.size() - at)));
        if (broken && fed)
            std::abort(); // a broken stream stays broken
        broken = !fed;
    }
    if (stream.isBroken() && stream.isComplete())
        std::abort();
    const QByteArray replies = stream.takeReplies();
    if (replies.size() != images * qsizetype(HeaderSize + 21))
        std::abort();
    if (stream.isComplete() && stream.outcome() != Outcome::Parsed && !stream.takePages().empty())
        std::abort();
    return 0;
}
