// Profile file rules: lines end at a line feed or a carriage return, names matched without regard
// to case, white space trimmed around names (inside brackets too) and values, only the first
// section of a name is searched and the first key of a name wins, values parsed like
// RtlUnicodeStringToInteger with base 0 (sign, 0x/0o/0b prefixes, digits up to the first other
// character, wrapping at 32 bits), at most 29 characters of a value considered.
#include "sim/host/profile_reader.h"
#include "sim/files.h"

#include "sim/ascii.h"
#include "sim/host/profile_text.h"

#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

namespace sim {

namespace {

constexpr std::size_t valueCapacity = profileValueCapacity;

int digitValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'Z') {
        return c - 'A' + 10;
    }
    return -1;
}

std::uint32_t parseInteger(std::string_view text)
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') {
        text.remove_prefix(1);
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::uint32_t base = 10;
    if (text.size() >= 2 && text[0] == '0') {
        const char prefix = text[1];
        base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
        if (base != 10) {
            text.remove_prefix(2);
        }
    }
    std::uint32_t total = 0;
    for (const char c : text) {
        const int digit = digitValue(c);
        if (digit < 0 || static_cast<std::uint32_t>(digit) >= base) {
            break;
        }
        total = total * base + static_cast<std::uint32_t>(digit); // wraps, as the platform does
    }
    return negative ? 0u - total : total;
}

std::uint32_t valueOf(std::string_view value, std::int32_t defaultValue)
{
    value = upToNul(value);
    // Matching quotes around the whole value are not part of it.
    bool quoted = false;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value.remove_prefix(1);
        quoted = true;
    }
    const std::size_t fullSize = value.size();
    value = value.substr(0, valueCapacity);
    // The closing quote is dropped from the buffer only when the whole value fitted with it.
    if (quoted && fullSize <= valueCapacity + 1 && !value.empty()) {
        value.remove_suffix(1);
    }
    if (value.empty()) {
        return static_cast<std::uint32_t>(defaultValue);
    }
    return parseInteger(value);
}

enum class Scan { Searching, InSection, Found, Missing };

struct Lookup {
    std::string_view section;
    std::string_view key;
    std::int32_t defaultValue;
    Scan scan = Scan::Searching;
    std::uint32_t result = 0;
};

void takeLine(Lookup& lookup, std::string_view line)
{
    line = trimProfileSpace(line);
    if (line.empty()) {
        return;
    }
    if (line.front() == '[') {
        const auto close = line.rfind(']');
        if (close != std::string_view::npos && close > 0) {
            if (lookup.scan == Scan::InSection) {
                lookup.scan = Scan::Missing; // later sections of the same name are not searched
                return;
            }
            const std::string_view name = trimProfileSpace(upToNul(line.substr(1, close - 1)));
            if (!name.empty() && equalsIgnoringCase(name, lookup.section)) {
                lookup.scan = Scan::InSection;
            }
            return;
        }
        // Without a closing bracket the line is an ordinary key line.
    }
    if (lookup.scan != Scan::InSection) {
        return;
    }
    const auto equals = line.find('=');
    const std::string_view name = trimProfileSpace(line.substr(0, equals));
    if (!equalsIgnoringCase(upToNul(name), lookup.key)) {
        return;
    }
    lookup.scan = Scan::Found;
    lookup.result = equals == std::string_view::npos
                        ? static_cast<std::uint32_t>(lookup.defaultValue)
                        : valueOf(trimProfileSpace(line.substr(equals + 1)), lookup.defaultValue);
}

// The whole file narrowed, read in even pieces so that no unit is split.
std::string narrowUtf16(std::istream& file)
{
    std::string narrow;
    std::string piece(std::size_t{1} << 16, '\0');
    while (file.read(piece.data(), static_cast<std::streamsize>(piece.size())) ||
           file.gcount() > 0) {
        appendNarrowedUtf16(
            std::string_view(piece).substr(0, static_cast<std::size_t>(file.gcount())), narrow);
    }
    return narrow;
}

// Of a longer line only this much is looked at, so that memory stays flat on a file without line
// ends; a name or a value that counts sits well within it.
constexpr std::size_t keptLineBytes = 1 << 16;

// The file's lines, read a piece at a time; a failed read (a folder in the file's place) ends
// them as the end of the file does.
struct Lines {
    std::istream& file;
    std::string piece = std::string(std::size_t{1} << 16, '\0');
    std::size_t at = 0;
    std::size_t size = 0;

    // A carriage return ends a line as a line feed does, alone or in a pair.
    bool next(std::string& line)
    {
        line.clear();
        bool any = false;
        for (;;) {
            if (at == size) {
                file.read(piece.data(), static_cast<std::streamsize>(piece.size()));
                size = static_cast<std::size_t>(file.gcount());
                at = 0;
                if (size == 0) {
                    return any;
                }
            }
            any = true;
            std::size_t stop = at;
            while (stop < size && piece[stop] != '\n' && piece[stop] != '\r') {
                ++stop;
            }
            line.append(piece, at,
                        std::min(stop - at, keptLineBytes - std::min(keptLineBytes, line.size())));
            at = stop;
            if (stop < size) {
                ++at;
                return true;
            }
        }
    }
};

void scanLines(std::istream& file, Lookup& lookup)
{
    Lines lines{file};
    std::string line;
    while ((lookup.scan == Scan::InSection || lookup.scan == Scan::Searching) && lines.next(line)) {
        takeLine(lookup, line);
    }
}

} // namespace

std::uint32_t readProfileIntFrom(std::istream& file, const char* section, const char* key,
                                 std::int32_t defaultValue)
{
    Lookup lookup{trimProfileSpace(section), trimProfileSpace(key), defaultValue};
    const int first = file.peek();
    if (first == 0xEF) {
        char mark[3] = {};
        file.read(mark, 3);
        if (!(mark[1] == '\xBB' && mark[2] == '\xBF')) {
            file.clear();
            file.seekg(0);
        }
    } else if (first == 0xFF) {
        char mark[2] = {};
        file.read(mark, 2);
        if (mark[1] == '\xFE') {
            std::istringstream narrow(narrowUtf16(file));
            scanLines(narrow, lookup);
            return lookup.scan == Scan::Found ? lookup.result
                                              : static_cast<std::uint32_t>(defaultValue);
        }
        file.clear();
        file.seekg(0);
    }
    scanLines(file, lookup);
    return lookup.scan == Scan::Found ? lookup.result : static_cast<std::uint32_t>(defaultValue);
}

std::uint32_t readProfileInt(const char* section, const char* key, std::int32_t defaultValue,
                             const char* path)
{
    std::string posixPath(path);
    for (char& c : posixPath) {
        if (c == '\\') {
            c = '/';
        }
    }
    std::ifstream file(pathFromUtf8(posixPath), std::ios::binary);
    if (!file) {
        return static_cast<std::uint32_t>(defaultValue);
    }
    return readProfileIntFrom(file, section, key, defaultValue);
}

} // namespace sim
