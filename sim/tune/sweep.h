// One sweep: up to 64 columns of pairs going through every frame of a capture together, each
// column's pairs exactly as the plug-in's state functions would take them one by one.
#pragma once

#include "sim/tune/cell.h"
#include "sim/tune/columns.h"

#include <vector>

namespace sim {

// One bit a column in a word: which columns a frame moved, which need a closer look.
inline constexpr std::size_t sweepColumns = 64;

// in: spans, at most sweepColumns. Each column's cells, FPS_Critical ascending, in their order.
std::vector<std::vector<CellResult>> sweepFrames(const TuneFrames& frames,
                                                 const std::vector<ColumnSpan>& spans);

} // namespace sim
