// Paths as a player types them: text on the command line and in reports is UTF-8 everywhere, so
// that "C:\Users\Zoë\run 1.csv" opens on Windows as "/home/zoë/run 1.csv" does elsewhere.
#pragma once

#include "sim/failure.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace sim {

inline std::filesystem::path pathFromUtf8(std::string_view text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string utf8Of(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// std::fopen with a path that may hold any letter: the platform's wide open on Windows.
std::FILE* openFile(const std::filesystem::path& path, const char* mode);

// "-" on the command line: the tool reads its standard input.
inline bool isStandardInput(const std::filesystem::path& path)
{
    return path == "-";
}

// Standard input in binary mode: Windows' text mode would turn CR LF into LF and stop at ^Z.
std::FILE* standardInput();

// Whether path names the file standard input was opened on (a capture given as "-" < FILE).
bool isStandardInputFile(const std::filesystem::path& path);

// Reads what has come, up to size bytes, without waiting for more once some has: a pipe's lines
// are given as they arrive. 0 at the end, on an error, or once endInputs() was called. Never
// mixed with the stdio buffer: a file read so is read only so.
std::size_t readSome(std::FILE* file, char* out, std::size_t size);

// From a signal handler or another thread: every readSome from now on finds the end.
void endInputs();
// Whether endInputs was called: the input was stopped, not at its end.
bool inputsWereEnded();

// The whole file when it holds at most maxBytes (what is read is held, so a source without end,
// /dev/zero or a pipe that never closes, stops there); else Missing, Folder, NotAFile (a pipe
// would hold the reader until something wrote to it), TooLarge or Unreadable, the system's reason
// in what.
Result<std::string> readBounded(const std::filesystem::path& path, std::uint64_t maxBytes);

// Writes bytes as the file at path, whole or not at all: into a new file beside it under a name no
// other writer uses, flushed to the disk, then renamed over path. On failure the new file is gone
// and what was at path is as it was. A path that is not a regular file (a named pipe, a device)
// is written straight: there is nothing to keep and nothing to rename. Empty when written, else
// the reason in a player's words ("no space left on the disk").
std::string writeWhole(const std::filesystem::path& path, std::string_view bytes);

// A named pipe, a device: something that exists and is neither a file nor a folder.
bool isSpecialFile(const std::filesystem::path& path);

// Why no file could be written at path, found without opening path itself (a named pipe's reader
// would see an end) and leaving nothing behind; empty when one can.
std::string whyNotWritable(const std::filesystem::path& path);

} // namespace sim
