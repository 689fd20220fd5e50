#pragma once

#include <QByteArray>

#include <cstddef>

// A byte buffer, as drawn images arrive.
class WPXBinaryData
{
public:
    WPXBinaryData() = default;
    explicit WPXBinaryData(QByteArray bytes)
        : m_bytes(std::move(bytes))
    {}
    WPXBinaryData(const unsigned char *bytes, std::size_t size)
        : m_bytes(reinterpret_cast<const char *>(bytes), qsizetype(size))
    {}

    std::size_t size() const { return std::size_t(m_bytes.size()); }
    const unsigned char *getDataBuffer() const
    {
        return reinterpret_cast<const unsigned char *>(m_bytes.constData());
    }

private:
    QByteArray m_bytes;
};
