#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <chrono>
#include <cstdint>
#include <optional>

// The conversation between a converting process and its parser process
// (quillmoor-parser), over one stream socket. Each message is a frame: one
// byte naming its kind, the payload's length as four bytes, least
// significant first, then the payload.
//
// The converting side sends one Request: the drawing's format, then its
// path in UTF-8. The parser answers with an Image frame for each drawn
// image while it parses, and waits for ImageSaved (the file URL text of
// the written copy, empty when it could not be written) before it goes on;
// after the parse it sends one Page frame per page, in page order, and a
// Result last: the outcome, then a UTF-8 text saying why it failed.
namespace ParserProtocol {

enum class Frame : std::uint8_t
{
    Request = 'Q',
    ImageSaved = 'S',
    Image = 'I',
    Page = 'P',
    Result = 'R',
};

// What libcdr is asked to read the file as.
enum class Format : std::uint8_t
{
    CorelDraw = 'D',
    CorelExchange = 'X',
};

// Where libcdr's work ended, as the application needs it to tell failures
// apart: it rejected the file, failed to parse it, or parsed it (with or
// without pages); or the parser ran out of memory.
enum class Outcome : std::uint8_t
{
    Parsed = 'P',
    NotSupported = 'N',
    ParseFailed = 'F',
    OutOfMemory = 'M',
};

constexpr qsizetype HeaderSize = 5;
// A file URL, or a path, is never longer.
constexpr std::uint32_t MaxTextLength = 64 * 1024;

struct Header
{
    Frame kind;
    std::uint32_t length;
};

QByteArray header(Frame kind, std::uint32_t length);
QByteArray frame(Frame kind, QByteArrayView payload);
// The first HeaderSize bytes of a frame; nothing for an unknown kind.
std::optional<Header> readHeader(QByteArrayView bytes);
std::optional<Format> formatFrom(char byte);
std::optional<Outcome> outcomeFrom(char byte);

} // namespace ParserProtocol

// What a parser process may use. A parse that runs out of time or memory
// fails; so does one that ends any other way than by handing over its
// result.
struct ParserLimits
{
    std::chrono::milliseconds time = std::chrono::seconds(30);
    std::uint64_t memoryBytes = std::uint64_t(2) << 30;
};
