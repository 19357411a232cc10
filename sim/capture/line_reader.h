// Reads a file line by line through one buffer, so memory does not grow with the file: not even
// with a source that has no line ends (/dev/zero, a crash's file of NUL bytes). Lines end as
// Windows tools end them (CR LF, LF, or CR alone, as old Mac tools do), in UTF-8 or UTF-16
// (see Decoder): the lines given are UTF-8 either way.
#pragma once

#include "sim/capture/decoder.h"
#include "sim/capture/fault.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <vector>

namespace sim {

// No capture tool writes a line this long: PresentMon 2.x's widest rows are a few hundred bytes.
inline constexpr std::size_t maxLineBytes = 1 << 20;

class LineReader {
  public:
    // Throws CaptureError when the file cannot be opened. "-" is standard input.
    explicit LineReader(const std::filesystem::path& path);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next line without its line end; valid until the next call. False at the end. Throws
    // CaptureError naming the line when it is longer than maxLineBytes.
    bool next(std::string_view& line);
    // Whether a line end followed the line just given. Only the input's last line can lack one:
    // the tool that wrote it was stopped in the middle of it, or never ends its last line.
    bool lineEnded() const { return lineEnded_; }

    // For input that cannot be read twice (a pipe): from holdFromStart() on, every line stays in
    // memory until rewind() starts the reading again at the first line, and lets them go.
    void holdFromStart();
    void rewind();

    std::uint64_t lineNumber() const { return lineNumber_; }
    std::uint64_t bytesConsumed() const { return consumed_; }
    std::uint64_t fileSize() const { return size_; }

  private:
    bool refill();
    [[noreturn]] void tooLong() const;

    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    Decoder decoder_{nullptr};
    char lineEnd_ = '\n'; // a carriage return in a file that has no line feed
    bool lineEndKnown_ = false;
    bool sizeInLetters_ = false;
    bool holding_ = false;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    bool lineEnded_ = false;
    std::uint64_t lineNumber_ = 0;
    std::uint64_t consumed_ = 0;
    std::uint64_t size_ = 0;
};

} // namespace sim
