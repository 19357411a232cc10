// Tarnwick.log as the doctor counts it: the plug-in writes one stamped line a purge and only
// appends, so the file may hold lines of several builds, and whatever else was put in it.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct BuildLines {
    std::string stamp; // "Dec  8 2026 10:11:12"
    std::uint64_t lines = 0;
};

struct LogLines {
    std::uint64_t purges = 0;       // lines that start with a build stamp
    std::uint64_t otherLines = 0;   // not blank, not the plug-in's
    std::vector<BuildLines> builds; // in the order they first appear; the first listedBuilds
    std::optional<std::string> lastStamp;
    bool cut = false; // longer than countedLogBytes: counted that far
};

inline constexpr std::size_t listedBuilds = 20;
// Years of purges fill a few megabytes; a file far beyond that is not read to its end.
inline constexpr std::uint64_t countedLogBytes = std::uint64_t{1} << 30;

// in: in, the log's bytes from the start.
LogLines countLogLines(std::istream& in);

} // namespace sim
