// Sections: the purges a column keeps; a column; eight columns' runs in lanes; the sweep's step,
// frame by frame; the cells at the end. Longer than most files here on purpose: the sections are
// one algorithm over types of this file alone, and split they would need a header of internals
// that no other file has use for, the hot step's inlining then resting on link-time optimisation.
#include "sim/tune/sweep.h"

#include "sim/session/clock.h"
#include "sim/tune/lanes.h"

#include <algorithm>
#include <array>

namespace sim {
namespace {

// Purges still within the purge interval, oldest first. A pair is in at most one of them (it is
// not due again before its own grows old), so there are never more than there are pairs.
struct RecentPurges {
    struct Purge {
        std::uint32_t tick;
        PairBits pairs;
    };
    std::array<Purge, maxColumnPairs> ring;
    std::size_t first = 0;
    std::size_t size = 0;
    bool empty() const { return size == 0; }
    const Purge& oldest() const { return ring[first]; }
    void dropOldest() { first = (first + 1) % ring.size(), --size; }
    void add(const Purge& purge) { ring[(first + size++) % ring.size()] = purge; }
};

// Difference arrays run one past the last pair.
constexpr std::size_t differenceSlots = maxColumnPairs + 1;

// One column: one FPS_Moderate, the pairs sorted by FPS_Critical. What is added up for its pairs
// on every move is kept here, apart from its purges, which few frames touch; where the column
// stands is kept in lanes (below).
struct Column {
    explicit Column(const ColumnSpan& s) : span(s), count(s.high - s.low + 1) {}
    ColumnSpan span;
    int count;
    // Difference arrays over the pairs, in whole nanoseconds, so every pair's sums are exact:
    // time out of Normal from the first pair out of it up, time in Critical from the first pair
    // in it up (Moderate and Normal follow from those and the whole), and state changes.
    std::int64_t runSinceNs = 0;
    std::array<std::int64_t, differenceSlots> notNormalNs{};
    std::array<std::int64_t, differenceSlots> criticalNs{};
    std::array<std::int64_t, differenceSlots> changes{};
};

struct ColumnPurges {
    explicit ColumnPurges(int pairs)
    {
        // Every pair starts as if it purged at tick 0, as the plug-in's state does.
        recentlyPurged = PairBits::range(0, pairs);
        recentPurges.add({0u, recentlyPurged});
    }
    PairBits recentlyPurged;
    RecentPurges recentPurges;
    std::array<std::uint64_t, maxColumnPairs> count{};
    std::array<SlumpScore, maxColumnPairs> slumpScores{};
};

std::vector<CellResult> cellsOf(const Column& column, const ColumnPurges& purges,
                                std::int64_t endNs);

// Pairs sorted by FPS_Critical keep their states in order: a higher FPS_Critical enters Critical
// sooner and leaves it later. So a column is three runs: the pairs below `apartFrom` share one
// phase (Normal or Moderate: every move between them takes all of them), those from `apartFrom`
// to `criticalFrom` are back from Critical while the phase is Normal (Moderate on their own), and
// the rest are Critical.
struct Runs {
    Lanes moderatePhase{}; // all ones where the phase is Moderate
    Lanes apartFrom{};
    Lanes criticalFrom{};
    Lanes moderateFrom() const { return apartFrom & ~moderatePhase; }
};

// Eight columns: where they stand, and what the last frame did to them.
struct LaneGroup {
    Lanes moderate{};
    Lanes criticalLow{};
    Lanes count{};
    Runs runs;
    Lanes purgedFrom{}; // every pair from here up purged within the purge interval
    std::array<TickLanes, 2> oldestPurge{}; // the tick of the oldest purge still within it
    Lanes purgePending{};                   // all ones where there is one
    // The last frame's move: pairs toCritical..criticalFrom-1 entered Critical,
    // criticalFrom..recovered-1 left it, 0..apartFrom-1 moved with the phase, and
    // apartFrom..criticalFrom-1 joined it when the apart rose; the runs before it.
    Runs before;
    Lanes toCritical{};
    Lanes recovered{};
    Lanes phaseMoves{};
    Lanes apartRises{};
};

// What the sweep reads of a frame.
struct SweepFrame {
    std::int64_t endNs; // the session's clock once the frame is over
    double endMs;       // the same as the session keeps it
    std::uint32_t tick; // the tick counter then
    TuneFrames::Level level;
};

// Up to 64 columns going through the frames together: each frame's level is compared with every
// column's thresholds in lanes; only the columns it moved are then visited.
class Sweep {
  public:
    Sweep(const std::vector<ColumnSpan>& spans, const SlumpVerdict& slumps);
    void take(const SweepFrame& frame);
    std::vector<std::vector<CellResult>> results() const;

  private:
    std::uint64_t stepGroup(LaneGroup& group, const SweepFrame& frame,
                            std::uint64_t& purgesToSee) const;
    void closeRuns(std::size_t c);
    void seeToPurges(std::size_t c, const SweepFrame& frame);
    void runDuePurges(std::size_t c, const SweepFrame& frame, bool entered);
    void noteColumn(std::size_t c);
    int lane(const Lanes& lanes, std::size_t c) const { return lanes[c % laneCount]; }
    std::size_t used_;
    std::uint64_t usedLanes_; // a bit for each column
    std::vector<Column> columns_;
    std::vector<ColumnPurges> purges_;
    std::vector<LaneGroup> groups_;
    const SlumpVerdict& slumps_;
    SlumpCursor slumpCursor_;
    std::int64_t endNs_ = 0; // the clock once the last frame taken is over
};

Sweep::Sweep(const std::vector<ColumnSpan>& spans, const SlumpVerdict& slumps)
    : used_(spans.size()), usedLanes_(~0ull >> (sweepColumns - spans.size())), slumps_(slumps)
{
    // Lanes past the last column repeat it; their figures are not used.
    const std::size_t padded = (spans.size() + laneCount - 1) / laneCount * laneCount;
    for (std::size_t c = 0; c < padded; ++c) {
        columns_.emplace_back(spans[std::min(c, spans.size() - 1)]);
        purges_.emplace_back(columns_.back().count);
    }
    groups_.resize(padded / laneCount);
    for (std::size_t c = 0; c < padded; ++c) {
        LaneGroup& group = groups_[c / laneCount];
        const auto l = static_cast<int>(c % laneCount);
        const Column& column = columns_[c];
        const auto narrow = [](int v) { return static_cast<std::int16_t>(v); };
        group.moderate[l] = narrow(column.span.moderate);
        group.criticalLow[l] = narrow(column.span.low);
        group.count[l] = narrow(column.count);
        group.runs.apartFrom[l] = narrow(column.count);
        group.runs.criticalFrom[l] = narrow(column.count);
        noteColumn(c);
    }
}

// What the lanes need to know of a column's purges to tell when to look closer.
void Sweep::noteColumn(std::size_t c)
{
    const ColumnPurges& purges = purges_[c];
    LaneGroup& group = groups_[c / laneCount];
    const std::size_t l = c % laneCount;
    group.purgedFrom[l] =
        static_cast<std::int16_t>(purges.recentlyPurged.coveredFrom(columns_[c].count));
    group.purgePending[l] = static_cast<std::int16_t>(purges.recentPurges.empty() ? 0 : -1);
    group.oldestPurge[l / tickLaneCount][l % tickLaneCount] =
        purges.recentPurges.empty() ? 0u : purges.recentPurges.oldest().tick;
}

// One frame, as the state functions take it for each pair of eight columns. Returns a bit for
// each column the frame moved; `purgesToSee` gets one for each column where a purge may come due:
// pairs entered Critical that did not purge within the interval, or a purge grew old while pairs
// are in Critical.
std::uint64_t Sweep::stepGroup(LaneGroup& group, const SweepFrame& frame,
                               std::uint64_t& purgesToSee) const
{
    const Runs was = group.runs;
    const Lanes floor = lanesOf(frame.level.floor);
    const Lanes ceil = lanesOf(frame.level.ceil);
    const Lanes down = floor < group.moderate;
    const Lanes up = ceil - lanesOf(hysteresisLevels + 1) >= group.moderate;
    // Below FPS_Critical from this place up; above FPS_Critical + hysteresis below that one.
    const Lanes slowFrom =
        highest(lowest(floor + lanesOf(1) - group.criticalLow, group.count), Lanes{});
    const Lanes fastBelow =
        highest(lowest(ceil - lanesOf(hysteresisLevels) - group.criticalLow, group.count), Lanes{});
    group.toCritical =
        up ? was.criticalFrom : highest(was.moderateFrom(), lowest(slowFrom, was.criticalFrom));
    group.recovered = highest(was.criticalFrom, fastBelow);
    group.phaseMoves = was.moderatePhase ? up : down;
    group.apartRises = ~was.moderatePhase & up & (was.apartFrom < was.criticalFrom);
    Runs& next = group.runs;
    next.criticalFrom = group.toCritical < was.criticalFrom ? group.toCritical : group.recovered;
    next.moderatePhase = was.moderatePhase ^ group.phaseMoves;
    // Everything out of Critical is in the phase when it is Moderate; a rising apart joins it.
    next.apartFrom = next.moderatePhase ? next.criticalFrom
                     : group.apartRises ? was.criticalFrom
                                        : was.apartFrom;
    next.apartFrom = lowest(next.apartFrom, next.criticalFrom);
    group.before = was;
    const TickLanes now = TickLanes{} + frame.tick;
    const std::uint64_t grownOld = bitsOf(now - group.oldestPurge[0] > purgeIntervalMs) |
                                   bitsOf(now - group.oldestPurge[1] > purgeIntervalMs)
                                       << tickLaneCount;
    purgesToSee = bitsOf(next.criticalFrom < lowest(was.criticalFrom, group.purgedFrom)) |
                  (bitsOf(group.purgePending & (next.criticalFrom < group.count)) & grownOld);
    return bitsOf((next.criticalFrom != was.criticalFrom) | (next.apartFrom != was.apartFrom) |
                  group.phaseMoves);
}

// A moved column: the runs' time up to the frame's end is closed (the frame was drawn in the state
// before its move), the changes counted for each pair.
void Sweep::closeRuns(std::size_t c)
{
    Column& column = columns_[c];
    const LaneGroup& group = groups_[c / laneCount];
    const auto at = [](int k) { return static_cast<std::size_t>(k); };
    const std::int64_t ns = endNs_ - column.runSinceNs;
    column.notNormalNs[at(lane(group.before.moderateFrom(), c))] += ns;
    column.criticalNs[at(lane(group.before.criticalFrom, c))] += ns;
    column.runSinceNs = endNs_;
    const int phaseMoves = -lane(group.phaseMoves, c);
    const int apartRises = -lane(group.apartRises, c);
    ++column.changes[at(lane(group.toCritical, c))];
    --column.changes[at(lane(group.recovered, c))];
    if ((phaseMoves | apartRises) != 0) { // one move in ten
        column.changes[0] += phaseMoves;
        column.changes[at(lane(group.before.apartFrom, c))] += apartRises - phaseMoves;
        column.changes[at(lane(group.before.criticalFrom, c))] -= apartRises;
    }
}

void Sweep::seeToPurges(std::size_t c, const SweepFrame& frame)
{
    const LaneGroup& group = groups_[c / laneCount];
    const int criticalFrom = lane(group.runs.criticalFrom, c);
    // With no pair in Critical nothing is due, and a purge's age is left to be read when one is,
    // as the plug-in reads it then (the tick counter wraps after 49.7 days).
    if (criticalFrom < columns_[c].count) {
        runDuePurges(c, frame, criticalFrom < lane(group.before.criticalFrom, c));
    }
    noteColumn(c);
}

// A pair can only come due when it enters Critical or its last purge grows old.
void Sweep::runDuePurges(std::size_t c, const SweepFrame& frame, bool entered)
{
    ColumnPurges& purges = purges_[c];
    const std::uint32_t tick = frame.tick;
    bool grownOld = false;
    while (!purges.recentPurges.empty() &&
           tick - purges.recentPurges.oldest().tick > purgeIntervalMs) {
        purges.recentlyPurged = purges.recentlyPurged & ~purges.recentPurges.oldest().pairs;
        purges.recentPurges.dropOldest();
        grownOld = true;
    }
    if (!entered && !grownOld) {
        return;
    }
    const int criticalFrom = lane(groups_[c / laneCount].runs.criticalFrom, c);
    const PairBits due = PairBits::range(criticalFrom, columns_[c].count) & ~purges.recentlyPurged;
    if (!due.any()) {
        return;
    }
    const PurgePlace place = slumpCursor_.at(slumps_, frame.endMs);
    due.each([&](std::size_t k) {
        ++purges.count[k];
        scorePurge(purges.slumpScores[k], slumps_.slumps, place, frame.endMs);
    });
    purges.recentlyPurged = purges.recentlyPurged | due;
    purges.recentPurges.add({tick, due});
}

void Sweep::take(const SweepFrame& frame)
{
    std::uint64_t moved = 0;
    std::uint64_t purgesToSee = 0;
    for (std::size_t i = 0; i < groups_.size(); ++i) {
        std::uint64_t here = 0;
        moved |= stepGroup(groups_[i], frame, here) << (laneCount * i);
        purgesToSee |= here << (laneCount * i);
    }
    moved &= usedLanes_; // lanes past the last column only repeat it
    purgesToSee &= usedLanes_;
    endNs_ = frame.endNs;
    for (; moved != 0; moved &= moved - 1) {
        closeRuns(static_cast<std::size_t>(std::countr_zero(moved)));
    }
    for (; purgesToSee != 0; purgesToSee &= purgesToSee - 1) {
        seeToPurges(static_cast<std::size_t>(std::countr_zero(purgesToSee)), frame);
    }
}

std::vector<CellResult> cellsOf(const Column& column, const ColumnPurges& purges,
                                std::int64_t endNs)
{
    std::vector<CellResult> cells(static_cast<std::size_t>(column.count));
    std::int64_t notNormal = 0;
    std::int64_t inCritical = 0;
    std::int64_t changed = 0;
    for (std::size_t k = 0; k < cells.size(); ++k) {
        CellResult& cell = cells[k];
        cell.moderate = column.span.moderate;
        cell.critical = column.span.low + static_cast<std::int32_t>(k);
        cell.purges = purges.count[k];
        cell.slumps = purges.slumpScores[k];
        notNormal += column.notNormalNs[k];
        inCritical += column.criticalNs[k];
        changed += column.changes[k];
        cell.changes = static_cast<std::uint64_t>(changed);
        cell.timeInStateMs = {millisecondsOf(endNs - notNormal),
                              millisecondsOf(notNormal - inCritical), millisecondsOf(inCritical)};
    }
    return cells;
}

std::vector<std::vector<CellResult>> Sweep::results() const
{
    std::vector<std::vector<CellResult>> cells;
    for (std::size_t c = 0; c < used_; ++c) {
        // The time since the last move is in the runs where the last frame left them.
        Column column = columns_[c];
        const LaneGroup& group = groups_[c / laneCount];
        const std::int64_t ns = endNs_ - column.runSinceNs;
        column.notNormalNs[static_cast<std::size_t>(lane(group.runs.moderateFrom(), c))] += ns;
        column.criticalNs[static_cast<std::size_t>(lane(group.runs.criticalFrom, c))] += ns;
        cells.push_back(cellsOf(column, purges_[c], endNs_));
    }
    return cells;
}

} // namespace

std::vector<std::vector<CellResult>> sweepFrames(const TuneFrames& frames,
                                                 const std::vector<ColumnSpan>& spans)
{
    Sweep sweep(spans, frames.slumps);
    for (std::size_t i = 0; i < frames.levels.size(); ++i) {
        sweep.take({frames.elapsedNs[i], frames.elapsedMs[i], frames.ticks[i], frames.levels[i]});
    }
    return sweep.results();
}

} // namespace sim
