// Paths as a player types them: text on the command line and in reports is UTF-8 everywhere, so
// that "C:\Users\Zoë\run 1.csv" opens on Windows as "/home/zoë/run 1.csv" does elsewhere.
#pragma once

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

} // namespace sim
