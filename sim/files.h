// Paths as a player types them: text on the command line and in reports is UTF-8 everywhere, so
// that "C:\Users\Zoë\run 1.csv" opens on Windows as "/home/zoë/run 1.csv" does elsewhere.
#pragma once

#include "sim/failure.h"

#include <array>
#include <compare>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
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

// The file itself, whatever names it: a hard link has its target's. The device (volume) and the
// inode (file index), ordered so a set of them finds repeats.
struct FileIdentity {
    std::uint64_t device = 0;
    std::array<unsigned char, 16> file = {};
    auto operator<=>(const FileIdentity&) const = default;
};
// None for a path that names nothing the system can open.
std::optional<FileIdentity> fileIdentity(const std::filesystem::path& path);

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
// other writer uses, flushed to the disk, then renamed over path, and the folder flushed so the
// name survives a power cut. On failure the new file is gone and what was at path is as it was
// (kept says whether a file was there). A symbolic link at path is replaced itself, never written
// through. A path that is not a regular file (a named pipe, a device) is written straight: there
// is nothing to keep and nothing to rename. A file the user may not replace (replaceable) is left
// alone. The failure's kind is what the system said (NoSpace, ReadOnly, Denied, ...).
Result<Done> writeWhole(const std::filesystem::path& path, std::string_view bytes);

// Adds bytes at the end of the file at path (made when missing) in one write, as another program
// appending to it at the same time expects: its lines and ours both kept. On failure the file is
// cut back to where it was when nothing was appended after ours (kept: the file is there).
Result<Done> appendWhole(const std::filesystem::path& path, std::string_view bytes);

// What is at a path an output would replace, as the tool judges whether it may (lstat's facts; the
// system's own answer to "may this user write it" beside them).
struct Occupant {
    bool exists = false;
    bool link = false; // a symbolic link
    unsigned owner = 0;
    unsigned mode = 0;         // permission bits
    bool writable = true;      // for this user, as the system answers (root: always)
    bool folderSticky = false; // a shared folder (/tmp): only owners may remove its files
    unsigned folderOwner = 0;
};
Occupant occupantOf(const std::filesystem::path& path);
// The user the tool runs as; rootUser where the system lets it write anything.
unsigned currentUser();
inline constexpr unsigned rootUser = 0;

// Whether user may replace occupant, as the shell's ">" would judge: Denied or NotOurs when not
// (the failure names no path). Root too is refused a file no one may write (0444: read-only on
// purpose) and another's file or link in a shared sticky folder (the planted link of a symlink
// attack) unless the folder's owner owns it.
Result<Done> replaceable(const Occupant& occupant, unsigned user);

// A path for a message or a report line: any letter kept, control characters (ESC, a line end)
// shown as U+FFFD so a name cannot drive the terminal.
std::string shownPath(const std::filesystem::path& path);

// Temporary folders (a simulated game's) that no stop may leave behind: each is removed, with the
// few files named here, by removeTemporaryFolders, which a signal handler may call.
void holdTemporaryFolder(const std::filesystem::path& folder);
void releaseTemporaryFolder(const std::filesystem::path& folder);
inline constexpr const char* temporaryFolderFiles[] = {"Tarnwick.ini", "Tarnwick.log"};
void removeTemporaryFolders();

// A named pipe, a device: something that exists and is neither a file nor a folder.
bool isSpecialFile(const std::filesystem::path& path);

// Whether a file could be written at path, found without opening path itself (a named pipe's
// reader would see an end) and leaving nothing behind; else why, as writeWhole would fail.
Result<Done> probeWritable(const std::filesystem::path& path);

} // namespace sim
