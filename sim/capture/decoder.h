// The bytes of a capture as UTF-8, whatever Windows saved it as: UTF-16 with or without a
// byte-order mark, either byte order (a PowerShell 5 redirect), or bytes as they are.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace sim {

enum class TextEncoding { Bytes, Utf16Le, Utf16Be };

class Decoder {
  public:
    explicit Decoder(std::FILE* file) : file_(file) {}

    // Up to space bytes of UTF-8 into out (space at least 4); 0 only at the end of the file.
    std::size_t read(char* out, std::size_t space);

    TextEncoding encoding() const { return encoding_; }

  private:
    void decide();
    std::size_t decodeUtf16(char* out, std::size_t space);

    std::FILE* file_;
    bool decided_ = false;
    TextEncoding encoding_ = TextEncoding::Bytes;
    std::string pending_; // bytes read but not yet given: the opening looked at, half a letter
    std::string raw_;
};

} // namespace sim
