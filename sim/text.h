// Text from a player's files (names, cells, lines) inside what the tools write: any bytes can come
// in, and no output may fail, break its format or grow without bound because of them.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

namespace sim {

// The same text as UTF-8. Bytes that are not UTF-8 almost always come from a file saved in the
// Windows code page (Notepad, PresentMon's process names): each is read as Windows-1252, so the
// player sees what was typed; the five bytes that code page leaves undefined become U+FFFD.
// Overlong forms and UTF-16 surrogates are not UTF-8 and are read the same way.
std::string playerText(std::string_view bytes);

// One code point as UTF-8 at the end of out.
void appendUtf8(std::string& out, char32_t c);

// playerText made safe inside XML and HTML, in text and in attribute values: the five markup
// characters as entities, control characters that XML 1.0 forbids as U+FFFD.
std::string markupText(std::string_view bytes);

inline constexpr std::size_t shownBytes = 60;

// A report as JSON text: two-space indents, every string and key through playerText.
std::string jsonText(nlohmann::json json);

// For a message or a report line: playerText with control characters as U+FFFD, cut to its first
// shownBytes (never inside a letter) with "..." and the whole length in bytes when it is longer.
std::string shown(std::string_view text);

// shown without the cut: for a path, which the player may need whole.
std::string shownWhole(std::string_view text);

} // namespace sim
