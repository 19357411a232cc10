#include "sim/tune/tune.h"

#include "sim/check/settings_check.h"
#include "sim/tune/columns.h"
#include "sim/tune/lanes.h"
#include "sim/tune/recoveries.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <fmt/format.h>

namespace sim {

std::string recommendationRule()
{
    return fmt::format(
        "FPS_Moderate below the frame rate of all but the slowest 1 in {} frames of ordinary play "
        "by {:g}% and by the hysteresis; where no capture holds a slump, FPS_Critical no lower "
        "than yours less the room below; then the fewest "
        "purges outside a slump; then the most slumps caught; then the most room, both "
        "thresholds moved together in steps of {:g}% up to {:g}%, with no more purges outside "
        "slumps moved up and no more slumps missed moved down (where nothing needs a purge, "
        "only when yours purges outside one); then the shortest wait from a slump's start to its "
        "first purge, in whole seconds; then the pair nearest yours, one step per frame per "
        "second on either threshold, ties to the higher FPS_Critical; never a pair the settings "
        "check warns about",
        ordinaryLowOneIn, moderateRoom * 100, roomStep * 100, roomStep * roomSteps * 100);
}

bool moderateFitsPlay(const CellResult& c, double ordinaryLowFps)
{
    return c.moderate * (1 + moderateRoom) <= ordinaryLowFps &&
           c.moderate + static_cast<double>(hysteresisFps) <= ordinaryLowFps;
}

std::optional<std::size_t> movedBy(const std::vector<CellResult>& cells, const CellResult& c,
                                   int steps)
{
    if (cells.empty()) {
        return std::nullopt;
    }
    const double factor = 1 + roomStep * std::abs(steps);
    const auto moved = [&](std::int32_t threshold) {
        return static_cast<std::int32_t>(steps > 0 ? std::ceil(threshold * factor)
                                                   : std::floor(threshold / factor));
    };
    // Held to the grid, whose edges lie past any pair a player would set: FPS_Moderate at the
    // top is Moderate at the usual rate already, FPS_Critical at the floor purges next to never.
    const std::int32_t moderate =
        std::clamp(moved(c.moderate), cells.front().moderate, cells.back().moderate);
    std::int32_t critical = std::min(moved(c.critical), moderate - 1);
    critical = std::clamp(critical, cells.front().critical, cells.back().critical);
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

namespace {

std::int64_t missedOf(const CellResult& c, std::size_t slumps)
{
    return static_cast<std::int64_t>(slumps) - static_cast<std::int64_t>(c.slumps.caught);
}

} // namespace

Room roomOf(const std::vector<CellResult>& cells, const CellResult& c, std::size_t slumps)
{
    Room room;
    const std::int64_t missed = missedOf(c, slumps);
    for (int step = 1; step <= roomSteps; ++step) {
        const std::optional<std::size_t> up = movedBy(cells, c, step);
        const std::optional<std::size_t> down = movedBy(cells, c, -step);
        room.purgesOutside = !up || cells[*up].slumps.outside > c.slumps.outside;
        room.misses = !down || missedOf(cells[*down], slumps) > missed;
        if (room.purgesOutside || room.misses) {
            room.outside = up ? cells[*up].slumps.outside : 0;
            room.missed = down ? missedOf(cells[*down], slumps) : 0;
            return room;
        }
        room.steps = step;
    }
    return room;
}

std::int32_t lowestCriticalWithoutSlumps(const CellResult& yours)
{
    return static_cast<std::int32_t>(std::ceil(yours.critical / (1 + roomStep * roomSteps)));
}

double lowestOrdinaryFps(const TuneResult& r)
{
    double lowest = 0;
    for (const TunedCapture& part : r.captures) {
        if (lowest == 0 || (part.ordinaryLowFps > 0 && part.ordinaryLowFps < lowest)) {
            lowest = part.ordinaryLowFps;
        }
    }
    return lowest;
}

Standing standingOf(const TuneResult& r, const CellResult& c)
{
    const CellResult& yours = r.current;
    const double ordinary = lowestOrdinaryFps(r);
    // Nothing needs a purge: a pair that purges nowhere is as good as any, however near the
    // edge, unless yours purges: then the one chosen instead keeps its distance.
    const bool roomCounts = r.slumps > 0 || yours.slumps.outside > 0;
    return {ordinary > 0 && !moderateFitsPlay(c, ordinary),
            r.slumps == 0 && c.critical < lowestCriticalWithoutSlumps(yours),
            c.slumps.outside,
            missedOf(c, r.slumps),
            roomCounts ? roomSteps - roomOf(r.cells, c, r.slumps).steps : 0,
            static_cast<std::int64_t>(std::floor(c.slumps.meanDelayMs() / 1000.0)),
            std::abs(c.moderate - yours.moderate) + std::abs(c.critical - yours.critical),
            -c.critical};
}

namespace {

std::optional<std::size_t> recommend(const TuneResult& r)
{
    std::optional<std::size_t> best;
    std::optional<Standing> bestStanding;
    for (std::size_t i = 0; i < r.cells.size(); ++i) {
        if (thresholdsDrawAWarning(r.cells[i].moderate, r.cells[i].critical)) {
            continue;
        }
        const Standing standing = standingOf(r, r.cells[i]);
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
    total.slumps.setAside += more.slumps.setAside;
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
        part.ordinaryLowFps = frames->ordinaryLowFps;
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
        part.recoveriesAfterYours = purgesEndingDips(*frames, part.current.purgeTimesMs);
        addUp(result.current, part.current);
    }
    // Shorter than the least time between two purges, a capture cannot tell one pair from another.
    if (result.durationMs >= static_cast<double>(purgeIntervalMs)) {
        result.recommended = recommend(result);
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
