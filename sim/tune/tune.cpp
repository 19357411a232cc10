#include "sim/tune/tune.h"

#include "sim/tune/columns.h"

#include <algorithm>
#include <cstdlib>

namespace sim {

const char* const recommendationRule =
    "of the pairs that still purge (when yours does), those with the fewest purges set off by a "
    "brief dip (none, wherever a pair manages that), and of those the one nearest yours, one step "
    "per frame per second on either threshold, ties to the higher FPS_Critical";

namespace {

std::optional<std::size_t> recommend(const std::vector<CellResult>& cells, const CellResult& now)
{
    const bool purges = now.purges > 0;
    const auto distance = [&now](const CellResult& c) {
        return std::abs(c.moderate - now.moderate) + std::abs(c.critical - now.critical);
    };
    // Fewer brief-dip purges first, then nearer, then the higher FPS_Critical.
    const auto better = [&distance](const CellResult& a, const CellResult& b) {
        if (a.briefDipPurges != b.briefDipPurges) {
            return a.briefDipPurges < b.briefDipPurges;
        }
        if (distance(a) != distance(b)) {
            return distance(a) < distance(b);
        }
        return a.critical > b.critical;
    };
    std::optional<std::size_t> best;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (purges && cells[i].purges == 0) {
            continue;
        }
        if (!best || better(cells[i], cells[*best])) {
            best = i;
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
    // Columns of at most 128 pairs: one FPS_Moderate, FPS_Critical below it.
    std::vector<ColumnSpan> spans;
    for (std::int32_t m = moderate.low; m <= moderate.high; ++m) {
        const std::int32_t high = std::min(critical.high, m - 1);
        for (std::int32_t low = critical.low; low <= high; low += 128) {
            spans.push_back({m, low, std::min(high, low + 127)});
        }
    }
    return spans;
}

TuneResult tune(const TuneFrames& frames, const GovernorSettings& base, Range moderate,
                Range critical, bool purgeTimes)
{
    return tuneFrom(frames, base, evaluateColumns(frames, base, gridColumns(moderate, critical)),
                    purgeTimes);
}

TuneResult tuneFrom(const TuneFrames& frames, const GovernorSettings& base,
                    const std::vector<std::vector<CellResult>>& columns, bool purgeTimes)
{
    TuneResult result;
    result.durationMs = frames.elapsedMs.empty() ? 0.0 : frames.elapsedMs.back();
    for (const std::vector<CellResult>& column : columns) {
        result.cells.insert(result.cells.end(), column.begin(), column.end());
    }
    // The player's pair is usually in the grid already; its own run is needed only for purge
    // times, which the grid does not keep for every pair.
    const auto inGrid =
        std::find_if(result.cells.begin(), result.cells.end(), [&base](const auto& c) {
            return c.moderate == base.fpsModerate && c.critical == base.fpsCritical;
        });
    result.current =
        inGrid != result.cells.end() && !purgeTimes ? *inGrid : evaluateCell(frames, base);
    result.recommended = recommend(result.cells, result.current);
    if (result.recommended && purgeTimes) {
        CellResult& best = result.cells[*result.recommended];
        GovernorSettings pair = base;
        pair.fpsModerate = best.moderate;
        pair.fpsCritical = best.critical;
        best.purgeTimesMs = evaluateCell(frames, pair).purgeTimesMs;
    }
    return result;
}

} // namespace sim
