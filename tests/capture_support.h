// What the capture suites share: where the captures are, and a replay that keeps its frames and
// throws its failure, so that a case can look at the words.
#pragma once

#include "sim/capture/capture.h"
#include "sim/capture/fault.h"

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
    sim::Result<sim::CaptureSummary> read =
        sim::replayCapture(path, options, [&](double ms) { replayed.frames.push_back(ms); });
    if (!read) {
        throw sim::CaptureError(read.failure());
    }
    replayed.summary = std::move(*read);
    return replayed;
}

} // namespace capture_support
