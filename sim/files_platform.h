// The platform's part of writing a file whole (files_*.cpp), for files.cpp and the tests alone.
#pragma once

#include "sim/failure.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace sim {

// The system calls of writing a file whole, bound by files_posix.cpp and files_win32.cpp. A test
// puts its own in their place (replaceWrite) to fail each step. Each returns 0 or the system's own
// error code (errno, GetLastError), which writeFailure turns into a Failure.
struct WriteCalls {
    using Handle = std::intptr_t;
    // A new file at made that did not exist (alreadyExists(code) when one did), with the
    // permissions of the regular file at like, if any.
    long (*createNew)(const std::filesystem::path& made, const std::filesystem::path& like,
                      Handle& file);
    // Up to size bytes; put says how many went. 0 bytes put and no error is a full disk.
    long (*write)(Handle file, const char* bytes, std::size_t size, std::size_t& put);
    long (*flush)(Handle file); // to the disk: fsync, FlushFileBuffers
    long (*close)(Handle file);
    long (*rename)(const std::filesystem::path& from, const std::filesystem::path& to);
    long (*remove)(const std::filesystem::path& path);
    // The file at path opened to add at its end, made when missing: each write lands after what
    // another program added meanwhile.
    long (*openToAdd)(const std::filesystem::path& path, Handle& file);
    // Cuts the put bytes just added to file (opened by openToAdd at path) off again, unless
    // another program added after them.
    long (*takeBack)(Handle file, const std::filesystem::path& path, std::uint64_t put);
    // The folder's entries to the disk after a rename, so a power cut keeps the new name.
    long (*syncFolder)(const std::filesystem::path& folder);
};

// The calls in use: the system's, unless a test replaced them.
const WriteCalls& writeCalls();
// Puts calls in place of the system's until the next call; returns those that were in place.
WriteCalls replaceWrite(const WriteCalls& calls);
// The system's own calls.
const WriteCalls& systemWriteCalls();

// The system's error code as a failure of writing path: its kind, and the system's words where no
// kind says it.
Failure writeFailure(long code, const std::filesystem::path& path);
// Whether createNew failed only because the name was taken.
bool alreadyExists(long code);
// errno (the C library's, on every platform) as a failure of writing path.
Failure errnoFailure(int error, const std::filesystem::path& path);

// The process's number, for the names of new files beside a target.
unsigned processNumber();

// A new file beside target, named for this process and a count: two writers never share one.
std::filesystem::path besideName(const std::filesystem::path& target, unsigned process,
                                 unsigned count);

} // namespace sim
