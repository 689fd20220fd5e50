#include "WPXString.h"

std::size_t WPXString::len() const
{
    std::size_t count = 0;
    for (unsigned char c : m_text) {
        if ((c & 0xC0) != 0x80)
            ++count;
    }
    return count;
}

WPXString WPXString::escaped() const
{
    std::string out;
    out.reserve(m_text.size());
    appendEscaped(out, m_text);
    return WPXString(std::move(out));
}

void WPXString::appendEscaped(std::string &out, std::string_view text)
{
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
}
