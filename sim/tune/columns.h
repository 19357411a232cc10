// All pairs with one FPS_Moderate run together as a column: sorted by FPS_Critical, its pairs keep
// their states in order, so where a column stands is three numbers, and eight columns take a
// frame at once in the lanes of one vector (sim/tune/sweep.cpp). The figures are the state
// functions' own: the differential test holds them to a replay's.
#pragma once

#include "sim/tune/cell.h"

#include <vector>

namespace sim {

// One FPS_Moderate with FPS_Critical from low to high: at most maxColumnPairs values, all of them
// below moderate and within gridThresholdBound (sim/check/thresholds.h) like moderate.
struct ColumnSpan {
    std::int32_t moderate;
    std::int32_t low;
    std::int32_t high;
};

// Every column over the frames, on both cores. Each column's cells, FPS_Critical ascending, in
// the order of the spans. The grid's pairs always run, whatever Enabled says: the question is
// what each would do.
std::vector<std::vector<CellResult>> evaluateColumns(const TuneFrames& frames,
                                                     const std::vector<ColumnSpan>& spans);

} // namespace sim
