// Names in settings files and captures are ASCII and matched without regard to case.
#pragma once

#include <string_view>

namespace sim {

inline char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Without allocating: this runs for every line of long captures.
inline bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

inline bool endsWithIgnoringCase(std::string_view name, std::string_view end)
{
    return name.size() >= end.size() &&
           equalsIgnoringCase(name.substr(name.size() - end.size()), end);
}

} // namespace sim
