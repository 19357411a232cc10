// How a failure travels in the tools: as a value that carries its fields, returned beside the
// result it stands in for, and put into words only where it is told (the command line, a finding,
// a page). Findings are results, not failures.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <variant>

namespace sim {

enum class FailureKind {
    Missing,    // no such file
    Folder,     // a folder where a file was wanted
    NotAFile,   // a pipe or a device where a file was wanted
    TooLarge,   // larger than the reader's limit
    Unreadable, // the system refused: what says why
    Malformed,  // read, and not what it should be: what says how
    BadOption,  // an option the input has no use for: a bad argument, not a bad input
    Setup,      // the tool's own work could not start (a simulated game's folder): not the input's
    // What the system said when a file could not be written (what holds its words for Unwritable).
    NoSpace,     // ENOSPC, ERROR_DISK_FULL
    Quota,       // EDQUOT: the user's share of the disk
    TooBig,      // EFBIG, ERROR_FILE_TOO_LARGE
    ReadOnly,    // EROFS, ERROR_WRITE_PROTECT
    Denied,      // EACCES, EPERM, ERROR_ACCESS_DENIED, and a file no one may write (0444)
    NotOurs,     // another user's file or link in a shared folder: never replaced, even by root
    InUse,       // ERROR_SHARING_VIOLATION: another program holds the file
    NoFolder,    // ENOENT, ERROR_PATH_NOT_FOUND: the folder to write in is not there
    NotAFolder,  // ENOTDIR: a part of the path is a file
    PipeClosed,  // EPIPE: the program reading went away
    NameTooLong, // ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE
    Unwritable,  // anything else: what holds the system's words
};

// What the tool was doing with the path when it failed: the words say it.
enum class FailureAct {
    Use,          // "FILE:LINE: what": reading or taking an input
    ReadSettings, // the settings file: "FILE is a folder, not a settings file", ...
    Write,        // "cannot write OUTPUT to FILE: reason", and that an earlier file was kept
    WriteIn,      // "cannot write OUTPUT in FOLDER: reason"
    Add,          // "cannot add OUTPUT to FILE: reason", and that the log there is as it was
};

struct Failure {
    FailureKind kind = FailureKind::Malformed;
    std::filesystem::path path = {}; // what could not be used; empty when nothing in particular
    std::uint64_t line = 0;          // where in it, from 1; 0 when not one line
    std::string what = {};           // the reason in words, or the system's own
    std::uint64_t limitBytes = 0;    // TooLarge: the limit
    FailureAct act = FailureAct::Use;
    std::string output = {}; // Write, WriteIn, Add: what was written, as the player knows it
    bool kept = false;       // Write, Add: the file already at path is as it was
};

// The one place a failure is put into words: "FILE:LINE: what", "FILE: what" or what alone as it
// was used; "cannot write the page to FILE: no space left on the disk (the page already there is
// as it was)" as it was written.
std::string failureText(const Failure& failure);

// The system's answer in a player's words ("no space left on the disk", "it is larger than 64
// MiB"), what for the rest: what a write or a doctor's finding says after its own words.
std::string reasonText(const Failure& failure);

// The same failure, to be told as what the tool was doing with its file (act, output: "the chart").
Failure toldAs(Failure failure, FailureAct act, std::string output = {});

// A value or the failure that stands in for it.
template <class T> class [[nodiscard]] Result {
  public:
    Result(T value) : held_(std::move(value)) {}
    Result(Failure failure) : held_(std::move(failure)) {}

    explicit operator bool() const { return held_.index() == 0; }
    T& operator*() { return std::get<0>(held_); }
    const T& operator*() const { return std::get<0>(held_); }
    T* operator->() { return &std::get<0>(held_); }
    const T* operator->() const { return &std::get<0>(held_); }
    const Failure& failure() const { return std::get<1>(held_); }

  private:
    std::variant<T, Failure> held_;
};

// Nothing to give back but whether it worked.
struct Done {};

} // namespace sim
