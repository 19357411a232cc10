#include "sim/tune/columns.h"

#include "sim/session/clock.h"

#include <algorithm>
#include <array>
#include <bit>
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
    // Bits 0 .. count-1.
    static Bits bit(std::size_t k)
    {
        Bits b;
        b.w[k / 64] = 1ull << (k % 64);
        return b;
    }
    static Bits below(int count)
    {
        Bits b;
        for (int i = 0; i < 2; ++i) {
            const int n = count - 64 * i;
            b.w[i] = n >= 64 ? ~0ull : n <= 0 ? 0ull : (1ull << n) - 1;
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

constexpr std::uint32_t never = std::numeric_limits<std::uint32_t>::max();

struct Column {
    Column(const TuneFrames& f, std::int32_t m, std::int32_t low, int n)
        : frames(f), moderate(m), criticalLow(low), count(n)
    {
    }
    const TuneFrames& frames;
    std::int32_t moderate;
    std::int32_t criticalLow;
    int count;
    Bits all = Bits::below(count);
    Bits inModerate;
    Bits inCritical;
    std::vector<CellResult> cells;
    // Per pair, side by side: a change touches a few of these and nothing else.
    std::vector<std::int64_t> sinceNs;
    std::array<std::vector<std::int64_t>, 3> closedNs;
    std::vector<std::uint64_t> changes;
    std::vector<std::uint32_t> lastPurgeTick;
    Bits awaitingRecovery;
    // Purges are looked for only once the soonest one can be due.
    std::uint32_t checkBaseTick = 0;
    std::uint32_t checkAfterMs = never;

    // Masks of the pairs from k up, and below k, for k = 0 .. count.
    std::vector<Bits> fromIndex;
    std::vector<Bits> belowIndex;
    std::size_t clampIndex(int k) const
    {
        return static_cast<std::size_t>(std::clamp(k, 0, count));
    }

    void leave(const Bits& pairs, PerfState from, std::int64_t beforeNs);
    void recover(std::size_t k, std::size_t frame);
    bool blockIsQuiet(std::size_t block) const;
    void frameOf(std::size_t frame);
    void purges(std::size_t frame, Bits entering);
};

std::uint32_t tickAt(const TuneFrames& frames, std::size_t frame)
{
    const auto whole = static_cast<std::uint64_t>(frames.elapsedMs[frame]);
    return frames.uptimeMs + static_cast<std::uint32_t>(whole);
}

void Column::leave(const Bits& pairs, PerfState from, std::int64_t beforeNs)
{
    std::vector<std::int64_t>& closed = closedNs[static_cast<std::size_t>(from)];
    pairs.each([&](std::size_t k) {
        ++changes[k];
        closed[k] += beforeNs - sinceNs[k];
        sinceNs[k] = beforeNs;
    });
}

// True when no frame of the block can change a pair's state or set off a purge.
bool Column::blockIsQuiet(std::size_t block) const
{
    const TuneFrames::Level low = frames.blockLevels[block].lowest;
    const TuneFrames::Level high = frames.blockLevels[block].highest;
    const Bits normal = all & ~inModerate & ~inCritical;
    if (normal.any() && low.floor < moderate) {
        return false;
    }
    if (inModerate.any() &&
        (high.ceil - 6 >= moderate ||
         (inModerate & fromIndex[clampIndex(low.floor + 1 - criticalLow)]).any())) {
        return false;
    }
    if (!inCritical.any()) {
        return true;
    }
    if ((inCritical & belowIndex[clampIndex(high.ceil - 5 - criticalLow)]).any()) {
        return false;
    }
    const std::size_t last = std::min((block + 1) * tuneBlock, frames.fps.size()) - 1;
    return checkAfterMs == never || tickAt(frames, last) - checkBaseTick <= checkAfterMs;
}

void Column::frameOf(std::size_t frame)
{
    const TuneFrames::Level level = frames.levels[frame];
    Bits entered;
    if (level.comparable) {
        // x < C for the pairs from k0 up; x > C + 5 for the pairs below k1.
        const Bits lowCritical = fromIndex[clampIndex(level.floor + 1 - criticalLow)];
        const Bits highCritical = belowIndex[clampIndex(level.ceil - 5 - criticalLow)];
        const bool down = level.floor < moderate;
        const bool up = level.ceil - 6 >= moderate;
        const Bits fromNormal = down ? all & ~inModerate & ~inCritical : Bits{};
        const Bits toNormal = up ? inModerate : Bits{};
        const Bits toCritical = up ? Bits{} : inModerate & lowCritical;
        const Bits fromCritical = inCritical & highCritical;
        if ((fromNormal | toNormal | toCritical | fromCritical).any()) {
            const std::int64_t before = frame == 0 ? 0 : frames.elapsedNs[frame - 1];
            leave(fromNormal, PerfState::Normal, before);
            leave(toNormal | toCritical, PerfState::Moderate, before);
            leave(fromCritical, PerfState::Critical, before);
            fromCritical.each([&](std::size_t k) { recover(k, frame); });
            inModerate = (inModerate & ~toNormal & ~toCritical) | fromNormal | fromCritical;
            inCritical = (inCritical & ~fromCritical) | toCritical;
            entered = toCritical;
        }
    }
    if (inCritical.any()) {
        purges(frame, entered);
    }
}

void Column::recover(std::size_t k, std::size_t frame)
{
    // Only the first recovery after a purge tells whether its dip was brief.
    const Bits bit = Bits::bit(k);
    if ((awaitingRecovery & bit).any()) {
        CellResult& c = cells[k];
        c.briefDipPurges += frames.elapsedMs[frame] - c.purgeTimesMs.back() <= briefDipMs ? 1u : 0u;
        awaitingRecovery = awaitingRecovery & ~bit;
    }
}

// Looks at the pairs that just entered Critical, and at all of them once the soonest purge can be
// due: the schedule is how long after checkBaseTick that is.
void Column::purges(std::size_t frame, Bits entering)
{
    const std::uint32_t tick = tickAt(frames, frame);
    const std::uint32_t sinceBase = tick - checkBaseTick;
    const bool due = checkAfterMs != never && sinceBase > checkAfterMs;
    const Bits look = due ? inCritical : entering;
    if (!look.any()) {
        return;
    }
    std::uint32_t soonest = due || checkAfterMs == never ? never : checkAfterMs - sinceBase;
    look.each([&](std::size_t k) {
        if (tick - lastPurgeTick[k] > purgeIntervalMs) {
            lastPurgeTick[k] = tick;
            cells[k].purgeTimesMs.push_back(frames.elapsedMs[frame]);
            awaitingRecovery = awaitingRecovery | Bits::bit(k);
        }
        soonest = std::min(soonest, purgeIntervalMs - (tick - lastPurgeTick[k]));
    });
    checkBaseTick = tick;
    checkAfterMs = soonest;
}

} // namespace

std::vector<CellResult> evaluateColumn(const TuneFrames& frames, const GovernorSettings& base,
                                       std::int32_t moderate, std::int32_t criticalLow,
                                       std::int32_t criticalHigh)
{
    const int count = criticalHigh - criticalLow + 1;
    Column column(frames, moderate, criticalLow, count);
    column.cells.resize(static_cast<std::size_t>(count));
    column.sinceNs.assign(column.cells.size(), 0);
    for (std::vector<std::int64_t>& closed : column.closedNs) {
        closed.assign(column.cells.size(), 0);
    }
    column.changes.assign(column.cells.size(), 0);
    column.lastPurgeTick.assign(column.cells.size(), 0);
    for (int k = 0; k <= count; ++k) {
        column.belowIndex.push_back(Bits::below(k));
        column.fromIndex.push_back(column.all & ~Bits::below(k));
    }
    for (std::size_t k = 0; k < column.cells.size(); ++k) {
        column.cells[k].moderate = moderate;
        column.cells[k].critical = criticalLow + static_cast<std::int32_t>(k);
    }
    const std::size_t n = base.enabled ? frames.fps.size() : 0;
    for (std::size_t f = 0; f < n;) {
        if (f % tuneBlock == 0 && f + tuneBlock <= n && column.blockIsQuiet(f / tuneBlock)) {
            f += tuneBlock;
            continue;
        }
        column.frameOf(f++);
    }
    const std::int64_t endNs = frames.elapsedNs.empty() ? 0 : frames.elapsedNs.back();
    for (std::size_t k = 0; k < column.cells.size(); ++k) {
        column.cells[k].changes = column.changes[k];
        const Bits bit = Bits::bit(k);
        const std::size_t now = (column.inCritical & bit).any()   ? 2
                                : (column.inModerate & bit).any() ? 1
                                                                  : 0;
        for (std::size_t s = 0; s < 3; ++s) {
            const std::int64_t open = s == now ? endNs - column.sinceNs[k] : 0;
            column.cells[k].timeInStateMs[s] = millisecondsOf(column.closedNs[s][k] + open);
        }
    }
    return column.cells;
}

} // namespace sim
