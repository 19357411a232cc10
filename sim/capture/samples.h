// Frames or samples? A capture whose own clock steps far past its rows' frame times holds
// samples: MangoHud logs a row every 100 ms unless its log interval is 0, and replayed as frames
// every time, the 7 seconds between purges among them, would come out too short. Row by row, not
// in total: a game that makes new swap chains leaves gaps in a per-frame capture too, but its rows
// still step by their frame times. Decided at the 50th row, so a pipe's replay does not run on
// samples for long, or at the end of a shorter capture.
#pragma once

#include "sim/capture/csv.h"

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace sim {

inline constexpr std::uint64_t rowsToJudgeTheClock = 50;

// The replayed rows against the capture's own clock: a log of samples shows in the gap.
struct ClockWatch {
    std::uint64_t clockedRows = 0;
    double firstClockMs = 0;
    double lastClockMs = 0;
    double frameMsAfterFirst = 0;
    std::uint64_t sampledSteps = 0; // rows whose clock stepped far past their frame time
    // PresentMon's --qpc_time_ms and CapFrameX's raw file write milliseconds under the name
    // TimeInSeconds: read as seconds, that clock runs a thousand times too far.
    std::uint64_t millisecondSteps =
        0; // rows whose clock, in its own units, stepped by their frame
    bool millisecondsUnderSeconds = false;
};

// A row's clock cell beside its frame time; refuses the capture at the deciding row.
void noteClock(const std::filesystem::path& path, std::string_view cell, const FieldPlaces& places,
               double frameMs, ClockWatch& read);
// Refuses a capture whose rows so far are samples, unless its clock named in seconds steps by the
// frame times in milliseconds; for one that ends before the deciding row.
void refuseSamples(const std::filesystem::path& path, const FieldPlaces& places, ClockWatch& read);

} // namespace sim
