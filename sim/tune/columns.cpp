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
    std::vector<std::int64_t> sinceNs;
    std::vector<std::array<std::int64_t, 3>> closedNs;
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

    void change(std::size_t k, PerfState from, std::size_t frame);
    void recover(std::size_t k, std::size_t frame);
    void frameOf(std::size_t frame);
    void purges(std::size_t frame, Bits entering);
};

std::uint32_t tickAt(const TuneFrames& frames, std::size_t frame)
{
    const auto whole = static_cast<std::uint64_t>(frames.elapsedMs[frame]);
    return frames.uptimeMs + static_cast<std::uint32_t>(whole);
}

void Column::change(std::size_t k, PerfState from, std::size_t frame)
{
    const std::int64_t before = frame == 0 ? 0 : frames.elapsedNs[frame - 1];
    ++cells[k].changes;
    closedNs[k][static_cast<std::size_t>(from)] += before - sinceNs[k];
    sinceNs[k] = before;
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
            fromNormal.each([&](std::size_t k) { change(k, PerfState::Normal, frame); });
            (toNormal | toCritical).each([&](std::size_t k) {
                change(k, PerfState::Moderate, frame);
            });
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
    change(k, PerfState::Critical, frame);
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
    column.closedNs.assign(column.cells.size(), {});
    column.lastPurgeTick.assign(column.cells.size(), 0);
    for (int k = 0; k <= count; ++k) {
        column.belowIndex.push_back(Bits::below(k));
        column.fromIndex.push_back(column.all & ~Bits::below(k));
    }
    for (std::size_t k = 0; k < column.cells.size(); ++k) {
        column.cells[k].moderate = moderate;
        column.cells[k].critical = criticalLow + static_cast<std::int32_t>(k);
    }
    if (base.enabled) {
        for (std::size_t f = 0; f < frames.fps.size(); ++f) {
            column.frameOf(f);
        }
    }
    const std::int64_t endNs = frames.elapsedNs.empty() ? 0 : frames.elapsedNs.back();
    for (std::size_t k = 0; k < column.cells.size(); ++k) {
        const Bits bit = Bits::bit(k);
        const std::size_t now = (column.inCritical & bit).any()   ? 2
                                : (column.inModerate & bit).any() ? 1
                                                                  : 0;
        for (std::size_t s = 0; s < 3; ++s) {
            const std::int64_t open = s == now ? endNs - column.sinceNs[k] : 0;
            column.cells[k].timeInStateMs[s] = millisecondsOf(column.closedNs[k][s] + open);
        }
    }
    return column.cells;
}

} // namespace sim
