// The platform services the plug-in uses besides the hook. On Windows they are the Win32 calls and
// the C runtime; elsewhere the simulated host supplies them, so that it controls time and the game
// folder.
#pragma once

#include <cstddef>
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

// The frame record's file, named relative to where Tarnwick.log lies. Each call opens and closes
// the file again, as the log's writer does, so a crash leaves nothing half open.

// in: name. Creates the file only when no file of that name exists; false when it exists or
// cannot be made.
bool platformCreateRecord(const char* name);

// in: name, data, size. Appends the bytes; false when they were not all written (some may have
// been: a full disk).
bool platformAppendRecord(const char* name, const char* data, std::size_t size);

// in: name, size. Cuts the file back to size bytes, undoing a write that went in part.
bool platformCutRecord(const char* name, std::uint64_t size);

// out: buffer, the local date and time as "YYYY-MM-DD_hh-mm-ss" (safe in a file name), terminated;
// in: size, at least 20.
void platformLocalStamp(char* buffer, std::size_t size);
