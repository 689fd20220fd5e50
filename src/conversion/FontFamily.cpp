#include "FontFamily.h"

#include <QString>

#include <array>

namespace FontFamily {

namespace {

// Words in the names of common serif and monospaced faces; any other face
// counts as sans-serif, the kind most drawings use.
constexpr std::array<std::string_view, 5> MonospaceWords = {"mono", "courier", "consol",
                                                            "typewriter", "fixed"};
constexpr std::array<std::string_view, 37> SerifWords = {
    "serif",    "times",        "roman",      "garamond",    "georgia",  "cambria", "antiqua",
    "palatino", "bookman",      "schoolbook", "baskerville", "bodoni",   "caslon",  "didot",
    "minion",   "rockwell",     "sitka",      "constantia",  "perpetua", "goudy",   "clarendon",
    "plantin",  "sabon",        "utopia",     "charter",     "cochin",   "caladea", "tinos",
    "gelasio",  "nimbus roman", "c059",       "p052",        "song",     "simsun",  "mincho",
    "ming",     "batang"};

// Faces that the setup installs in place of common drawing fonts the web
// view would not otherwise replace: URW Gothic has Century Gothic's widths,
// the others those of the faces they are named for.
struct LookAlike
{
    std::string_view name; // lower case
    std::string_view standIn;
};
constexpr std::array<LookAlike, 11> LookAlikes = {{
    {"century gothic", "URW Gothic"},
    {"itc avant garde gothic", "URW Gothic"},
    {"avant garde", "URW Gothic"},
    {"book antiqua", "P052"},
    {"palatino linotype", "P052"},
    {"palatino", "P052"},
    {"bookman old style", "URW Bookman"},
    {"century schoolbook", "C059"},
    {"new century schoolbook", "C059"},
    {"arial narrow", "Liberation Sans Narrow"},
    {"monotype corsiva", "Z003"},
}};

std::string lowerCase(std::string_view name)
{
    return QString::fromUtf8(name.data(), qsizetype(name.size())).toLower().toStdString();
}

void appendQuoted(std::string &list, std::string_view name)
{
    list += '\'';
    for (char c : name) {
        if (c == '\'' || c == '\\')
            list += '\\';
        list += c;
    }
    list += "', ";
}

bool containsAny(const std::string &name, auto words)
{
    for (std::string_view word : words) {
        if (name.find(word) != std::string::npos)
            return true;
    }
    return false;
}

} // namespace

std::string_view genericFamily(std::string_view name)
{
    const std::string lower = lowerCase(name);
    if (containsAny(lower, MonospaceWords))
        return "monospace";
    const bool sans = lower.find("sans") != std::string::npos;
    if (!sans && containsAny(lower, SerifWords))
        return "serif";
    return "sans-serif";
}

std::string cssFamilyList(std::string_view name)
{
    std::string list;
    appendQuoted(list, name);
    const std::string lower = lowerCase(name);
    for (const LookAlike &lookAlike : LookAlikes) {
        if (lower == lookAlike.name) {
            appendQuoted(list, lookAlike.standIn);
            break;
        }
    }
    list += genericFamily(name);
    return list;
}

} // namespace FontFamily
