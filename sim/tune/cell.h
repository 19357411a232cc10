// A cell of the grid: one pair's figures over a capture, and the reference that runs that pair
// alone, exactly as a replay with it would go: the plug-in's state functions followed over the
// frames the way a session follows them. The grid's columns (sim/tune/columns.h) are held to it.
#pragma once

#include "governor/state.h"
#include "settings/settings.h"
#include "sim/session/slumps.h"
#include "sim/tune/frames.h"

#include <array>
#include <cstdint>
#include <vector>

namespace sim {

struct CellResult {
    std::int32_t moderate = 0;
    std::int32_t critical = 0;
    std::uint64_t purges = 0;
    // Every purge's time: kept by evaluateCell, not for each pair of a grid (memory would grow
    // with the capture).
    std::vector<double> purgeTimesMs;
    SlumpScore slumps; // its purges against the capture's slumps
    std::uint64_t changes = 0;
    std::array<double, 3> timeInStateMs{};
};

// One pair, frame by frame, followed as a session follows the plug-in. in: settings, those of the
// settings file with this pair's thresholds in them.
CellResult evaluateCell(const TuneFrames& frames, const GovernorSettings& settings);

} // namespace sim
