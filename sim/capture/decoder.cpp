#include "sim/capture/decoder.h"
#include "sim/files.h"
#include "sim/text.h"

#include <algorithm>
#include <cstring>

namespace sim {

// From the first bytes: a byte-order mark, or a capture's ASCII with a zero byte beside each
// letter. Anything else is read as the bytes it is.
void Decoder::decide()
{
    decided_ = true;
    char opening[4];
    std::size_t got = 0;
    for (std::size_t more = 1; got < sizeof opening && more > 0; got += more) {
        more = readSome(file_, opening + got, sizeof opening - got);
    }
    pending_.assign(opening, got);
    const auto at = [&](std::size_t i) {
        return i < pending_.size() ? static_cast<unsigned char>(pending_[i]) : 0x100u;
    };
    if (at(0) == 0xFF && at(1) == 0xFE) {
        encoding_ = TextEncoding::Utf16Le;
        pending_.erase(0, 2);
    } else if (at(0) == 0xFE && at(1) == 0xFF) {
        encoding_ = TextEncoding::Utf16Be;
        pending_.erase(0, 2);
    } else if (got == 4 && at(0) != 0 && at(1) == 0 && at(2) != 0 && at(3) == 0) {
        encoding_ = TextEncoding::Utf16Le;
    } else if (got == 4 && at(0) == 0 && at(1) != 0 && at(2) == 0 && at(3) != 0) {
        encoding_ = TextEncoding::Utf16Be;
    }
}

std::size_t Decoder::read(char* out, std::size_t space)
{
    if (!decided_) {
        decide();
    }
    if (encoding_ != TextEncoding::Bytes) {
        return decodeUtf16(out, space);
    }
    std::size_t given = std::min(pending_.size(), space);
    std::memcpy(out, pending_.data(), given);
    pending_.erase(0, given);
    if (given == 0) { // what was held first, alone: a pipe's next bytes may be long in coming
        given = readSome(file_, out, space);
    }
    return given;
}

// A letter of UTF-16 is at most three bytes of UTF-8 (four for a pair of two units): so many
// units are read that what they make fits. Lone surrogates become U+FFFD.
std::size_t Decoder::decodeUtf16(char* out, std::size_t space)
{
    std::string utf8;
    for (;;) {
        const std::size_t units = std::max<std::size_t>(space / 3, 2);
        raw_ = pending_;
        pending_.clear();
        const std::size_t wanted = units * 2 > raw_.size() ? units * 2 - raw_.size() : 0;
        raw_.resize(raw_.size() + wanted);
        const std::size_t got =
            wanted > 0 ? readSome(file_, raw_.data() + raw_.size() - wanted, wanted) : 0;
        raw_.resize(raw_.size() - wanted + got);
        const bool end = wanted > 0 && got == 0;
        const auto unit = [&](std::size_t i) {
            const auto a = static_cast<unsigned char>(raw_[i]);
            const auto b = static_cast<unsigned char>(raw_[i + 1]);
            return static_cast<char32_t>(encoding_ == TextEncoding::Utf16Le ? a | (b << 8)
                                                                            : (a << 8) | b);
        };
        std::size_t i = 0;
        for (; i + 1 < raw_.size() && utf8.size() + 4 <= space; i += 2) {
            const char32_t c = unit(i);
            if (c >= 0xD800 && c <= 0xDBFF) {
                if (i + 3 >= raw_.size() && !end) {
                    break; // its other half comes with the next read
                }
                const char32_t low = i + 3 < raw_.size() ? unit(i + 2) : 0;
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    appendUtf8(utf8, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
                    i += 2;
                    continue;
                }
                appendUtf8(utf8, 0xFFFD);
            } else if (c >= 0xDC00 && c <= 0xDFFF) {
                appendUtf8(utf8, 0xFFFD);
            } else {
                appendUtf8(utf8, c);
            }
        }
        pending_.assign(raw_, i, std::string::npos);
        if (end && !pending_.empty() && utf8.size() + 3 <= space) {
            appendUtf8(utf8, 0xFFFD); // half a unit at the very end
            pending_.clear();
        }
        if (!utf8.empty() || (end && pending_.empty())) {
            break;
        }
    }
    std::memcpy(out, utf8.data(), utf8.size());
    return utf8.size();
}

} // namespace sim
