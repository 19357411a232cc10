// `tarnwick-sim tune`: every pair of thresholds of a grid over one capture, and the pair to
// recommend.
#pragma once

#include "sim/tune/cell.h"
#include "sim/tune/columns.h"

#include <optional>
#include <string>
#include <vector>

namespace sim {

struct Range {
    std::int32_t low;
    std::int32_t high;
};

// Every pair a player would plausibly set: FPS_Moderate 20 to 120, FPS_Critical 10 to 110, only
// pairs with FPS_Critical below FPS_Moderate.
inline constexpr Range defaultModerate{20, 120};
inline constexpr Range defaultCritical{10, 110};

// One capture's part: its slumps, and the player's pair and the recommendation on it, each with
// every purge's time.
struct TunedCapture {
    double durationMs = 0;
    SlumpVerdict slumps;
    CellResult current;
    CellResult recommended; // nothing without a recommendation
};

// Several captures are judged together: a pair's figures are added over them.
struct TuneResult {
    double durationMs = 0;
    std::size_t slumps = 0;
    std::vector<CellResult> cells;          // FPS_Moderate ascending, then FPS_Critical ascending
    CellResult current;                     // the settings file's own pair, in the grid or not
    std::optional<std::size_t> recommended; // index into cells
    std::vector<TunedCapture> captures;     // in the order given
};

// The rule the recommendation follows, in one sentence.
extern const char* const recommendationRule;

// A capture is one evening's noise: a pair is also judged by its neighbours a tenth more eager
// (FPS_Critical higher) and more wary (lower), so that it is not chosen at the edge of that noise.
inline constexpr double thresholdMargin = 0.1;
// That neighbour of c in cells (sorted as a TuneResult's), when the grid holds it.
std::optional<std::size_t> neighbourOf(const std::vector<CellResult>& cells, const CellResult& c,
                                       bool eager);

// The rule's keys for one pair, in order, smaller first: what the recommendation is chosen by,
// and what its why names where yours falls behind.
struct Standing {
    std::uint64_t outsideEager; // purges outside a slump, FPS_Critical a tenth higher
    std::uint64_t outside;
    std::int64_t missedWary; // slumps missed, FPS_Critical a tenth lower
    std::int64_t missed;
    std::int64_t waitSeconds;
    std::int32_t distance; // from yours
    std::int32_t lowerCritical;
    auto operator<=>(const Standing&) const = default;
};
Standing standingOf(const std::vector<CellResult>& cells, const CellResult& c,
                    const CellResult& yours, std::size_t slumps);

// in: frames, finished (see finishFrames); base, the settings file's values (the detection range
// and the rest); the grid's pairs replace its thresholds. The player's pair and the
// recommendation keep every purge's time. Uses both cores.
TuneResult tune(const std::vector<const TuneFrames*>& captures, const GovernorSettings& base,
                Range moderate, Range critical);
TuneResult tune(const TuneFrames& frames, const GovernorSettings& base, Range moderate,
                Range critical);

// The grid's columns, FPS_Moderate ascending.
std::vector<ColumnSpan> gridColumns(Range moderate, Range critical);

double perMinute(double count, double durationMs);

} // namespace sim
