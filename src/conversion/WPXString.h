#pragma once

#include <string>
#include <string_view>

// UTF-8 text as the drawing callbacks pass it.
class WPXString
{
public:
    WPXString() = default;
    WPXString(std::string text)
        : m_text(std::move(text))
    {}
    WPXString(const char *text)
        : m_text(text)
    {}

    const char *cstr() const { return m_text.c_str(); }
    const std::string &str() const { return m_text; }
    // Number of characters (not bytes).
    std::size_t len() const;
    bool empty() const { return m_text.empty(); }

    // A copy with the five XML special characters replaced by entities;
    // every other byte, multi-byte sequences included, is kept.
    WPXString escaped() const;
    static void appendEscaped(std::string &out, std::string_view text);

    bool operator==(const WPXString &other) const = default;

private:
    std::string m_text;
};
