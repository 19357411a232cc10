#include "sim/tune/columns.h"

#include "sim/session/clock.h"

#include <algorithm>
#include <array>
#include <bit>
#include <deque>
#include <limits>

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
    template <class F> void each(F&& f) const
    {
        for (int i = 0; i < 2; ++i) {
            for (std::uint64_t word = w[i]; word != 0; word &= word - 1) {
                f(static_cast<std::size_t>(64 * i + std::countr_zero(word)));
            }
        }
    }
};

constexpr std::size_t normal = 0;
constexpr std::size_t moderateState = 1;
constexpr std::size_t critical = 2;

std::uint32_t tickAt(const TuneFrames& frames, std::size_t frame)
{
    const auto whole = static_cast<std::uint64_t>(frames.elapsedMs[frame]);
    return frames.uptimeMs + static_cast<std::uint32_t>(whole);
}

// Pairs sorted by FPS_Critical keep their states in order: a higher FPS_Critical enters Critical
// sooner and leaves it later. So a column is three runs: the pairs below `apartFrom` share one
// phase (Normal or Moderate: every move between them takes all of them), those from `apartFrom`
// to `criticalFrom` are back from Critical while the phase is Normal (Moderate on their own), and
// the rest are Critical. A frame moves the boundaries; time and changes are added to runs of
// pairs through difference arrays, in whole nanoseconds, so every pair's sums are exact.
struct Column {
    Column(const TuneFrames& f, std::int32_t m, std::int32_t low, int n)
        : frames(f), moderate(m), criticalLow(low), count(n)
    {
    }
    const TuneFrames& frames;
    std::int32_t moderate;
    std::int32_t criticalLow;
    int count;
    std::size_t phase = normal;
    int apartFrom;
    int criticalFrom;
    std::int64_t runSinceNs = 0;
    // Difference arrays over the pairs: time in each state, and changes.
    std::array<std::vector<std::int64_t>, 3> timeNs;
    std::vector<std::int64_t> changes;
    // Purges: which pairs purged within the last 7 s, and when, oldest first. Every pair starts
    // as if it purged at tick 0, as the plug-in's state does.
    Bits recentlyPurged;
    std::deque<std::pair<std::uint32_t, Bits>> purgeTicks;
    Bits awaitingRecovery;
    std::vector<CellResult> cells;

    void addTime(std::size_t state, int from, int to, std::int64_t ns)
    {
        if (from < to && ns != 0) {
            timeNs[state][static_cast<std::size_t>(from)] += ns;
            timeNs[state][static_cast<std::size_t>(to)] -= ns;
        }
    }
    void addChange(int from, int to)
    {
        if (from < to) {
            ++changes[static_cast<std::size_t>(from)];
            --changes[static_cast<std::size_t>(to)];
        }
    }
    void closeRuns(std::int64_t atNs);
    // The frame's effect: none, runs moved, or runs moved with pairs entering Critical.
    enum class Moved { Nothing, Runs, IntoCritical };
    Moved frameOf(std::size_t frame);
    void purges(std::size_t frame, bool entered);
    void recover(int from, int to, std::size_t frame);
    bool blockIsQuiet(std::size_t block) const;
    void quietWindow();
    int floorAtLeast = 0;
    int ceilAtMost = 0;
    int clampIndex(int k) const { return std::clamp(k, 0, count); }
};

void Column::closeRuns(std::int64_t atNs)
{
    const std::int64_t ns = atNs - runSinceNs;
    addTime(phase, 0, apartFrom, ns);
    addTime(moderateState, apartFrom, criticalFrom, ns);
    addTime(critical, criticalFrom, count, ns);
    runSinceNs = atNs;
}

void Column::recover(int from, int to, std::size_t frame)
{
    if (from >= to || !awaitingRecovery.any()) {
        return;
    }
    const Bits back = Bits::range(from, to);
    // Only the first recovery after a purge tells whether its dip was brief.
    (awaitingRecovery & back).each([&](std::size_t k) {
        cells[k].briefDipPurges += frames.elapsedMs[frame] - cells[k].lastPurgeMs <= briefDipMs;
    });
    awaitingRecovery = awaitingRecovery & ~back;
}

// One frame, as the state functions take it for each pair; false when nothing changed.
Column::Moved Column::frameOf(std::size_t frame)
{
    const TuneFrames::Level level = frames.levels[frame];
    if (level.floor > level.ceil) {
        return Moved::Nothing; // NaN: no comparison holds
    }
    const bool down = level.floor < moderate;
    const bool up = level.ceil - 6 >= moderate;
    // x < FPS_Critical from k0 up; x > FPS_Critical + 5 below k1.
    const int k0 = clampIndex(level.floor + 1 - criticalLow);
    const int k1 = clampIndex(level.ceil - 5 - criticalLow);
    const int moderateFrom = phase == moderateState ? 0 : apartFrom;
    const int toCritical = up ? criticalFrom : std::max(moderateFrom, std::min(k0, criticalFrom));
    const int recovered = std::max(criticalFrom, k1);
    const bool phaseMoves = (phase == normal && down) || (phase == moderateState && up);
    const bool apartRises = phase == normal && up && apartFrom < criticalFrom;
    if (toCritical == criticalFrom && recovered == criticalFrom && !phaseMoves && !apartRises) {
        return Moved::Nothing;
    }
    closeRuns(frame == 0 ? 0 : frames.elapsedNs[frame - 1]);
    addChange(toCritical, criticalFrom);
    addChange(criticalFrom, recovered);
    recover(criticalFrom, recovered, frame);
    if (phaseMoves) {
        addChange(0, apartFrom);
        phase = phase == normal ? moderateState : normal;
    }
    if (apartRises) {
        addChange(apartFrom, criticalFrom);
    }
    const int oldCriticalFrom = criticalFrom;
    criticalFrom = toCritical < oldCriticalFrom ? toCritical : recovered;
    if (phase == moderateState || apartRises) {
        // Everything out of Critical is in the phase: the apart joined it.
        apartFrom = phase == moderateState ? criticalFrom : oldCriticalFrom;
    }
    apartFrom = std::min(apartFrom, criticalFrom);
    return toCritical < oldCriticalFrom ? Moved::IntoCritical : Moved::Runs;
}

// A pair can only come due when it enters Critical or its last purge grows 7 s old.
void Column::purges(std::size_t frame, bool entered)
{
    const std::uint32_t tick = tickAt(frames, frame);
    bool expired = false;
    while (!purgeTicks.empty() && tick - purgeTicks.front().first > purgeIntervalMs) {
        recentlyPurged = recentlyPurged & ~purgeTicks.front().second;
        purgeTicks.pop_front();
        expired = true;
    }
    if (!entered && !expired) {
        return;
    }
    const Bits due = Bits::range(criticalFrom, count) & ~recentlyPurged;
    if (!due.any()) {
        return;
    }
    due.each([&](std::size_t k) {
        ++cells[k].purges;
        cells[k].lastPurgeMs = frames.elapsedMs[frame];
    });
    recentlyPurged = recentlyPurged | due;
    awaitingRecovery = awaitingRecovery | due;
    purgeTicks.emplace_back(tick, due);
}

// The levels a frame may have without changing any pair's state: below floorAtLeast a drop
// moves something, above ceilAtMost a rise does. Recomputed whenever the runs move.
void Column::quietWindow()
{
    floorAtLeast = std::numeric_limits<int>::min();
    ceilAtMost = std::numeric_limits<int>::max();
    if (phase == normal && apartFrom > 0) {
        floorAtLeast = moderate; // a drop below FPS_Moderate moves the phase
    }
    const int moderateFrom = phase == moderateState ? 0 : apartFrom;
    if (moderateFrom < criticalFrom) {
        ceilAtMost = moderate + 5; // a rise above FPS_Moderate + 5 moves Moderate pairs
        floorAtLeast = std::max(floorAtLeast, criticalLow + criticalFrom - 1);
    }
    if (criticalFrom < count) {
        ceilAtMost = std::min(ceilAtMost, criticalLow + criticalFrom + 5);
    }
}

// True when no frame of the block can change a pair's state or set off a purge.
bool Column::blockIsQuiet(std::size_t block) const
{
    const TuneFrames::BlockLevels levels = frames.blockLevels[block];
    if (levels.lowest.floor < floorAtLeast || levels.highest.ceil > ceilAtMost) {
        return false;
    }
    const std::size_t last = std::min((block + 1) * tuneBlock, frames.fps.size()) - 1;
    return criticalFrom == count || purgeTicks.empty() ||
           tickAt(frames, last) - purgeTicks.front().first <= purgeIntervalMs;
}

} // namespace

std::vector<CellResult> evaluateColumn(const TuneFrames& frames, const GovernorSettings& base,
                                       std::int32_t moderate, std::int32_t criticalLow,
                                       std::int32_t criticalHigh)
{
    const int count = criticalHigh - criticalLow + 1;
    const auto pairs = static_cast<std::size_t>(count);
    Column column(frames, moderate, criticalLow, count);
    column.apartFrom = count;
    column.criticalFrom = count;
    for (std::vector<std::int64_t>& time : column.timeNs) {
        time.assign(pairs + 1, 0);
    }
    column.changes.assign(pairs + 1, 0);
    column.cells.resize(pairs);
    column.recentlyPurged = Bits::range(0, count);
    column.purgeTicks.emplace_back(0u, column.recentlyPurged);
    column.quietWindow();
    const std::size_t n = base.enabled ? frames.fps.size() : 0;
    for (std::size_t f = 0; f < n;) {
        if (f % tuneBlock == 0 && f + tuneBlock <= n && column.blockIsQuiet(f / tuneBlock)) {
            f += tuneBlock;
            continue;
        }
        const TuneFrames::Level level = frames.levels[f];
        bool entered = false;
        if (level.floor < column.floorAtLeast || level.ceil > column.ceilAtMost) {
            const Column::Moved moved = column.frameOf(f);
            if (moved != Column::Moved::Nothing) {
                column.quietWindow();
            }
            entered = moved == Column::Moved::IntoCritical;
        }
        if (column.criticalFrom < count) {
            column.purges(f, entered);
        }
        ++f;
    }
    column.closeRuns(frames.elapsedNs.empty() ? 0 : frames.elapsedNs.back());
    std::array<std::int64_t, 3> time{};
    std::int64_t changes = 0;
    for (std::size_t k = 0; k < pairs; ++k) {
        CellResult& cell = column.cells[k];
        cell.moderate = moderate;
        cell.critical = criticalLow + static_cast<std::int32_t>(k);
        changes += column.changes[k];
        cell.changes = static_cast<std::uint64_t>(changes);
        for (std::size_t s = 0; s < 3; ++s) {
            time[s] += column.timeNs[s][k];
            cell.timeInStateMs[s] = millisecondsOf(time[s]);
        }
    }
    return column.cells;
}

} // namespace sim
