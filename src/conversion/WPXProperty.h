#pragma once

#include <string>

// One typed value of a property list. It answers three reads: an integer
// (reals cut toward zero), a real, and a text form.
class WPXProperty
{
public:
    enum class Kind
    {
        String,
        Int,
        Bool,
        Real
    };
    // The unit of a real value; lengths are inches, percentages fractions.
    enum class Unit
    {
        Generic,
        Inch,
        Point,
        Percent,
        Twip
    };

    static WPXProperty string(std::string text);
    static WPXProperty integer(int value);
    static WPXProperty boolean(bool value);
    static WPXProperty real(double value, Unit unit = Unit::Inch);

    Kind kind() const { return m_kind; }
    Unit unit() const { return m_unit; }

    int getInt() const;
    double getDouble() const;
    std::string getStr() const;

private:
    WPXProperty(Kind kind, Unit unit, double number, std::string text);

    Kind m_kind;
    Unit m_unit;
    double m_number;
    std::string m_text;
};
