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
    const std::string lower =
        QString::fromUtf8(name.data(), qsizetype(name.size())).toLower().toStdString();
    if (containsAny(lower, MonospaceWords))
        return "monospace";
    const bool sans = lower.find("sans") != std::string::npos;
    if (!sans && containsAny(lower, SerifWords))
        return "serif";
    return "sans-serif";
}

std::string cssFamilyList(std::string_view name)
{
    std::string list = "'";
    for (char c : name) {
        if (c == '\'' || c == '\\')
            list += '\\';
        list += c;
    }
    list += "', ";
    list += genericFamily(name);
    return list;
}

} // namespace FontFamily
