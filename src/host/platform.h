// The platform services the plug-in uses besides the hook. On Windows they are the Win32 calls and
// the C runtime; elsewhere the simulated host supplies them, so that it controls time and the game
// folder.
#pragma once

#include <cstdint>
#include <fstream>

// out: buffer, the executable's full path; in: size of buffer. Behaves as
// GetModuleFileNameA(NULL, ...): returns the characters written, 0 on failure, size when cut.
std::uint32_t platformModulePath(char* buffer, std::uint32_t size);

// Behaves as GetPrivateProfileIntA: the key's integer value, or defaultValue when the file,
// section or key is missing.
std::uint32_t platformProfileInt(const char* section, const char* key, std::int32_t defaultValue,
                                 const char* path);

// Milliseconds since the operating system started, wrapping at 2^32 (GetTickCount).
std::uint32_t platformTickMs();

// Tarnwick.log opened to append in text mode; not open when it cannot be. On Windows it lies in
// the process's current folder, the game's.
std::ofstream platformOpenLog();
