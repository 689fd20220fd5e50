#pragma once

#include "CDRStringVector.h"
#include "ParserProtocol.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <string>

// Reads what a parser process sends, as it arrives, and checks every frame
// before it believes it: a parser may have been subverted by the drawing
// it read, so it may send anything. A frame that is not of a kind the
// parser sends, out of order, or longer than the parser could have held in
// its memory breaks the stream for good; nothing is allocated for a length
// until the bytes have really arrived.
class ParserStream
{
public:
    // Writes a drawn image and returns its file URL text, empty on failure.
    using ImageWriter = std::function<std::string(QByteArrayView bytes)>;

    ParserStream(std::uint64_t memoryLimit, ImageWriter writeImage);

    // Takes the next bytes; false once the stream has broken the protocol.
    bool feed(QByteArrayView bytes);
    // The answers for the parser, in order, since the last call.
    QByteArray takeReplies();

    bool isBroken() const { return m_broken; }
    // Whether the Result frame has arrived (and nothing after it).
    bool isComplete() const { return m_outcome.has_value() && !m_broken; }
    // Valid once complete.
    ParserProtocol::Outcome outcome() const { return *m_outcome; }
    const QString &detail() const { return m_detail; }
    CDRStringVector takePages() { return std::move(m_pages); }

    // Whether the stream stopped in the middle of a frame.
    bool hasPartialFrame() const { return !m_buffer.isEmpty(); }

private:
    bool handle(ParserProtocol::Frame kind, QByteArrayView payload);
    bool fail();

    std::uint64_t m_memoryLimit;
    ImageWriter m_writeImage;
    QByteArray m_buffer;
    QByteArray m_replies;
    CDRStringVector m_pages;
    std::uint64_t m_pageBytes = 0;
    std::optional<ParserProtocol::Outcome> m_outcome;
    QString m_detail;
    bool m_broken = false;
};
