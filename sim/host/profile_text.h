// How Windows' profile reader sees the text of a line: the white space it trims, and names that
// end at a NUL as C strings do. Shared by the portable reader and the settings check, so the two
// can never see a line differently.
#pragma once

#include <cstddef>
#include <string>
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

// A file that starts with the UTF-16 little-endian mark, narrowed: its names are plain ASCII, so
// anything else becomes '?'. An odd last byte is dropped.
inline void appendNarrowedUtf16(std::string_view bytes, std::string& narrow)
{
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const bool ascii = bytes[i + 1] == 0 && static_cast<unsigned char>(bytes[i]) < 0x80;
        narrow += ascii ? bytes[i] : '?';
    }
}

} // namespace sim
