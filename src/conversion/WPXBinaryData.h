#pragma once

#include <cstddef>
#include <vector>

// A byte buffer, as drawn images arrive.
class WPXBinaryData
{
public:
    WPXBinaryData() = default;
    WPXBinaryData(const unsigned char *bytes, std::size_t size)
        : m_bytes(bytes, bytes + size)
    {}

    std::size_t size() const { return m_bytes.size(); }
    const unsigned char *getDataBuffer() const { return m_bytes.data(); }

private:
    std::vector<unsigned char> m_bytes;
};
