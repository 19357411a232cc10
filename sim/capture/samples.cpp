#include "sim/capture/samples.h"

#include <fmt/format.h>

#include <charconv>

namespace sim {

void refuseSamples(const std::filesystem::path& path, const FieldPlaces& places, ClockWatch& read)
{
    const double spanMs = read.lastClockMs - read.firstClockMs;
    const std::uint64_t steps = read.clockedRows > 0 ? read.clockedRows - 1 : 0;
    if (steps < 2 || spanMs < 1000 || read.sampledSteps * 5 <= steps * 4) {
        return;
    }
    if (places.clockMsPerUnit == 1000.0 && read.millisecondSteps * 5 > steps * 4) {
        read.millisecondsUnderSeconds = true;
        return;
    }
    failCapture(path, 0,
                fmt::format("a log of samples, not of frames: its own clock ({}) runs {:.1f} s "
                            "over {} rows whose frame times add up to {:.1f} s; record one row per "
                            "frame (for MangoHud: a log interval of 0, log_interval=0)",
                            places.clockName, spanMs / 1000, read.clockedRows,
                            read.frameMsAfterFirst / 1000));
}

void noteClock(const std::filesystem::path& path, std::string_view cell, const FieldPlaces& places,
               double frameMs, ClockWatch& read)
{
    cell = trim(cell);
    double clock = 0;
    const auto [end, error] = std::from_chars(cell.data(), cell.data() + cell.size(), clock);
    if (error != std::errc() || end != cell.data() + cell.size()) {
        return;
    }
    const double ms = clock * places.clockMsPerUnit;
    if (read.clockedRows++ == 0) {
        read.firstClockMs = ms;
    } else {
        const double frame = frameMs > 0 ? frameMs : 0;
        read.frameMsAfterFirst += frame;
        read.sampledSteps += ms - read.lastClockMs > 1.5 * frame + 2 ? 1 : 0;
        const double unitStep = (ms - read.lastClockMs) / places.clockMsPerUnit;
        read.millisecondSteps +=
            unitStep > 0.5 * frame - 2 && unitStep < 1.5 * frame + 2 && frame > 0 ? 1 : 0;
    }
    read.lastClockMs = ms;
    if (read.clockedRows == rowsToJudgeTheClock) {
        refuseSamples(path, places, read);
    }
}

} // namespace sim
