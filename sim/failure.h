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
};

struct Failure {
    FailureKind kind = FailureKind::Malformed;
    std::filesystem::path path;   // what could not be used; empty when nothing in particular
    std::uint64_t line = 0;       // where in it, from 1; 0 when not one line
    std::string what;             // the reason in words, or the system's own
    std::uint64_t limitBytes = 0; // TooLarge: the limit
};

// "FILE:LINE: what", "FILE: what", or what alone.
std::string failureText(const Failure& failure);

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
