#include "sim/capture/line_reader.h"
#include "sim/files.h"

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

namespace sim {
namespace {

constexpr std::size_t chunkBytes = 1 << 20;

} // namespace

LineReader::LineReader(const std::filesystem::path& path) : path_(path)
{
    std::error_code error;
    if (isStandardInput(path)) {
        file_ = standardInput();
        decoder_ = Decoder(file_);
        buffer_.resize(4096);
        return;
    }
    if (std::filesystem::is_directory(path, error)) {
        throw CaptureError(Failure{FailureKind::Folder, path, 0, "is a directory, not a capture"});
    }
    file_ = openFile(path, "rb");
    if (file_ == nullptr) {
        throw CaptureError(Failure{FailureKind::Unreadable, path, 0,
                                   std::string("cannot open: ") + std::strerror(errno)});
    }
    decoder_ = Decoder(file_);
    const auto size = std::filesystem::file_size(path, error);
    size_ = error ? 0 : size;
    // Small files get a small buffer; a line longer than the buffer grows it.
    buffer_.resize(
        static_cast<std::size_t>(std::clamp<std::uint64_t>(size_ + 1, 4096, chunkBytes)));
}

LineReader::~LineReader()
{
    if (file_ != nullptr && file_ != stdin) {
        std::fclose(file_);
    }
}

void LineReader::holdFromStart()
{
    holding_ = true;
}

void LineReader::rewind()
{
    holding_ = false;
    begin_ = 0;
    lineNumber_ = 0;
    consumed_ = 0;
}

void LineReader::tooLong() const
{
    // CapFrameX may write its JSON on one line. A file of it is read as parse events, not here;
    // a pipe of it comes here.
    std::string_view line(buffer_.data() + begin_, end_ - begin_);
    if (line.starts_with("\xEF\xBB\xBF")) {
        line.remove_prefix(3);
    }
    const auto first = line.find_first_not_of(" \t\r\n");
    if (lineNumber_ == 0 && first != std::string_view::npos && line[first] == '{') {
        throw CaptureError(Failure{
            FailureKind::Malformed, path_, 1,
            fmt::format("a line longer than {} MiB that starts as JSON does: CapFrameX JSON is "
                        "read from a file, not as it comes: save the capture, then replay the file",
                        maxLineBytes >> 20)});
    }
    throw CaptureError(Failure{
        FailureKind::TooLarge, path_, lineNumber_ + 1,
        fmt::format("a line longer than {} MiB: not a capture (no capture tool writes lines this "
                    "long)",
                    maxLineBytes >> 20)});
}

bool LineReader::refill()
{
    if (eof_) {
        return false;
    }
    if (begin_ > 0 && !holding_) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ + 4 > buffer_.size()) { // the decoder gives whole letters of up to four bytes
        if (end_ - begin_ > maxLineBytes) {
            tooLong();
        }
        // One line longer than the buffer; room for the longest line and its line end.
        buffer_.resize(std::min(buffer_.size() * 2, begin_ + maxLineBytes + 4));
    }
    const std::size_t got = decoder_.read(buffer_.data() + end_, buffer_.size() - end_);
    if (!sizeInLetters_ && decoder_.encoding() != TextEncoding::Bytes) {
        sizeInLetters_ = true;
        size_ /= 2; // progress counts what is given: a letter a unit, near enough
    }
    if (!lineEndKnown_ && got > 0) {
        const std::string_view read(buffer_.data() + end_, got);
        lineEndKnown_ = read.find_first_of("\r\n") != std::string_view::npos;
        lineEnd_ = read.find('\n') == std::string_view::npos && lineEndKnown_ ? '\r' : '\n';
    }
    end_ += got;
    if (got == 0) {
        eof_ = true;
    }
    return got > 0;
}

bool LineReader::next(std::string_view& line)
{
    std::size_t scanned = begin_;
    for (;;) {
        const void* found = std::memchr(buffer_.data() + scanned, lineEnd_, end_ - scanned);
        if (found != nullptr) {
            const auto at =
                static_cast<std::size_t>(static_cast<const char*>(found) - buffer_.data());
            line = std::string_view(buffer_.data() + begin_, at - begin_);
            consumed_ += at + 1 - begin_;
            begin_ = at + 1;
            lineEnded_ = true;
            break;
        }
        const std::size_t keep = end_ - begin_;
        if (!refill()) {
            if (keep == 0) {
                return false;
            }
            line = std::string_view(buffer_.data() + begin_, end_ - begin_);
            consumed_ += end_ - begin_;
            begin_ = end_;
            // A carriage return without its line feed still ends what the line holds.
            lineEnded_ = line.back() == '\r';
            break;
        }
        scanned = begin_ + keep;
    }
    if (line.size() > maxLineBytes) {
        tooLong();
    }
    if (!line.empty() && line.back() == '\r') { // CR LF
        line.remove_suffix(1);
    }
    ++lineNumber_;
    return true;
}

} // namespace sim
