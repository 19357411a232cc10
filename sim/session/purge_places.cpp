// Where each purge fell: in a slump, in what is set aside, or outside both.
#include "sim/session/slumps.h"

#include <algorithm>

namespace sim {

void scorePurge(SlumpScore& score, const std::vector<Slump>& slumps, PurgePlace place, double atMs)
{
    if (place.inAside) {
        ++score.setAside;
        return;
    }
    if (!place.slump) {
        ++score.outside;
        return;
    }
    const std::size_t slump = *place.slump;
    ++score.inSlumps;
    if (score.lastCaught != slump + 1) {
        ++score.caught;
        score.delaySumMs += std::max(0.0, atMs - slumps[slump].startMs);
        score.lastCaught = slump + 1;
    }
}

SlumpScore scorePurges(const SlumpVerdict& verdict, const std::vector<double>& purgeTimesMs)
{
    SlumpScore score;
    SlumpCursor cursor;
    for (const double t : purgeTimesMs) {
        scorePurge(score, verdict.slumps, cursor.at(verdict, t), t);
    }
    return score;
}

PurgePlace placeOf(const SlumpVerdict& verdict, double atMs)
{
    SlumpCursor cursor;
    const auto aside =
        std::partition_point(verdict.asideSpans.begin(), verdict.asideSpans.end(),
                             [atMs](const Span& s) { return s.endMs + afterAsideMs < atMs; });
    cursor.nextAside = static_cast<std::size_t>(aside - verdict.asideSpans.begin());
    const auto after =
        std::partition_point(verdict.slumps.begin(), verdict.slumps.end(),
                             [atMs](const Slump& s) { return s.endMs + slumpEdgeMs < atMs; });
    cursor.next = static_cast<std::size_t>(after - verdict.slumps.begin());
    return cursor.at(verdict, atMs);
}

} // namespace sim
