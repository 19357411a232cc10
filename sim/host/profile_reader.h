// A reader of Windows profile (INI) files for builds without Windows, following the rules of
// GetPrivateProfileIntA on what a player may plausibly write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>

namespace sim {

// The value buffer the Windows reader parses from holds 30 characters with its terminator: a
// longer value is read as its first 29.
inline constexpr std::size_t profileValueCapacity = 29;

// The key's value, or defaultValue when the file, section or key is missing or the value empty.
// Backslashes in path are taken as separators, as Windows does.
std::uint32_t readProfileInt(const char* section, const char* key, std::int32_t defaultValue,
                             const char* path);

// The same over an open stream of the file's bytes.
std::uint32_t readProfileIntFrom(std::istream& file, const char* section, const char* key,
                                 std::int32_t defaultValue);

} // namespace sim
