#include "sim/tune/tune.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace sim {

const char* const recommendationRule =
    "of the pairs that still purge (when yours does), those with the fewest purges set off by a "
    "brief dip (none, wherever a pair manages that), and of those the one nearest yours, one step "
    "per frame per second on either threshold, ties to the higher FPS_Critical";

namespace {

std::vector<GovernorSettings> pairsOf(const GovernorSettings& base, Range moderate, Range critical)
{
    std::vector<GovernorSettings> pairs;
    for (std::int32_t m = moderate.low; m <= moderate.high; ++m) {
        for (std::int32_t c = critical.low; c <= critical.high && c < m; ++c) {
            GovernorSettings pair = base;
            pair.fpsModerate = m;
            pair.fpsCritical = c;
            pairs.push_back(pair);
        }
    }
    return pairs;
}

std::optional<std::size_t> recommend(const std::vector<CellResult>& cells, const CellResult& now)
{
    const bool purges = !now.purgeTimesMs.empty();
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
        if (purges && cells[i].purgeTimesMs.empty()) {
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

TuneResult tune(const TuneFrames& frames, const GovernorSettings& base, Range moderate,
                Range critical)
{
    TuneResult result;
    result.durationMs = frames.elapsedMs.empty() ? 0.0 : frames.elapsedMs.back();
    const std::vector<GovernorSettings> pairs = pairsOf(base, moderate, critical);
    result.cells.resize(pairs.size());
    // Cells are independent: one worker per core, each taking every other cell.
    const unsigned workers = std::max(1u, std::min(2u, std::thread::hardware_concurrency()));
    std::vector<std::thread> threads;
    for (unsigned w = 0; w < workers; ++w) {
        threads.emplace_back([&, w] {
            for (std::size_t i = w; i < pairs.size(); i += workers) {
                result.cells[i] = evaluateCell(frames, pairs[i]);
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    result.current = evaluateCell(frames, base);
    result.recommended = recommend(result.cells, result.current);
    return result;
}

} // namespace sim
