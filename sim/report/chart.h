// The session chart as a standalone SVG.
#pragma once

#include "sim/session/session.h"
#include "sim/session/slumps.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace sim {

// Another pair on the same axes: its thresholds dotted, labelled at the left, and its purges as
// circles on a strip of their own, so that it never hides the player's pair, even when it is it.
struct OtherPair {
    std::int32_t moderate = 0;
    std::int32_t critical = 0;
    std::vector<double> purgeTimesMs;
};

struct ChartOptions {
    std::string title;
    bool vehicles = true; // false: a replay, whose purges have no vehicles to remove
    const SessionResult* baseline = nullptr;       // drawn beside: the same drive without Tarnwick
    const std::vector<Slump>* slumps = nullptr;    // shaded behind the frame rate
    const std::vector<Span>* asideSpans = nullptr; // not play: shaded apart from the slumps
    const OtherPair* recommended = nullptr;
    // The page's captures share one scale; 0: the session's own.
    double durationMs = 0;
    double maxFps = 0;
    // The capture's levels of play, each its own pace: shaded behind the slumps, said with it.
    const std::vector<PlayLevel>* levels = nullptr;
};

// A standalone SVG: frame rate over time, thresholds with their hysteresis bands, the state as
// coloured bands, and the purges on a strip of their own. Its size follows its width, not the
// session's length.
void writeSvg(std::ostream& out, const SessionResult& result, const ChartOptions& options);
// The top of the frame-rate scale writeSvg would choose for this session alone, leaving out what
// is set aside, if given.
double chartMaxFps(const SessionResult& result, const std::vector<Span>* asideSpans = nullptr);

} // namespace sim
