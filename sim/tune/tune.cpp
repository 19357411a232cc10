#include "sim/tune/tune.h"

#include "sim/check/settings_check.h"
#include "sim/tune/columns.h"
#include "sim/tune/lanes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace sim {

const char* const recommendationRule =
    "no purge outside a slump (the fewest, where no pair manages none); then the most slumps "
    "caught; then the shortest wait from a slump's start to its first purge, in whole seconds; "
    "then the pair nearest yours, one step per frame per second on either threshold, ties to the "
    "higher FPS_Critical; never a pair the settings check warns about";

namespace {

// The rule's keys in order, smaller first.
struct Standing {
    std::uint64_t outside;
    std::int64_t missed;
    std::int64_t waitSeconds;
    std::int32_t distance;
    std::int32_t lowerCritical;
    auto operator<=>(const Standing&) const = default;
};

Standing standingOf(const CellResult& c, const CellResult& yours, std::size_t slumps)
{
    return {c.slumps.outside,
            static_cast<std::int64_t>(slumps) - static_cast<std::int64_t>(c.slumps.caught),
            static_cast<std::int64_t>(std::floor(c.slumps.meanDelayMs() / 1000.0)),
            std::abs(c.moderate - yours.moderate) + std::abs(c.critical - yours.critical),
            -c.critical};
}

std::optional<std::size_t> recommend(const std::vector<CellResult>& cells, const CellResult& yours,
                                     std::size_t slumps)
{
    std::optional<std::size_t> best;
    std::optional<Standing> bestStanding;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (thresholdsDrawAWarning(cells[i].moderate, cells[i].critical)) {
            continue;
        }
        const Standing standing = standingOf(cells[i], yours, slumps);
        if (!bestStanding || standing < *bestStanding) {
            best = i;
            bestStanding = standing;
        }
    }
    return best;
}

} // namespace

double perMinute(double count, double durationMs)
{
    return durationMs > 0 ? count * 60000.0 / durationMs : 0.0;
}

std::vector<ColumnSpan> gridColumns(Range moderate, Range critical)
{
    // Columns of one FPS_Moderate, FPS_Critical below it, split where they hold too many.
    std::vector<ColumnSpan> spans;
    for (std::int32_t m = moderate.low; m <= moderate.high; ++m) {
        const std::int32_t high = std::min(critical.high, m - 1);
        for (std::int32_t low = critical.low; low <= high; low += maxColumnPairs) {
            spans.push_back({m, low, std::min(high, low + maxColumnPairs - 1)});
        }
    }
    return spans;
}

TuneResult tune(const TuneFrames& frames, const GovernorSettings& base, Range moderate,
                Range critical)
{
    TuneResult result;
    result.durationMs = frames.elapsedMs.empty() ? 0.0 : frames.elapsedMs.back();
    result.slumps = frames.slumps;
    for (std::vector<CellResult>& column :
         evaluateColumns(frames, gridColumns(moderate, critical))) {
        result.cells.insert(result.cells.end(), column.begin(), column.end());
    }
    // The grid keeps no pair's purge times (memory would grow with the capture): the player's
    // pair and the recommendation run again alone for theirs.
    result.current = evaluateCell(frames, base);
    result.recommended = recommend(result.cells, result.current, result.slumps.slumps.size());
    if (result.recommended) {
        CellResult& best = result.cells[*result.recommended];
        GovernorSettings pair = base;
        pair.fpsModerate = best.moderate;
        pair.fpsCritical = best.critical;
        best.purgeTimesMs = evaluateCell(frames, pair).purgeTimesMs;
    }
    return result;
}

} // namespace sim
