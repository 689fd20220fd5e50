#pragma once

#include "WPXPropertyList.h"

#include <vector>

// An ordered list of property lists (vertices, path elements, gradient stops).
class WPXPropertyListVector
{
public:
    void append(WPXPropertyList list) { m_lists.push_back(std::move(list)); }
    std::size_t count() const { return m_lists.size(); }
    bool empty() const { return m_lists.empty(); }
    const WPXPropertyList &operator[](std::size_t index) const { return m_lists[index]; }

    auto begin() const { return m_lists.begin(); }
    auto end() const { return m_lists.end(); }

private:
    std::vector<WPXPropertyList> m_lists;
};
