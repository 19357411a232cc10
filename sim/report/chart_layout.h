// The session chart's geometry and palette, shared by the chart (svg.cpp) and its strips of marks
// (marks.cpp), which must line up with it on the same time axis.
#pragma once

#include "governor/state.h"
#include "sim/report/svg_writer.h"
#include "sim/session/session.h"
#include "sim/session/slumps.h"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

namespace sim::chart {

inline constexpr double width = 1000;
inline constexpr double left = 60;
inline constexpr double right = 980;
inline constexpr double purgeTop = 34;
inline constexpr double purgeBottom = 48;
inline constexpr double otherTop = 50; // another pair's purges
inline constexpr double otherBottom = 64;
inline constexpr double top = 72;
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

// Where a strip of purge marks lies, what it is called and the shape of its marks.
enum class Shape { Triangle, Circle };
struct Strip {
    double top;
    double bottom;
    const char* label;
    const char* colour;
    Shape shape = Shape::Triangle;
};
inline constexpr Strip purgeStrip{purgeTop, purgeBottom, "purges", "#6a3d9a"};
inline constexpr Strip yoursStrip{purgeTop, purgeBottom, "yours", "#6a3d9a"};
inline constexpr Strip otherStrip{otherTop, otherBottom, "recomm.", "#00798c", Shape::Circle};

// in: vehicles, whether the purges removed vehicles that were counted (not a tuner's pair).
void purgeMarks(svg::Writer& out, const std::vector<PurgeEvent>& purges, const Scale& s,
                bool vehicles, const Strip& strip);
// A stretch of the capture shaded behind the plot, from y from to y to, so that purges in it and
// outside it are told apart at a glance. Each kind of stretch is one call with its own fill.
struct Span {
    double startMs = 0;
    double endMs = 0;
    std::string what; // its <title>
};
void spanBands(svg::Writer& out, const std::vector<Span>& spans, const char* fill, const Scale& s,
               double from, double to);
inline constexpr const char* slumpFill = "#cfd8e3";
std::vector<Span> slumpSpans(const std::vector<Slump>& slumps);
inline constexpr const char* setAsideFill = "#ebe6d9";
std::vector<Span> setAsideSpans(const std::vector<sim::Span>& spans);

// Levels of play, each shaded from from to to in one of two tints by turns, so that where one
// gives way to the next shows, with its pace written at its top left.
inline constexpr const char* levelFill = "#e3eedc";
inline constexpr const char* levelOtherFill = "#f0f6ec";
void levelBands(svg::Writer& out, const std::vector<PlayLevel>& levels, const Scale& s, double from,
                double to);

// The time axis's labels at y, a dozen at most, in seconds, minutes or hours as the length asks.
void timeLabels(svg::Writer& out, const Scale& s, double y);

// What each mark means, along the chart's foot; the line of a run without Tarnwick, or else the
// slumps, when they are drawn, and what is set aside, when there is some; the other pair's
// purges, when there is one.
void legend(svg::Writer& out, bool compared, bool slumps, bool notPlay, bool otherPair,
            bool levels = false);

} // namespace sim::chart
