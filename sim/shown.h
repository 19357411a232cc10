// Text from a player's file inside a message or a report line: a name or a cell can be megabytes
// long, and what is shown of it must not be.
#pragma once

#include <string>
#include <string_view>

namespace sim {

inline constexpr std::size_t shownBytes = 60;

// text itself, or its first shownBytes (never cutting a UTF-8 letter in two) and "...".
inline std::string shown(std::string_view text)
{
    if (text.size() <= shownBytes) {
        return std::string(text);
    }
    std::size_t end = shownBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end; // a continuation byte: the letter began earlier
    }
    return std::string(text.substr(0, end)) + "... (" + std::to_string(text.size()) + " bytes)";
}

} // namespace sim
