#include "WPXProperty.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

// Four decimals with a "." whatever the locale; values too small to show
// come out as zero without a sign.
std::string fourDecimals(double value)
{
    if (value < 0.0001 && value > -0.0001)
        return "0.0000";
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 4);
    return std::string(buffer, result.ptr);
}

int truncateToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(value);
}

} // namespace

WPXProperty::WPXProperty(Kind kind, Unit unit, double number, std::string text)
    : m_kind(kind)
    , m_unit(unit)
    , m_number(number)
    , m_text(std::move(text))
{}

WPXProperty WPXProperty::string(std::string text)
{
    return WPXProperty(Kind::String, Unit::Generic, 0.0, std::move(text));
}

WPXProperty WPXProperty::integer(int value)
{
    return WPXProperty(Kind::Int, Unit::Generic, value, {});
}

WPXProperty WPXProperty::boolean(bool value)
{
    return WPXProperty(Kind::Bool, Unit::Generic, value ? 1.0 : 0.0, {});
}

WPXProperty WPXProperty::real(double value, Unit unit)
{
    return WPXProperty(Kind::Real, unit, value, {});
}

int WPXProperty::getInt() const
{
    return m_kind == Kind::String ? 0 : truncateToInt(m_number);
}

double WPXProperty::getDouble() const
{
    return m_kind == Kind::String ? 0.0 : m_number;
}

std::string WPXProperty::getStr() const
{
    switch (m_kind) {
    case Kind::String:
        return m_text;
    case Kind::Int:
        return std::to_string(int(m_number));
    case Kind::Bool:
        return m_number != 0.0 ? "true" : "false";
    case Kind::Real:
        break;
    }
    switch (m_unit) {
    case Unit::Inch:
        return fourDecimals(m_number) + "in";
    case Unit::Point:
        return fourDecimals(m_number) + "pt";
    case Unit::Percent:
        return fourDecimals(m_number * 100.0) + "%";
    case Unit::Twip:
        return std::to_string(truncateToInt(m_number)) + "*";
    case Unit::Generic:
        break;
    }
    return fourDecimals(m_number);
}
