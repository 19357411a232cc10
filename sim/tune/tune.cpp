#include "sim/tune/tune.h"

#include "sim/check/settings_check.h"
#include "sim/tune/columns.h"
#include "sim/tune/lanes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace sim {

const char* const recommendationRule =
    "no purge outside a slump, even with FPS_Critical a tenth higher (the fewest, where no pair "
    "manages none), then none itself; then the most slumps caught, even with FPS_Critical a tenth "
    "lower, then itself; then the shortest wait from a slump's start to its first purge, in whole "
    "seconds; then the pair nearest yours, one step per frame per second on either threshold, "
    "ties to the higher FPS_Critical; never a pair the settings check warns about";

std::optional<std::size_t> neighbourOf(const std::vector<CellResult>& cells, const CellResult& c,
                                       bool eager)
{
    const double shifted = eager ? std::ceil(c.critical * (1 + thresholdMargin))
                                 : std::floor(c.critical / (1 + thresholdMargin));
    const auto critical =
        static_cast<std::int32_t>(eager ? std::max<double>(shifted, c.critical + 1)
                                        : std::min<double>(shifted, c.critical - 1));
    // FPS_Critical stays below FPS_Moderate, which rises with it where it must.
    const std::int32_t moderate = std::max(c.moderate, critical + 1);
    const auto at =
        std::lower_bound(cells.begin(), cells.end(), std::pair{moderate, critical},
                         [](const CellResult& cell, std::pair<std::int32_t, std::int32_t> p) {
                             return std::pair{cell.moderate, cell.critical} < p;
                         });
    if (at == cells.end() || at->moderate != moderate || at->critical != critical) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(at - cells.begin());
}

Standing standingOf(const std::vector<CellResult>& cells, const CellResult& c,
                    const CellResult& yours, std::size_t slumps)
{
    const auto missed = [slumps](const CellResult& cell) {
        return static_cast<std::int64_t>(slumps) - static_cast<std::int64_t>(cell.slumps.caught);
    };
    // Where the grid ends there is no neighbour to ask: the pair answers for itself.
    const std::optional<std::size_t> eager = neighbourOf(cells, c, true);
    const std::optional<std::size_t> wary = neighbourOf(cells, c, false);
    return {eager ? cells[*eager].slumps.outside : c.slumps.outside,
            c.slumps.outside,
            wary ? missed(cells[*wary]) : missed(c),
            missed(c),
            static_cast<std::int64_t>(std::floor(c.slumps.meanDelayMs() / 1000.0)),
            std::abs(c.moderate - yours.moderate) + std::abs(c.critical - yours.critical),
            -c.critical};
}

namespace {

std::optional<std::size_t> recommend(const std::vector<CellResult>& cells, const CellResult& yours,
                                     std::size_t slumps)
{
    std::optional<std::size_t> best;
    std::optional<Standing> bestStanding;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (thresholdsDrawAWarning(cells[i].moderate, cells[i].critical)) {
            continue;
        }
        const Standing standing = standingOf(cells, cells[i], yours, slumps);
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

namespace {

// A pair's figures over two captures; purge times stay with their capture.
void addUp(CellResult& total, const CellResult& more)
{
    total.purges += more.purges;
    total.slumps.inSlumps += more.slumps.inSlumps;
    total.slumps.outside += more.slumps.outside;
    total.slumps.caught += more.slumps.caught;
    total.slumps.delaySumMs += more.slumps.delaySumMs;
    total.changes += more.changes;
    for (std::size_t s = 0; s < total.timeInStateMs.size(); ++s) {
        total.timeInStateMs[s] += more.timeInStateMs[s];
    }
}

CellResult withPair(const TuneFrames& frames, GovernorSettings settings, const CellResult& pair)
{
    settings.fpsModerate = pair.moderate;
    settings.fpsCritical = pair.critical;
    return evaluateCell(frames, settings);
}

} // namespace

TuneResult tune(const std::vector<const TuneFrames*>& captures, const GovernorSettings& base,
                Range moderate, Range critical)
{
    TuneResult result;
    result.current.moderate = base.fpsModerate;
    result.current.critical = base.fpsCritical;
    for (const TuneFrames* frames : captures) {
        TunedCapture& part = result.captures.emplace_back();
        part.durationMs = frames->elapsedMs.empty() ? 0.0 : frames->elapsedMs.back();
        part.slumps = frames->slumps;
        result.durationMs += part.durationMs;
        result.slumps += part.slumps.slumps.size();
        std::size_t cell = 0;
        for (const std::vector<CellResult>& column :
             evaluateColumns(*frames, gridColumns(moderate, critical))) {
            for (const CellResult& c : column) {
                if (cell == result.cells.size()) {
                    CellResult& added = result.cells.emplace_back();
                    added.moderate = c.moderate;
                    added.critical = c.critical;
                }
                addUp(result.cells[cell++], c);
            }
        }
        // The grid keeps no pair's purge times (memory would grow with the capture): the
        // player's pair and the recommendation run again alone for theirs.
        part.current = evaluateCell(*frames, base);
        addUp(result.current, part.current);
    }
    // Shorter than the least time between two purges, a capture cannot tell one pair from another.
    if (result.durationMs >= static_cast<double>(purgeIntervalMs)) {
        result.recommended = recommend(result.cells, result.current, result.slumps);
    }
    if (result.recommended) {
        for (std::size_t i = 0; i < captures.size(); ++i) {
            result.captures[i].recommended =
                withPair(*captures[i], base, result.cells[*result.recommended]);
        }
    }
    return result;
}

TuneResult tune(const TuneFrames& frames, const GovernorSettings& base, Range moderate,
                Range critical)
{
    return tune(std::vector<const TuneFrames*>{&frames}, base, moderate, critical);
}

} // namespace sim
