// The session chart as a standalone SVG, and another pair's purges on its time axis.
#pragma once

#include "sim/session/session.h"
#include "sim/session/slumps.h"

#include <ostream>
#include <string>
#include <vector>

namespace sim {

struct ChartOptions {
    std::string title;
    bool vehicles = true; // false: a replay, whose purges have no vehicles to remove
    const SessionResult* baseline = nullptr;    // drawn beside: the same drive without Tarnwick
    const std::vector<Slump>* slumps = nullptr; // shaded behind the frame rate
};

// A standalone SVG: frame rate over time, thresholds with their hysteresis bands, the state as
// coloured bands, and the purges on a strip of their own. Its size follows its width, not the
// session's length.
void writeSvg(std::ostream& out, const SessionResult& result, const ChartOptions& options);
// Another pair's purges on the same time axis as writeSvg's chart, with the slumps behind them.
void writePurgeStrip(std::ostream& out, double durationMs, const std::vector<double>& purgeTimesMs,
                     const std::vector<Slump>& slumps, const std::string& label);

} // namespace sim
