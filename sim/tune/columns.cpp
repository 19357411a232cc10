#include "sim/tune/columns.h"

#include "sim/handoff.h"
#include "sim/session/clock.h"

#include <algorithm>
#include <array>
#include <bit>
#include <exception>
#include <limits>
#include <memory>
#include <optional>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sim {
namespace {

// Up to 128 pairs of one column.
struct Bits {
    std::uint64_t w[2] = {0, 0};
    bool any() const { return (w[0] | w[1]) != 0; }
    Bits operator&(Bits o) const { return {{w[0] & o.w[0], w[1] & o.w[1]}}; }
    Bits operator|(Bits o) const { return {{w[0] | o.w[0], w[1] | o.w[1]}}; }
    Bits operator~() const { return {{~w[0], ~w[1]}}; }
    // Bits from .. to-1.
    static Bits range(int from, int to)
    {
        Bits b;
        for (int i = 0; i < 2; ++i) {
            const auto upTo = [i](int n) {
                const int m = n - 64 * i;
                return m >= 64 ? ~0ull : m <= 0 ? 0ull : (1ull << m) - 1;
            };
            b.w[i] = upTo(to) & ~upTo(from);
        }
        return b;
    }
    // The lowest k with every bit from k up to `to` set.
    int coveredFrom(int to) const
    {
        const Bits clear = ~*this & range(0, to);
        for (int i = 1; i >= 0; --i) {
            if (clear.w[i] != 0) {
                return 64 * i + 64 - std::countl_zero(clear.w[i]);
            }
        }
        return 0;
    }
    // The lowest bit set, or none.
    int lowest(int none) const
    {
        return w[0] != 0 ? std::countr_zero(w[0]) : w[1] != 0 ? 64 + std::countr_zero(w[1]) : none;
    }
    template <class F> void each(F&& f) const
    {
        for (int i = 0; i < 2; ++i) {
            for (std::uint64_t word = w[i]; word != 0; word &= word - 1) {
                f(static_cast<std::size_t>(64 * i + std::countr_zero(word)));
            }
        }
    }
};

// Purges still within 7 s, oldest first. A pair is in at most one of them (it is not due again
// before its own grows old), so there are never more than there are pairs.
struct PurgeTicks {
    struct Purge {
        std::uint32_t tick;
        Bits pairs;
    };
    std::array<Purge, 128> ring;
    std::size_t first = 0;
    std::size_t size = 0;
    bool empty() const { return size == 0; }
    const Purge& front() const { return ring[first]; }
    void pop() { first = (first + 1) % ring.size(), --size; }
    void push(const Purge& purge) { ring[(first + size++) % ring.size()] = purge; }
};

constexpr std::size_t slots = 129; // up to 128 pairs, and one past the last

// One column: one FPS_Moderate, the pairs sorted by FPS_Critical. What is added up for its pairs
// is kept here; where the column stands is kept in lanes (below).
struct Column {
    explicit Column(const ColumnSpan& s) : span(s), count(s.high - s.low + 1)
    {
        // Every pair starts as if it purged at tick 0, as the plug-in's state does.
        recentlyPurged = Bits::range(0, count);
        purgeTicks.push({0u, recentlyPurged});
    }
    ColumnSpan span;
    int count;
    // Difference arrays over the pairs, in whole nanoseconds, so every pair's sums are exact:
    // time out of Normal from the first pair out of it up, time in Critical from the first pair
    // in it up (Moderate and Normal follow from those and the whole), and state changes.
    std::int64_t runSinceNs = 0;
    std::array<std::int64_t, slots> notNormalNs{};
    std::array<std::int64_t, slots> criticalNs{};
    std::array<std::int64_t, slots> changes{};
    // Which pairs purged within the last 7 s, and when.
    Bits recentlyPurged;
    PurgeTicks purgeTicks;
    Bits awaitingRecovery; // purged, not yet out of Critical since
    std::array<std::uint64_t, 128> purgeCount{};
    std::array<double, 128> lastPurgeMs{};
    std::array<std::uint64_t, 128> briefDips{};

    std::vector<CellResult> cells(std::int64_t endNs) const;
};

// Eight columns side by side, one to a lane: each frame's step is a chain of dependent
// operations, and lanes let the processor work on several chains at once, without a branch that
// depends on a single frame (on a jittery capture which way each goes is as good as random).
// Sixteen bits hold every figure of the step: levels within -2001..2001, thresholds within
// -1000..1000 and pair numbers up to 128. Ticks need 32 bits: four lanes of those.
constexpr std::size_t laneCount = 8;
using Lanes = std::int16_t __attribute__((vector_size(laneCount * sizeof(std::int16_t))));
using TickLanes = std::uint32_t __attribute__((vector_size(laneCount / 2 * sizeof(std::uint32_t))));

Lanes lanesOf(int value)
{
    return Lanes{} + static_cast<std::int16_t>(value);
}
Lanes lowest(Lanes a, Lanes b)
{
    return a < b ? a : b;
}
Lanes highest(Lanes a, Lanes b)
{
    return a > b ? a : b;
}
// One bit a lane, from masks that are all ones where true.
std::uint64_t bitsOf(Lanes mask)
{
#if defined(__SSE2__)
    const __m128i bytes = _mm_packs_epi16(std::bit_cast<__m128i>(mask), _mm_setzero_si128());
    return static_cast<std::uint64_t>(_mm_movemask_epi8(bytes));
#else
    std::uint64_t bits = 0;
    for (std::size_t l = 0; l < laneCount; ++l) {
        bits |= static_cast<std::uint64_t>(mask[l] != 0) << l;
    }
    return bits;
#endif
}
// The same for the four lanes of ticks.
std::uint64_t bitsOf(decltype(TickLanes{} > 0u) mask)
{
#if defined(__SSE2__)
    return static_cast<std::uint64_t>(_mm_movemask_ps(std::bit_cast<__m128>(mask)));
#else
    std::uint64_t bits = 0;
    for (std::size_t l = 0; l < laneCount / 2; ++l) {
        bits |= static_cast<std::uint64_t>(mask[l] != 0) << l;
    }
    return bits;
#endif
}

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

// Eight columns: where they stand, and what a frame did to them.
struct LaneGroup {
    Lanes moderate{};
    Lanes criticalLow{};
    Lanes count{};
    Runs runs;
    Lanes purgedFrom{};   // every pair from here up purged within the last 7 s
    Lanes awaitingFrom{}; // the lowest pair awaiting its first recovery, or past the last
    std::array<TickLanes, 2> oldestPurge{}; // the tick of the oldest purge still within 7 s
    Lanes purgePending{};                   // all ones where there is one
    // The last frame's move: pairs toCritical..criticalFrom-1 entered Critical,
    // criticalFrom..recovered-1 left it, 0..apartFrom-1 moved with the phase, and
    // apartFrom..criticalFrom-1 joined it when the apart rose; the runs before it.
    Lanes wasModerateFrom{};
    Lanes wasApartFrom{};
    Lanes wasCriticalFrom{};
    Lanes toCritical{};
    Lanes recovered{};
    Lanes phaseMoves{};
    Lanes apartRises{};
};

// Up to 64 columns going through the frames together, frame by frame: each frame's level is
// compared with every column's thresholds in lanes; only the columns it moved are then visited.
class Sweep {
  public:
    explicit Sweep(const std::vector<ColumnSpan>& spans);
    void take(const SweepFrame* frames, std::size_t count);
    std::vector<std::vector<CellResult>> results() const;

  private:
    std::uint64_t stepGroup(LaneGroup& q, const SweepFrame& frame, std::uint64_t& slow) const;
    void apply(std::size_t c);
    void look(std::size_t c, const SweepFrame& frame);
    void purges(std::size_t c, const SweepFrame& frame, bool entered);
    void noteColumn(std::size_t c);
    int lane(const Lanes& lanes, std::size_t c) const { return lanes[c % laneCount]; }
    std::size_t used_;
    std::uint64_t usedLanes_; // a bit for each column
    std::vector<Column> columns_;
    std::vector<LaneGroup> groups_;
    std::int64_t endNs_ = 0; // the clock once the last frame taken was over
};

Sweep::Sweep(const std::vector<ColumnSpan>& spans)
    : used_(spans.size()), usedLanes_(~0ull >> (64 - spans.size()))
{
    // Lanes past the last column repeat it; their figures are not used.
    const std::size_t padded = (spans.size() + laneCount - 1) / laneCount * laneCount;
    for (std::size_t c = 0; c < padded; ++c) {
        columns_.emplace_back(spans[std::min(c, spans.size() - 1)]);
    }
    groups_.resize(padded / laneCount);
    for (std::size_t c = 0; c < padded; ++c) {
        LaneGroup& q = groups_[c / laneCount];
        const auto l = static_cast<int>(c % laneCount);
        const Column& column = columns_[c];
        const auto narrow = [](int v) { return static_cast<std::int16_t>(v); };
        q.moderate[l] = narrow(column.span.moderate);
        q.criticalLow[l] = narrow(column.span.low);
        q.count[l] = narrow(column.count);
        q.runs.apartFrom[l] = narrow(column.count);
        q.runs.criticalFrom[l] = narrow(column.count);
        noteColumn(c);
    }
}

// What the lanes need to know of a column's purges to tell when to look closer.
void Sweep::noteColumn(std::size_t c)
{
    const Column& column = columns_[c];
    LaneGroup& q = groups_[c / laneCount];
    const auto l = static_cast<int>(c % laneCount);
    q.purgedFrom[l] = static_cast<std::int16_t>(column.recentlyPurged.coveredFrom(column.count));
    q.awaitingFrom[l] = static_cast<std::int16_t>(column.awaitingRecovery.lowest(column.count));
    q.purgePending[l] = static_cast<std::int16_t>(column.purgeTicks.empty() ? 0 : -1);
    q.oldestPurge[static_cast<std::size_t>(l) / 4][l % 4] =
        column.purgeTicks.empty() ? 0u : column.purgeTicks.front().tick;
}

// One frame, as the state functions take it for each pair of eight columns. Returns a bit for
// each column the frame moved; `slow` gets one for each column to look at closer: pairs entered
// Critical that did not purge within the last 7 s, a purge grew 7 s old while pairs are in
// Critical, or pairs awaiting their first recovery since a purge recovered.
std::uint64_t Sweep::stepGroup(LaneGroup& q, const SweepFrame& frame, std::uint64_t& slow) const
{
    const Runs r = q.runs;
    const Lanes floor = lanesOf(frame.level.floor);
    const Lanes ceil = lanesOf(frame.level.ceil);
    const Lanes down = floor < q.moderate;
    const Lanes up = ceil - lanesOf(6) >= q.moderate;
    // x < FPS_Critical from k0 up; x > FPS_Critical + 5 below k1.
    const Lanes k0 = highest(lowest(floor + lanesOf(1) - q.criticalLow, q.count), Lanes{});
    const Lanes k1 = highest(lowest(ceil - lanesOf(5) - q.criticalLow, q.count), Lanes{});
    q.toCritical = up ? r.criticalFrom : highest(r.moderateFrom(), lowest(k0, r.criticalFrom));
    q.recovered = highest(r.criticalFrom, k1);
    q.phaseMoves = r.moderatePhase ? up : down;
    q.apartRises = ~r.moderatePhase & up & (r.apartFrom < r.criticalFrom);
    Runs& next = q.runs;
    next.criticalFrom = q.toCritical < r.criticalFrom ? q.toCritical : q.recovered;
    next.moderatePhase = r.moderatePhase ^ q.phaseMoves;
    // Everything out of Critical is in the phase when it is Moderate; a rising apart joins it.
    next.apartFrom = next.moderatePhase ? next.criticalFrom
                     : q.apartRises     ? r.criticalFrom
                                        : r.apartFrom;
    next.apartFrom = lowest(next.apartFrom, next.criticalFrom);
    q.wasModerateFrom = r.moderateFrom();
    q.wasApartFrom = r.apartFrom;
    q.wasCriticalFrom = r.criticalFrom;
    const TickLanes now = TickLanes{} + frame.tick;
    const std::uint64_t expired = bitsOf(now - q.oldestPurge[0] > purgeIntervalMs) |
                                  bitsOf(now - q.oldestPurge[1] > purgeIntervalMs) << 4;
    slow = bitsOf((next.criticalFrom < lowest(r.criticalFrom, q.purgedFrom)) |
                  (q.recovered > q.awaitingFrom)) |
           (bitsOf(q.purgePending & (next.criticalFrom < q.count)) & expired);
    return bitsOf((next.criticalFrom != r.criticalFrom) | (next.apartFrom != r.apartFrom) |
                  q.phaseMoves);
}

// A moved column: the runs' time up to the frame is closed, the changes counted for each pair.
void Sweep::apply(std::size_t c)
{
    Column& column = columns_[c];
    const LaneGroup& q = groups_[c / laneCount];
    const auto at = [](int k) { return static_cast<std::size_t>(k); };
    const std::int64_t startNs = endNs_; // the frame's start
    const std::int64_t ns = startNs - column.runSinceNs;
    column.notNormalNs[at(lane(q.wasModerateFrom, c))] += ns;
    column.criticalNs[at(lane(q.wasCriticalFrom, c))] += ns;
    column.runSinceNs = startNs;
    const int phaseMoves = -lane(q.phaseMoves, c);
    const int apartRises = -lane(q.apartRises, c);
    ++column.changes[at(lane(q.toCritical, c))];
    --column.changes[at(lane(q.recovered, c))];
    if ((phaseMoves | apartRises) != 0) { // one move in ten
        column.changes[0] += phaseMoves;
        column.changes[at(lane(q.wasApartFrom, c))] += apartRises - phaseMoves;
        column.changes[at(lane(q.wasCriticalFrom, c))] -= apartRises;
    }
}

// A column with purges to see to: first recoveries, then what comes due.
void Sweep::look(std::size_t c, const SweepFrame& frame)
{
    Column& column = columns_[c];
    const LaneGroup& q = groups_[c / laneCount];
    const int was = lane(q.wasCriticalFrom, c);
    const int recovered = lane(q.recovered, c);
    if (recovered > was) {
        const Bits back = Bits::range(was, recovered);
        // Only the first recovery after a purge tells whether its dip was brief.
        (column.awaitingRecovery & back).each([&](std::size_t k) {
            column.briefDips[k] += frame.endMs - column.lastPurgeMs[k] <= briefDipMs;
        });
        column.awaitingRecovery = column.awaitingRecovery & ~back;
    }
    // With no pair in Critical nothing is due, and a purge's age is left to be read when one is,
    // as the plug-in reads it then (the tick counter wraps after 49.7 days).
    if (lane(q.runs.criticalFrom, c) < column.count) {
        purges(c, frame, lane(q.runs.criticalFrom, c) < was);
    }
    noteColumn(c);
}

// A pair can only come due when it enters Critical or its last purge grows 7 s old.
void Sweep::purges(std::size_t c, const SweepFrame& frame, bool entered)
{
    Column& column = columns_[c];
    const std::uint32_t tick = frame.tick;
    bool expired = false;
    while (!column.purgeTicks.empty() && tick - column.purgeTicks.front().tick > purgeIntervalMs) {
        column.recentlyPurged = column.recentlyPurged & ~column.purgeTicks.front().pairs;
        column.purgeTicks.pop();
        expired = true;
    }
    if (!entered && !expired) {
        return;
    }
    const int criticalFrom = lane(groups_[c / laneCount].runs.criticalFrom, c);
    const Bits due = Bits::range(criticalFrom, column.count) & ~column.recentlyPurged;
    if (!due.any()) {
        return;
    }
    due.each([&](std::size_t k) {
        ++column.purgeCount[k];
        column.lastPurgeMs[k] = frame.endMs;
    });
    column.recentlyPurged = column.recentlyPurged | due;
    column.awaitingRecovery = column.awaitingRecovery | due;
    column.purgeTicks.push({tick, due});
}

void Sweep::take(const SweepFrame* frames, std::size_t count)
{
    for (const SweepFrame* frame = frames; frame != frames + count; ++frame) {
        std::uint64_t moved = 0;
        std::uint64_t slow = 0;
        for (std::size_t i = 0; i < groups_.size(); ++i) {
            std::uint64_t slowHere = 0;
            moved |= stepGroup(groups_[i], *frame, slowHere) << (laneCount * i);
            slow |= slowHere << (laneCount * i);
        }
        moved &= usedLanes_; // lanes past the last column only repeat it
        slow &= usedLanes_;
        for (; moved != 0; moved &= moved - 1) {
            apply(static_cast<std::size_t>(std::countr_zero(moved)));
        }
        for (; slow != 0; slow &= slow - 1) {
            look(static_cast<std::size_t>(std::countr_zero(slow)), *frame);
        }
        endNs_ = frame->endNs;
    }
}

std::vector<CellResult> Column::cells(std::int64_t endNs) const
{
    std::vector<CellResult> cells(static_cast<std::size_t>(count));
    std::int64_t notNormal = 0;
    std::int64_t inCritical = 0;
    std::int64_t changed = 0;
    for (std::size_t k = 0; k < cells.size(); ++k) {
        CellResult& cell = cells[k];
        cell.moderate = span.moderate;
        cell.critical = span.low + static_cast<std::int32_t>(k);
        cell.purges = purgeCount[k];
        cell.lastPurgeMs = lastPurgeMs[k];
        cell.briefDipPurges = briefDips[k];
        notNormal += notNormalNs[k];
        inCritical += criticalNs[k];
        changed += changes[k];
        cell.changes = static_cast<std::uint64_t>(changed);
        cell.timeInStateMs = {millisecondsOf(endNs - notNormal),
                              millisecondsOf(notNormal - inCritical), millisecondsOf(inCritical)};
    }
    return cells;
}

std::vector<std::vector<CellResult>> Sweep::results() const
{
    const std::int64_t endNs = endNs_;
    std::vector<std::vector<CellResult>> cells;
    for (std::size_t c = 0; c < used_; ++c) {
        // The time since the last move is in the runs where the last frame left them.
        Column column = columns_[c];
        const LaneGroup& q = groups_[c / laneCount];
        const std::int64_t ns = endNs - column.runSinceNs;
        column.notNormalNs[static_cast<std::size_t>(lane(q.runs.moderateFrom(), c))] += ns;
        column.criticalNs[static_cast<std::size_t>(lane(q.runs.criticalFrom, c))] += ns;
        cells.push_back(column.cells(endNs));
    }
    return cells;
}

constexpr std::size_t sweepColumns = 64; // one bit each in a word

struct SweepMessage {
    std::shared_ptr<const std::vector<SweepFrame>> frames; // none: forget every frame so far
};

} // namespace

SweepFrame sweepFrameOf(const TuneFrames& frames, std::size_t i)
{
    return {frames.elapsedNs[i], frames.elapsedMs[i], frames.ticks[i], frames.levels[i]};
}

// Each worker has sweeps of its own and a queue of the frames to take.
struct ColumnsRun::Worker {
    std::vector<std::vector<ColumnSpan>> parts;
    std::vector<Sweep> sweeps;
    Handoff<SweepMessage, 64> queue;
    std::vector<std::vector<CellResult>> cells; // by column, in the order of parts
    std::exception_ptr failure;
    std::thread thread;

    void start()
    {
        sweeps.clear();
        for (const std::vector<ColumnSpan>& part : parts) {
            sweeps.emplace_back(part);
        }
    }
    void run(bool enabled)
    {
        try {
            start();
            while (std::optional<SweepMessage> message = queue.pop()) {
                if (!message->frames) {
                    start();
                } else if (enabled) {
                    for (Sweep& sweep : sweeps) {
                        sweep.take(message->frames->data(), message->frames->size());
                    }
                }
            }
            for (const Sweep& sweep : sweeps) {
                for (std::vector<CellResult>& column : sweep.results()) {
                    cells.push_back(std::move(column));
                }
            }
        } catch (...) {
            failure = std::current_exception();
            queue.cancel();
        }
    }
};

ColumnsRun::ColumnsRun(const GovernorSettings& base, const std::vector<ColumnSpan>& spans)
{
    // Sweeps of equal size, an even number of them so that both cores have as much to do; a sweep
    // takes every so many columns, so that each has some of every kind.
    const std::size_t workers = std::thread::hardware_concurrency() > 1 ? 2 : 1;
    std::size_t sweeps = (spans.size() + sweepColumns - 1) / sweepColumns;
    sweeps = (sweeps + workers - 1) / workers * workers;
    for (std::size_t w = 0; w < workers; ++w) {
        workers_.push_back(std::make_unique<Worker>());
    }
    for (std::size_t s = 0; s < sweeps; ++s) {
        std::vector<ColumnSpan> part;
        for (std::size_t c = s; c < spans.size(); c += sweeps) {
            part.push_back(spans[c]);
            order_.push_back({s % workers, c});
        }
        if (!part.empty()) {
            workers_[s % workers]->parts.push_back(std::move(part));
        }
    }
    for (const std::unique_ptr<Worker>& worker : workers_) {
        worker->thread =
            std::thread([&worker = *worker, enabled = base.enabled] { worker.run(enabled); });
    }
}

ColumnsRun::~ColumnsRun()
{
    for (const std::unique_ptr<Worker>& worker : workers_) {
        worker->queue.close();
        if (worker->thread.joinable()) {
            worker->thread.join();
        }
    }
}

void ColumnsRun::add(std::vector<SweepFrame> frames)
{
    const auto shared = std::make_shared<const std::vector<SweepFrame>>(std::move(frames));
    for (const std::unique_ptr<Worker>& worker : workers_) {
        worker->queue.push({shared}); // a worker that failed takes nothing more: finish() says
    }
}

void ColumnsRun::restart()
{
    for (const std::unique_ptr<Worker>& worker : workers_) {
        worker->queue.push({nullptr});
    }
}

std::vector<std::vector<CellResult>> ColumnsRun::finish()
{
    for (const std::unique_ptr<Worker>& worker : workers_) {
        worker->queue.close();
        worker->thread.join();
        if (worker->failure) {
            std::rethrow_exception(worker->failure);
        }
    }
    // Each worker's cells come sweep by sweep; put them back in the order of the columns.
    std::vector<std::vector<CellResult>> cells(order_.size());
    std::vector<std::size_t> taken(workers_.size(), 0);
    for (const auto& [worker, column] : order_) {
        cells[column] = std::move(workers_[worker]->cells[taken[worker]++]);
    }
    return cells;
}

std::vector<std::vector<CellResult>> evaluateColumns(const TuneFrames& frames,
                                                     const GovernorSettings& base,
                                                     const std::vector<ColumnSpan>& spans)
{
    ColumnsRun run(base, spans);
    constexpr std::size_t batch = ColumnsRun::batchFrames;
    for (std::size_t first = 0; first < frames.levels.size(); first += batch) {
        std::vector<SweepFrame> part;
        for (std::size_t i = first; i < std::min(first + batch, frames.levels.size()); ++i) {
            part.push_back(sweepFrameOf(frames, i));
        }
        run.add(std::move(part));
    }
    return run.finish();
}

} // namespace sim
