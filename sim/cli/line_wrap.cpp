#include "sim/cli/line_wrap.h"

#include <algorithm>

namespace sim {
namespace {

std::size_t columnsOf(std::string_view utf8)
{
    std::size_t count = 0;
    for (const char c : utf8) {
        count += (static_cast<unsigned char>(c) & 0xC0) == 0x80 ? 0 : 1;
    }
    return count;
}

} // namespace

std::string wrappedForConsole(std::string_view line, std::size_t width)
{
    if (columnsOf(line) <= width) {
        return std::string(line);
    }
    const std::size_t indent = std::min(line.find_first_not_of(' '), line.size());
    const std::string lead(std::min(indent + 2, width / 2), ' ');
    std::string out;
    std::size_t start = 0;     // of the line being made, in line
    std::size_t lastBreak = 0; // the last space it may break at; 0: none yet
    std::size_t used = 0;      // columns of the line being made, with its lead
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        quoted = c == '"' ? !quoted : quoted;
        if (c == ' ' && !quoted && i > indent) {
            lastBreak = i;
        }
        used += (static_cast<unsigned char>(c) & 0xC0) == 0x80 ? 0 : 1;
        if (used > width && lastBreak > start) {
            out.append(line.substr(start, lastBreak - start)).append("\n").append(lead);
            start = lastBreak + 1;
            used = lead.size() + columnsOf(line.substr(start, i + 1 - start));
            lastBreak = 0;
        }
    }
    return out.append(line.substr(start));
}

LineWrapBuffer::int_type LineWrapBuffer::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    const char ch = traits_type::to_char_type(c);
    if (ch == '\n') {
        const std::string lines = wrappedForConsole(line_, width_) + '\n';
        line_.clear();
        const auto size = static_cast<std::streamsize>(lines.size());
        return target_->sputn(lines.data(), size) == size ? c : traits_type::eof();
    }
    line_ += ch;
    if (ch == '\r') {
        return sync() == 0 ? c : traits_type::eof();
    }
    return c;
}

int LineWrapBuffer::sync()
{
    const auto size = static_cast<std::streamsize>(line_.size());
    const bool whole = target_->sputn(line_.data(), size) == size;
    line_.clear();
    return whole && target_->pubsync() == 0 ? 0 : -1;
}

WrappedConsole::WrappedConsole(std::ostream& stream, std::size_t width)
    : stream_(stream), original_(stream.rdbuf()), flags_(stream.flags()), buffer_(original_, width)
{
    if (width > 0) {
        stream_.rdbuf(&buffer_);
        // Standard error flushes after every piece: a line must reach its end to be wrapped.
        stream_.unsetf(std::ios::unitbuf);
    }
}

WrappedConsole::~WrappedConsole()
{
    stream_.flush();
    stream_.rdbuf(original_);
    stream_.flags(flags_);
}

} // namespace sim
