#pragma once

#include "conversion/CDRSVGGenerator.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

using Unit = WPXProperty::Unit;

inline WPXPropertyList props(std::initializer_list<std::pair<const char *, WPXProperty>> entries)
{
    WPXPropertyList list;
    for (const auto &[key, value] : entries)
        list.insert(key, value);
    return list;
}

inline WPXProperty inches(double value)
{
    return WPXProperty::real(value, Unit::Inch);
}

inline WPXProperty fraction(double value)
{
    return WPXProperty::real(value, Unit::Percent);
}

inline WPXProperty real(double value)
{
    return WPXProperty::real(value, Unit::Generic);
}

inline WPXProperty text(const char *value)
{
    return WPXProperty::string(value);
}

inline WPXPropertyListVector vector(std::initializer_list<WPXPropertyList> lists)
{
    WPXPropertyListVector result;
    for (const WPXPropertyList &list : lists)
        result.append(list);
    return result;
}

// Drives a generator and reads back what one page between start and end
// wrote, without the page frame.
class GeneratorTest : public ::testing::Test
{
protected:
    static constexpr const char *FrameStart = " >\n<svg:g id=\"rootGroup\">\n";

    CDRStringVector pages;
    CDRSVGGenerator generator{pages};

    void begin() { generator.startGraphics(WPXPropertyList()); }

    // Ends the page and returns its body between the root group's tags.
    std::string body()
    {
        generator.endGraphics();
        const std::string &page = pages[pages.size() - 1].str();
        const std::size_t start = page.find(FrameStart) + std::string(FrameStart).size();
        const std::size_t end = page.rfind("</svg:g>\n<svg:script>");
        return page.substr(start, end - start);
    }
};
