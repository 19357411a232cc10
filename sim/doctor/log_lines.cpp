#include "sim/doctor/log_lines.h"

#include "sim/doctor/binary.h"

#include <algorithm>
#include <cstring>

namespace sim {
namespace {

void countLine(std::string_view head, LogLines& log)
{
    const std::optional<std::string> stamp = stampAt(head);
    if (!stamp) {
        if (head.find_first_not_of(" \t\r") != std::string_view::npos) {
            ++log.otherLines;
        }
        return;
    }
    ++log.purges;
    const auto build = std::find_if(log.builds.begin(), log.builds.end(),
                                    [&](const BuildLines& b) { return b.stamp == *stamp; });
    if (build != log.builds.end()) {
        ++build->lines;
    } else if (log.builds.size() < listedBuilds) {
        log.builds.push_back({*stamp, 1});
    }
    log.lastStamp = stamp;
}

} // namespace

LogLines countLogLines(std::istream& in)
{
    LogLines log;
    std::string head; // the line's first bytes: all a stamp needs
    bool inLine = false;
    std::uint64_t total = 0;
    char chunk[1 << 16];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        const auto got = static_cast<std::size_t>(in.gcount());
        for (std::size_t at = 0; at < got;) {
            const char* newline = static_cast<const char*>(std::memchr(chunk + at, '\n', got - at));
            const std::size_t end =
                newline != nullptr ? static_cast<std::size_t>(newline - chunk) : got;
            const std::size_t room = stampBytes - std::min(stampBytes, head.size());
            head.append(chunk + at, std::min(room, end - at));
            inLine = inLine || end > at;
            if (newline == nullptr) {
                break;
            }
            countLine(head, log);
            head.clear();
            inLine = false;
            at = end + 1;
        }
        total += got;
        if (total >= countedLogBytes) {
            log.cut = in.peek() != std::istream::traits_type::eof();
            break;
        }
    }
    if (inLine) {
        countLine(head, log);
    }
    return log;
}

} // namespace sim
