// Reads a file line by line through one buffer, so memory does not grow with the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <vector>

namespace sim {

class LineReader {
  public:
    // Throws CaptureError when the file cannot be opened.
    explicit LineReader(const std::filesystem::path& path);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The next line without its line end; valid until the next call. False at the end.
    bool next(std::string_view& line);

    std::uint64_t lineNumber() const { return lineNumber_; }
    std::uint64_t bytesConsumed() const { return consumed_; }
    std::uint64_t fileSize() const { return size_; }

  private:
    bool refill();

    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    std::uint64_t lineNumber_ = 0;
    std::uint64_t consumed_ = 0;
    std::uint64_t size_ = 0;
};

} // namespace sim
