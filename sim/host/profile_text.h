// How Windows' profile reader sees the text of a line: the white space it trims, and names that
// end at a NUL as C strings do. Shared by the portable reader and the settings check, so the two
// can never see a line differently.
#pragma once

#include <string_view>

namespace sim {

inline bool isProfileSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1a';
}

inline std::string_view trimProfileSpace(std::string_view text)
{
    while (!text.empty() && isProfileSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isProfileSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

inline std::string_view upToNul(std::string_view text)
{
    return text.substr(0, text.find('\0'));
}

} // namespace sim
