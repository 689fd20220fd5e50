#pragma once

#include "WPXString.h"

#include <vector>

// The page list: one complete SVG text per page, in page order.
class CDRStringVector
{
public:
    unsigned size() const { return unsigned(m_strings.size()); }
    bool empty() const { return m_strings.empty(); }
    // index must be below size().
    const WPXString &operator[](unsigned index) const { return m_strings[index]; }
    void append(const WPXString &text) { m_strings.push_back(text); }
    void append(WPXString &&text) { m_strings.push_back(std::move(text)); }

private:
    std::vector<WPXString> m_strings;
};
