// Frame times as capture tools show them, beside what Tarnwick makes of them: the hitches, the
// frame-time chart drawn per pixel column, and the distribution.
#pragma once

#include "sim/session/lows.h"
#include "sim/tune/frames.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace sim {

// A hitch: a frame more than hitchFactor times the median of its neighbours, hitchNeighbours on
// each side (fewer at the capture's ends). The factor is the one CapFrameX's stutter count uses;
// the median of twenty neighbours, about a third of a second at 60 fps, follows the game's pace
// through a slump while a lone spike, or two together, cannot move it.
inline constexpr double hitchFactor = 2.5;
inline constexpr std::size_t hitchNeighbours = 10;

struct Hitch {
    std::size_t frame = 0;
    double endMs = 0; // on the session's clock, as purges are
    double ms = 0;
    double medianMs = 0; // of its neighbours
};

// Zero, negative and unreadable frame times are no frames and no neighbours.
std::vector<Hitch> findHitches(const TuneFrames& frames);

// The hitches after which a purge runs at once: on the hitch's own frame or one of the two after
// it, while the plug-in's state follows the slow frame. in: purgeTimesMs, ascending.
std::uint64_t hitchesWithPurge(const std::vector<Hitch>& hitches, const TuneFrames& frames,
                               const std::vector<double>& purgeTimesMs);
// Those purges, each once (hitches a frame or two apart share one), ascending: what they are as
// purges, in slumps or outside, is counted as every purge is.
std::vector<double> purgesAtHitches(const std::vector<Hitch>& hitches, const TuneFrames& frames,
                                    const std::vector<double>& purgeTimesMs);

// One pixel column of the frame-time chart: the slowest and fastest frame drawn there, and the
// mean.
struct FrameTimeColumn {
    float minMs = 0;
    float maxMs = 0;
    double sumMs = 0; // for the mean, the typical frame there
    std::uint32_t frames = 0;
    std::uint32_t hitches = 0;
};

// The chart's scales, shared by the captures of one page so that they compare at a glance.
struct FrameTimeScale {
    double durationMs = 0;
    double maxMs = 0;
};

// The frame time at each point of the distribution's axis, and the scale a capture asks for.
struct FrameTimeView {
    std::vector<FrameTimeColumn> columns;
    std::vector<double> percentileMs; // at distributionPoints along the tail-stretched axis
    double medianMs = 0;
    FrameTimeScale wants;
};

// The distribution's axis runs from the 0th percentile to the 99.99th, stretched toward the slow
// end (equal steps for 90, 99, 99.9, 99.99) so that the frames behind the lows are not one pixel.
inline constexpr std::size_t distributionPoints = 401; // 100 a decade, and its ends
inline constexpr double distributionDecades = 4;

// in: counts, the capture's frame times as its lows are taken from them.
FrameTimeView viewFrameTimes(const TuneFrames& frames, const FrameTimeCounts& counts,
                             const std::vector<Hitch>& hitches, double durationMs);

// A hitch mark above the frame-time chart: hitches in columns closer than a mark is wide would
// draw one mark over another, so they share one, which says how many it stands for.
struct HitchMark {
    double x = 0; // at its first column, in the chart's pixels
    std::uint32_t hitches = 0;
    float slowestMs = 0; // of the frames in its columns
};
inline constexpr double hitchMarkWidth = 6;
std::vector<HitchMark> hitchMarks(const FrameTimeView& view, const FrameTimeScale& scale);

// in: title, what the chart's <title> and heading say; scale, the page's common one; asideSpans,
// what is not play (shaded as the frame-rate chart shades it: an alt-tab is no hitch of play).
void writeFrameTimeSvg(std::ostream& out, const FrameTimeView& view, const FrameTimeScale& scale,
                       const std::string& title, const std::vector<Span>& asideSpans = {});
void writeDistributionSvg(std::ostream& out, const FrameTimeView& view, double maxMs,
                          const std::string& title);

} // namespace sim
