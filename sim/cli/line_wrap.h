// Lines for a console: one wider than the console is broken by the console wherever its edge
// falls, inside a word or a number. Broken here at a space instead, and only on a console: a
// pipe or a file gets each line whole, as scripts read it.
#pragma once

#include <cstddef>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace sim {

// line (no line end) as lines of at most width columns, broken at spaces outside double quotes
// (a quoted path stays whole, to be copied), each after the first indented two further than the
// line's own indent; a word longer than a line stays whole. Joined with '\n', no end.
std::string wrappedForConsole(std::string_view line, std::size_t width);

// Holds each line until its end, then hands it on wrapped. A '\r' (a progress line drawn over
// itself) hands on what is held as it is.
class LineWrapBuffer : public std::streambuf {
  public:
    LineWrapBuffer(std::streambuf* target, std::size_t width) : target_(target), width_(width) {}
    ~LineWrapBuffer() override { sync(); }

  protected:
    int_type overflow(int_type c) override;
    int sync() override;

  private:
    std::streambuf* target_;
    std::size_t width_;
    std::string line_;
};

// While it lives, stream goes through a LineWrapBuffer of width columns; none for 0.
class WrappedConsole {
  public:
    WrappedConsole(std::ostream& stream, std::size_t width);
    ~WrappedConsole();
    WrappedConsole(const WrappedConsole&) = delete;
    WrappedConsole& operator=(const WrappedConsole&) = delete;

  private:
    std::ostream& stream_;
    std::streambuf* original_;
    std::ios::fmtflags flags_;
    LineWrapBuffer buffer_;
};

} // namespace sim
