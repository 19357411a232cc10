// A reader of Windows profile (INI) files for builds without Windows, following the rules of
// GetPrivateProfileIntA on what a player may plausibly write.
#pragma once

#include <cstdint>
#include <istream>

// The key's value, or defaultValue when the file, section or key is missing or the value empty.
// Backslashes in path are taken as separators, as Windows does.
std::uint32_t readProfileInt(const char* section, const char* key, std::int32_t defaultValue,
                             const char* path);

// The same over an open stream of the file's bytes.
std::uint32_t readProfileIntFrom(std::istream& file, const char* section, const char* key,
                                 std::int32_t defaultValue);
