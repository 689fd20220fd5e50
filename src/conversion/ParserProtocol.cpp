#include "ParserProtocol.h"

namespace ParserProtocol {

QByteArray header(Frame kind, std::uint32_t length)
{
    QByteArray bytes;
    bytes.append(char(kind));
    for (int shift = 0; shift < 32; shift += 8)
        bytes.append(char((length >> shift) & 0xff));
    return bytes;
}

QByteArray frame(Frame kind, QByteArrayView payload)
{
    QByteArray bytes = header(kind, std::uint32_t(payload.size()));
    bytes.append(payload);
    return bytes;
}

std::optional<Header> readHeader(QByteArrayView bytes)
{
    if (bytes.size() < HeaderSize)
        return std::nullopt;
    const auto kind = Frame(bytes[0]);
    switch (kind) {
    case Frame::Request:
    case Frame::ImageSaved:
    case Frame::Image:
    case Frame::Page:
    case Frame::Result:
        break;
    default:
        return std::nullopt;
    }
    std::uint32_t length = 0;
    for (int i = 0; i < 4; ++i)
        length |= std::uint32_t(std::uint8_t(bytes[1 + i])) << (8 * i);
    return Header{kind, length};
}

std::optional<Format> formatFrom(char byte)
{
    switch (Format(byte)) {
    case Format::CorelDraw:
    case Format::CorelExchange:
        return Format(byte);
    }
    return std::nullopt;
}

std::optional<Outcome> outcomeFrom(char byte)
{
    switch (Outcome(byte)) {
    case Outcome::Parsed:
    case Outcome::NotSupported:
    case Outcome::ParseFailed:
    case Outcome::OutOfMemory:
        return Outcome(byte);
    }
    return std::nullopt;
}

} // namespace ParserProtocol
