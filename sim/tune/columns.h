// All pairs with one FPS_Moderate run together, a pair to a bit: whether a frame takes a pair
// below FPS_Critical (or above FPS_Critical + 5) is a run of neighbouring bits when the pairs are
// sorted by FPS_Critical, so a frame's work for the whole column is a few word operations. The
// figures are the state functions' own (the differential test holds them to a replay's).
#pragma once

#include "sim/tune/grid.h"

#include <vector>

namespace sim {

// One FPS_Moderate with FPS_Critical from low to high: at most 128 values, all of them below
// moderate and within -1000..1000 like moderate.
struct ColumnSpan {
    std::int32_t moderate;
    std::int32_t low;
    std::int32_t high;
};

// Each column's cells, FPS_Critical ascending. Uses both cores.
std::vector<std::vector<CellResult>> evaluateColumns(const TuneFrames& frames,
                                                     const GovernorSettings& base,
                                                     const std::vector<ColumnSpan>& columns);

} // namespace sim
