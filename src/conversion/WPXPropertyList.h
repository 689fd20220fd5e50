#pragma once

#include "WPXProperty.h"

#include <map>
#include <string>
#include <string_view>

// A map from key to one property; looking up an absent key yields nothing.
class WPXPropertyList
{
public:
    void insert(std::string_view key, WPXProperty property);
    void insert(std::string_view key, const char *text) { insert(key, WPXProperty::string(text)); }
    void insert(std::string_view key, std::string text);
    void insert(std::string_view key, int value) { insert(key, WPXProperty::integer(value)); }
    void insert(std::string_view key, bool value) { insert(key, WPXProperty::boolean(value)); }
    void insert(std::string_view key, double value,
                WPXProperty::Unit unit = WPXProperty::Unit::Inch)
    {
        insert(key, WPXProperty::real(value, unit));
    }
    void remove(std::string_view key);
    void clear() { m_properties.clear(); }

    // The property under key, or null when absent.
    const WPXProperty *operator[](std::string_view key) const;
    bool empty() const { return m_properties.empty(); }
    std::size_t size() const { return m_properties.size(); }

    auto begin() const { return m_properties.begin(); }
    auto end() const { return m_properties.end(); }

private:
    std::map<std::string, WPXProperty, std::less<>> m_properties;
};
