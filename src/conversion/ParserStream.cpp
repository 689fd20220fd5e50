#include "ParserStream.h"

using namespace ParserProtocol;

ParserStream::ParserStream(std::uint64_t memoryLimit, ImageWriter writeImage)
    : m_memoryLimit(memoryLimit)
    , m_writeImage(std::move(writeImage))
{}

bool ParserStream::feed(QByteArrayView bytes)
{
    if (m_broken)
        return false;
    if (bytes.isEmpty())
        return true;
    // Nothing may follow the result.
    if (m_outcome)
        return fail();
    m_buffer.append(bytes);
    qsizetype consumed = 0;
    while (!m_broken) {
        const QByteArrayView rest = QByteArrayView(m_buffer).sliced(consumed);
        if (rest.size() < HeaderSize)
            break;
        const std::optional<Header> header = readHeader(rest);
        if (!header)
            return fail();
        // A frame cannot be larger than what the parser may hold.
        if (header->length > m_memoryLimit)
            return fail();
        if (rest.size() - HeaderSize < qsizetype(header->length))
            break;
        const QByteArrayView payload = rest.sliced(HeaderSize, qsizetype(header->length));
        consumed += HeaderSize + qsizetype(header->length);
        if (!handle(header->kind, payload))
            return fail();
        if (m_outcome && consumed < m_buffer.size())
            return fail();
    }
    m_buffer.remove(0, consumed);
    return !m_broken;
}

QByteArray ParserStream::takeReplies()
{
    return std::exchange(m_replies, {});
}

bool ParserStream::handle(Frame kind, QByteArrayView payload)
{
    switch (kind) {
    case Frame::Image: {
        // Images come while the parse runs, before any page.
        if (!m_pages.empty())
            return false;
        std::string url = m_writeImage(payload);
        if (url.size() > MaxTextLength)
            url.clear();
        m_replies.append(
            frame(Frame::ImageSaved, QByteArrayView(url.data(), qsizetype(url.size()))));
        return true;
    }
    case Frame::Page:
        // Every page lives in the parser's memory until it is sent.
        m_pageBytes += std::uint64_t(payload.size());
        if (m_pageBytes > m_memoryLimit)
            return false;
        m_pages.append(WPXString(std::string(payload.data(), std::size_t(payload.size()))));
        return true;
    case Frame::Result: {
        if (payload.isEmpty() || payload.size() > qsizetype(MaxTextLength))
            return false;
        const std::optional<Outcome> outcome = outcomeFrom(payload[0]);
        // Only a parsed drawing has pages.
        if (!outcome || (*outcome != Outcome::Parsed && !m_pages.empty()))
            return false;
        m_outcome = outcome;
        m_detail = QString::fromUtf8(payload.sliced(1));
        return true;
    }
    case Frame::Request:
    case Frame::ImageSaved:
        break;
    }
    return false;
}

bool ParserStream::fail()
{
    m_broken = true;
    m_buffer.clear();
    m_pages = {};
    m_outcome.reset();
    return false;
}
