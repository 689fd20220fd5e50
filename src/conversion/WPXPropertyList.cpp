#include "WPXPropertyList.h"

void WPXPropertyList::insert(std::string_view key, WPXProperty property)
{
    auto it = m_properties.find(key);
    if (it != m_properties.end())
        it->second = std::move(property);
    else
        m_properties.emplace(std::string(key), std::move(property));
}

void WPXPropertyList::insert(std::string_view key, std::string text)
{
    insert(key, WPXProperty::string(std::move(text)));
}

void WPXPropertyList::remove(std::string_view key)
{
    auto it = m_properties.find(key);
    if (it != m_properties.end())
        m_properties.erase(it);
}

const WPXProperty *WPXPropertyList::operator[](std::string_view key) const
{
    auto it = m_properties.find(key);
    return it == m_properties.end() ? nullptr : &it->second;
}
