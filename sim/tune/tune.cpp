#include "sim/tune/tune.h"

#include "sim/check/thresholds.h"
#include "sim/tune/columns.h"
#include "sim/tune/lanes.h"
#include "sim/tune/recoveries.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>

#include <fmt/format.h>

namespace sim {

std::uint64_t wastedAllowed(double ordinaryMs)
{
    // One for each minute of ordinary play begun: a short capture may still show one.
    return static_cast<std::uint64_t>(
        std::ceil(std::max(0.0, ordinaryMs) / 60000.0 * wastedPerMinute - 1e-9));
}

std::int64_t missedOf(const CellResult& c, std::size_t slumps)
{
    return static_cast<std::int64_t>(slumps) - static_cast<std::int64_t>(c.slumps.caught);
}

std::uint64_t overBudgetOf(const CellResult& c, double ordinaryMs)
{
    const std::uint64_t allowed = wastedAllowed(ordinaryMs);
    return c.slumps.outside > allowed ? c.slumps.outside - allowed : 0;
}

std::int32_t moderateWithRoom(std::int32_t moderate)
{
    return static_cast<std::int32_t>(std::ceil(moderate * (1 + moderateRoom)));
}

double normalShareOf(const TuneResult& r, std::int32_t moderate)
{
    if (r.ordinaryMs <= 0 || moderate < r.normalFrom) {
        return 1;
    }
    const auto i = static_cast<std::size_t>(moderate - r.normalFrom);
    return i < r.normalMs.size() ? r.normalMs[i] / r.ordinaryMs : 0;
}

bool moderateFitsPlay(const TuneResult& r, const CellResult& c)
{
    return normalShareOf(r, moderateWithRoom(c.moderate)) >= normalInPlay;
}

std::optional<std::size_t> movedBy(const std::vector<CellResult>& cells, const CellResult& c,
                                   int steps)
{
    if (cells.empty()) {
        return std::nullopt;
    }
    const double factor = 1 + roomStep * steps;
    const auto moved = [&](std::int32_t threshold) {
        return static_cast<std::int32_t>(steps > 0 ? std::ceil(threshold * factor)
                                                   : std::floor(threshold * factor));
    };
    const std::int32_t moderate = moved(c.moderate);
    return cellIndexOf(cells, moderate, std::min(moved(c.critical), moderate - 1));
}

std::optional<std::size_t> cellIndexOf(const std::vector<CellResult>& cells, std::int32_t moderate,
                                       std::int32_t critical)
{
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

Room roomOf(const TuneResult& r, const CellResult& c)
{
    Room room;
    const std::int64_t missed = missedOf(c, r.slumps);
    const std::uint64_t over = overBudgetOf(c, r.ordinaryMs);
    for (int step = 1; step <= roomSteps; ++step) {
        const std::optional<std::size_t> up = movedBy(r.cells, c, step);
        const std::optional<std::size_t> down = movedBy(r.cells, c, -step);
        room.gridEdge = !up || !down;
        room.overBudget = up && overBudgetOf(r.cells[*up], r.ordinaryMs) > over;
        room.misses = down && missedOf(r.cells[*down], r.slumps) > missed;
        // Missing every slump already, it can miss no more past the grid's floor.
        if (!down && missed == static_cast<std::int64_t>(r.slumps)) {
            room.gridEdge = !up;
        }
        if (room.gridEdge || room.overBudget || room.misses) {
            room.wastedMovedUp = up ? r.cells[*up].slumps.outside : 0;
            room.missedMovedDown = down ? missedOf(r.cells[*down], r.slumps) : 0;
            return room;
        }
        room.steps = step;
    }
    return room;
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

bool tooShortToJudge(double durationMs)
{
    return durationMs < static_cast<double>(purgeIntervalMs);
}

double perMinute(double count, double durationMs)
{
    return durationMs > 0 ? count * 60000.0 / durationMs : 0.0;
}

void raiseGridToCaptures(Range& moderate, Range& critical,
                         const std::vector<const TuneFrames*>& captures)
{
    double usual = 0;
    for (const TuneFrames* capture : captures) {
        usual = std::max(usual, capture->slumps.usualFps);
    }
    const auto top =
        static_cast<std::int32_t>(std::min<double>(std::ceil(usual), highestRefreshRate));
    if (top > moderate.high) {
        critical.high += top - moderate.high;
        moderate.high = top;
    }
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

// Normal and Moderate alone, for each FPS_Moderate: Critical comes only after Moderate, and its
// purges are counted against the budget.
// Every FPS_Moderate at once, in one pass over the frames: each is a bit, a frame moves them all
// by two masks (those that stay Normal, those that come back to it), and a bit that flips writes
// down the ordinary time it was Normal for. A frame counts under the state it was drawn in.
void addNormalTimes(TuneResult& r, const TuneFrames& frames, std::int32_t highest)
{
    const auto n = static_cast<std::size_t>(highest - r.normalFrom + 1);
    r.normalMs.resize(n, 0.0);
    const std::size_t words = (n + 63) / 64;
    // The bits of every FPS_Moderate up to `top`, Normal while the estimate reaches it.
    const auto upTo = [&](std::vector<std::uint64_t>& mask, std::int32_t top) {
        const std::int64_t last =
            std::min<std::int64_t>(top - r.normalFrom, static_cast<std::int64_t>(n) - 1);
        for (std::size_t w = 0; w < words; ++w) {
            const auto from = static_cast<std::int64_t>(w * 64);
            mask[w] = last < from         ? 0
                      : last >= from + 63 ? ~std::uint64_t{0}
                                          : (std::uint64_t{2} << (last - from)) - 1;
        }
    };
    std::vector<std::uint64_t> normal(words);
    std::vector<std::uint64_t> stay(words);
    std::vector<std::uint64_t> back(words);
    std::vector<double> normalSince(n, 0.0);
    upTo(normal, highest);
    const auto hysteresis = static_cast<std::int32_t>(hysteresisFps);
    double ordinaryMs = 0;
    for (std::size_t i = 0; i < frames.levels.size(); ++i) {
        if (frames.ordinary[i]) {
            ordinaryMs += frames.elapsedMs[i] - (i == 0 ? 0.0 : frames.elapsedMs[i - 1]);
        }
        const TuneFrames::Level level = frames.levels[i];
        upTo(stay, level.floor);
        upTo(back, level.ceil - (hysteresis + 1));
        for (std::size_t w = 0; w < words; ++w) {
            const std::uint64_t next = (normal[w] & stay[w]) | (~normal[w] & back[w]);
            for (std::uint64_t flipped = next ^ normal[w]; flipped != 0; flipped &= flipped - 1) {
                const std::size_t k = w * 64 + static_cast<std::size_t>(std::countr_zero(flipped));
                if ((next >> (k - w * 64) & 1U) != 0) {
                    normalSince[k] = ordinaryMs;
                } else {
                    r.normalMs[k] += ordinaryMs - normalSince[k];
                }
            }
            normal[w] = next;
        }
    }
    for (std::size_t k = 0; k < n; ++k) {
        if ((normal[k / 64] >> (k % 64) & 1U) != 0) {
            r.normalMs[k] += ordinaryMs - normalSince[k];
        }
    }
}

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
    result.normalFrom = moderate.low;
    for (const TuneFrames* frames : captures) {
        addNormalTimes(result, *frames, moderateWithRoom(moderate.high));
        TunedCapture& part = result.captures.emplace_back();
        part.durationMs = frames->elapsedMs.empty() ? 0.0 : frames->elapsedMs.back();
        part.slumps = frames->slumps;
        part.ordinaryLowFps = frames->ordinaryLowFps;
        part.ordinaryMs = frames->ordinaryMs;
        part.play = frames->play;
        result.durationMs += part.durationMs;
        result.ordinaryMs += part.ordinaryMs;
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
    result.tooShort = tooShortToJudge(result.durationMs);
    if (!result.tooShort) {
        recommend(result);
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
