// A settings file's text as Windows' profile reader sees it: lines ended by a line feed or a
// carriage return, a UTF-8 or UTF-16 byte-order mark, sections in brackets, "name=value" lines,
// white space trimmed and names ending at a NUL. For telling a player what the file says; the
// values themselves always come from the reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

enum class IniLineKind { Blank, Comment, Section, Key };

struct IniLine {
    std::uint64_t number = 0;
    IniLineKind kind = IniLineKind::Blank;
    std::string name;  // a section's name, or a key's
    std::string value; // as written, trimmed; empty without "="
    bool hasEquals = false;
};

enum class IniEncoding { Ansi, Utf8, Utf16 };

struct IniText {
    IniEncoding encoding = IniEncoding::Ansi;
    std::vector<IniLine> lines; // blank lines left out
};

// in: bytes, the whole file.
IniText scanIni(const std::string& bytes);

} // namespace sim
