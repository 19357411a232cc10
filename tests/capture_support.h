// What the capture suites share: where the captures are, and a replay that keeps its frames.
#pragma once

#include "sim/capture/capture.h"

#include <filesystem>
#include <vector>

namespace capture_support {

inline const std::filesystem::path captures = TARNWICK_CAPTURES_DIR;
inline const std::filesystem::path fixtures = TARNWICK_TEST_DATA_DIR;

struct Replayed {
    sim::CaptureSummary summary;
    std::vector<double> frames;
};

inline Replayed replay(const std::filesystem::path& path, sim::CaptureOptions options = {})
{
    Replayed replayed;
    options.restart = [&replayed] { replayed.frames.clear(); };
    replayed.summary =
        sim::replayCapture(path, options, [&](double ms) { replayed.frames.push_back(ms); });
    return replayed;
}

} // namespace capture_support
