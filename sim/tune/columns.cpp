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
    static Bits bit(std::size_t k)
    {
        Bits b;
        b.w[k / 64] = 1ull << (k % 64);
        return b;
    }
    // Bits 0 .. count-1.
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
constexpr std::size_t normal = 0;
constexpr std::size_t moderateState = 1;
constexpr std::size_t critical = 2;

std::uint32_t tickAt(const TuneFrames& frames, std::size_t frame)
{
    const auto whole = static_cast<std::uint64_t>(frames.elapsedMs[frame]);
    return frames.uptimeMs + static_cast<std::uint32_t>(whole);
}

// Pairs out of Critical move between Normal and Moderate together: every drop below
// FPS_Moderate takes all Normal pairs to Moderate, every rise above it + 5 all Moderate pairs to
// Normal. So they share one phase, kept once for the column; a pair's own time in Normal and
// Moderate is what the shared phase spent there while the pair belonged to it. Only a pair back
// from Critical while the phase is Normal stands apart (Moderate on its own) until the next move.
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
    Bits shared = all; // in the shared phase
    Bits apart;        // Moderate while the phase is Normal
    Bits inCritical;
    std::size_t phase = normal;
    std::array<std::int64_t, 2> phaseClosedNs{}; // the phase's time in Normal and Moderate
    std::int64_t phaseSinceNs = 0;
    std::uint64_t phaseMoves = 0;

    std::vector<CellResult> cells;
    // Per pair, side by side: what it had when it joined the phase, and its own closed times.
    std::array<std::vector<std::int64_t>, 2> joinedPhaseNs;
    std::vector<std::uint64_t> joinedMoves;
    std::vector<std::int64_t> sinceNs; // apart or Critical: since when
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
    std::int64_t phaseNs(std::size_t state, std::int64_t atNs) const
    {
        return phaseClosedNs[state] + (phase == state ? atNs - phaseSinceNs : 0);
    }
    void join(std::size_t k, std::int64_t atNs);
    void leavePhase(std::size_t k, std::int64_t atNs);
    void closeOwn(std::size_t k, std::size_t state, std::int64_t atNs);
    void movePhase(std::int64_t atNs);
    void frameOf(std::size_t frame);
    void purges(std::size_t frame, Bits entering);
    bool blockIsQuiet(std::size_t block) const;
};

void Column::join(std::size_t k, std::int64_t atNs)
{
    joinedPhaseNs[normal][k] = phaseNs(normal, atNs);
    joinedPhaseNs[moderateState][k] = phaseNs(moderateState, atNs);
    joinedMoves[k] = phaseMoves;
}

void Column::leavePhase(std::size_t k, std::int64_t atNs)
{
    closedNs[normal][k] += phaseNs(normal, atNs) - joinedPhaseNs[normal][k];
    closedNs[moderateState][k] += phaseNs(moderateState, atNs) - joinedPhaseNs[moderateState][k];
    changes[k] += phaseMoves - joinedMoves[k];
}

void Column::closeOwn(std::size_t k, std::size_t state, std::int64_t atNs)
{
    closedNs[state][k] += atNs - sinceNs[k];
    sinceNs[k] = atNs;
}

void Column::movePhase(std::int64_t atNs)
{
    phaseClosedNs[phase] += atNs - phaseSinceNs;
    phaseSinceNs = atNs;
    phase = phase == normal ? moderateState : normal;
    ++phaseMoves;
}

void Column::frameOf(std::size_t frame)
{
    const TuneFrames::Level level = frames.levels[frame];
    Bits entered;
    if (level.comparable) {
        const bool down = level.floor < moderate;
        const bool up = level.ceil - 6 >= moderate;
        const Bits inModerate = phase == moderateState ? shared : apart;
        // x < C for the pairs from k0 up; x > C + 5 for the pairs below k1.
        const Bits toCritical =
            up ? Bits{} : inModerate & fromIndex[clampIndex(level.floor + 1 - criticalLow)];
        const Bits fromCritical = inCritical & belowIndex[clampIndex(level.ceil - 5 - criticalLow)];
        const bool moves = (phase == normal && down) || (phase == moderateState && up);
        const bool apartRise = phase == normal && up && apart.any();
        if (toCritical.any() || fromCritical.any() || moves || apartRise) {
            const std::int64_t at = frame == 0 ? 0 : frames.elapsedNs[frame - 1];
            toCritical.each([&](std::size_t k) {
                if ((shared & Bits::bit(k)).any()) {
                    leavePhase(k, at);
                    sinceNs[k] = at;
                } else {
                    closeOwn(k, moderateState, at);
                }
                ++changes[k];
            });
            shared = shared & ~toCritical;
            apart = apart & ~toCritical;
            fromCritical.each([&](std::size_t k) {
                closeOwn(k, critical, at);
                ++changes[k];
                // Only the first recovery after a purge tells whether its dip was brief.
                if ((awaitingRecovery & Bits::bit(k)).any()) {
                    const double after = frames.elapsedMs[frame] - cells[k].purgeTimesMs.back();
                    cells[k].briefDipPurges += after <= briefDipMs ? 1u : 0u;
                }
            });
            awaitingRecovery = awaitingRecovery & ~fromCritical;
            inCritical = (inCritical & ~fromCritical) | toCritical;
            if (moves) {
                movePhase(at);
            }
            // Pairs apart join the phase once it is where they are, or rise with it.
            const bool rise = apartRise;
            apart.each([&](std::size_t k) {
                closeOwn(k, moderateState, at);
                changes[k] += rise ? 1u : 0u;
                join(k, at);
            });
            shared = shared | (phase == moderateState || rise ? apart : Bits{});
            apart = phase == moderateState || rise ? Bits{} : apart;
            fromCritical.each([&](std::size_t k) {
                if (phase == moderateState) {
                    join(k, at);
                } else {
                    sinceNs[k] = at;
                }
            });
            (phase == moderateState ? shared : apart) =
                (phase == moderateState ? shared : apart) | fromCritical;
            entered = toCritical;
        }
    }
    if (inCritical.any()) {
        purges(frame, entered);
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

// True when no frame of the block can change a pair's state or set off a purge.
bool Column::blockIsQuiet(std::size_t block) const
{
    const TuneFrames::Level low = frames.blockLevels[block].lowest;
    const TuneFrames::Level high = frames.blockLevels[block].highest;
    const Bits inModerate = phase == moderateState ? shared : apart;
    if (phase == normal && shared.any() && low.floor < moderate) {
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

} // namespace

std::vector<CellResult> evaluateColumn(const TuneFrames& frames, const GovernorSettings& base,
                                       std::int32_t moderate, std::int32_t criticalLow,
                                       std::int32_t criticalHigh)
{
    const int count = criticalHigh - criticalLow + 1;
    const auto pairs = static_cast<std::size_t>(count);
    Column column(frames, moderate, criticalLow, count);
    column.cells.resize(pairs);
    for (std::vector<std::int64_t>& joined : column.joinedPhaseNs) {
        joined.assign(pairs, 0);
    }
    for (std::vector<std::int64_t>& closed : column.closedNs) {
        closed.assign(pairs, 0);
    }
    column.joinedMoves.assign(pairs, 0);
    column.sinceNs.assign(pairs, 0);
    column.changes.assign(pairs, 0);
    column.lastPurgeTick.assign(pairs, 0);
    for (int k = 0; k <= count; ++k) {
        column.belowIndex.push_back(Bits::below(k));
        column.fromIndex.push_back(column.all & ~Bits::below(k));
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
    for (std::size_t k = 0; k < pairs; ++k) {
        const Bits bit = Bits::bit(k);
        if ((column.shared & bit).any()) {
            column.leavePhase(k, endNs);
        } else {
            column.closeOwn(k, (column.apart & bit).any() ? moderateState : critical, endNs);
        }
        CellResult& cell = column.cells[k];
        cell.moderate = moderate;
        cell.critical = criticalLow + static_cast<std::int32_t>(k);
        cell.changes = column.changes[k];
        for (std::size_t s = 0; s < 3; ++s) {
            cell.timeInStateMs[s] = millisecondsOf(column.closedNs[s][k]);
        }
    }
    return column.cells;
}

} // namespace sim
