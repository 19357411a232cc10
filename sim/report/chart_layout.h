// The session chart's geometry and palette, shared by the chart (svg.cpp) and its strips of marks
// (marks.cpp), which must line up with it on the same time axis.
#pragma once

#include "governor/state.h"
#include "sim/session/session.h"
#include "sim/session/slumps.h"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <vector>

namespace sim::chart {

inline constexpr double width = 1000;
inline constexpr double left = 60;
inline constexpr double right = 980;
inline constexpr double purgeTop = 40;
inline constexpr double purgeBottom = 54;
inline constexpr double top = 62;
inline constexpr double bottom = 340;
inline constexpr double bandTop = 352;
inline constexpr double bandHeight = 18;
inline constexpr double height = 436;
inline constexpr double purgeCell = 12; // pixels: purges closer than this share one counted mark

const char* stateColour(PerfState state);
// A third, two thirds or the whole of full: the worse the state, the taller its mark.
double stateHeight(PerfState state, double full);

struct Scale {
    double durationMs;
    double maxFps;
    double x(double ms) const
    {
        return left + (right - left) * (durationMs > 0 ? std::clamp(ms / durationMs, 0.0, 1.0) : 0);
    }
    double y(double fps) const
    {
        if (std::isnan(fps)) {
            fps = 0;
        }
        return bottom - (bottom - top) * std::clamp(fps, 0.0, maxFps) / maxFps;
    }
};

// Where a strip of purge marks lies, and what it is called.
struct Strip {
    double top;
    double bottom;
    const char* label;
    const char* colour;
};
inline constexpr Strip purgeStrip{purgeTop, purgeBottom, "purges", "#6a3d9a"};

// in: vehicles, whether the purges removed vehicles that were counted (not a tuner's pair).
void purgeMarks(std::ostream& out, const std::vector<PurgeEvent>& purges, const Scale& s,
                bool vehicles, const Strip& strip);
// Slumps behind the plot from y from to y to, so that purges in them and outside them are told
// apart at a glance.
void slumpBands(std::ostream& out, const std::vector<Slump>& slumps, const Scale& s, double from,
                double to);

// What each mark means, along the chart's foot; the line of a run without Tarnwick, or else the
// slumps, when they are drawn.
void legend(std::ostream& out, bool compared, bool slumps);

} // namespace sim::chart
