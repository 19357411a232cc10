// The tuner's primitives: a set of up to 128 pairs of one column as bits, and eight 16-bit lanes
// stepped together (one column to a lane) without a branch that depends on a single frame.
#pragma once

#include "governor/state.h"
#include "sim/check/thresholds.h"

#include <bit>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sim {

// A column holds at most this many pairs: two words of bits.
inline constexpr int maxColumnPairs = 128;

// The thresholds compare with whole frame rates (see TuneFrames::Level): x > T + hysteresis
// exactly when ceil(x) - (hysteresis + 1) >= T.
inline constexpr int hysteresisLevels = static_cast<int>(hysteresisFps);
static_assert(static_cast<float>(hysteresisLevels) == hysteresisFps,
              "the tuner compares whole frame rates: the hysteresis must be whole");

// Pairs of one column, by their place in it.
struct PairBits {
    static constexpr int wordBits = 64;
    static constexpr int words = maxColumnPairs / wordBits;
    std::uint64_t word[words] = {0, 0};

    bool any() const { return (word[0] | word[1]) != 0; }
    PairBits operator&(PairBits o) const { return {{word[0] & o.word[0], word[1] & o.word[1]}}; }
    PairBits operator|(PairBits o) const { return {{word[0] | o.word[0], word[1] | o.word[1]}}; }
    PairBits operator~() const { return {{~word[0], ~word[1]}}; }
    // Pairs from .. to-1.
    static PairBits range(int from, int to)
    {
        PairBits bits;
        for (int w = 0; w < words; ++w) {
            const auto below = [w](int n) {
                const int inWord = n - wordBits * w;
                return inWord >= wordBits ? ~0ull : inWord <= 0 ? 0ull : (1ull << inWord) - 1;
            };
            bits.word[w] = below(to) & ~below(from);
        }
        return bits;
    }
    // The lowest k with every pair from k up to `to` in the set.
    int coveredFrom(int to) const
    {
        const PairBits missing = ~*this & range(0, to);
        for (int w = words - 1; w >= 0; --w) {
            if (missing.word[w] != 0) {
                return wordBits * w + wordBits - std::countl_zero(missing.word[w]);
            }
        }
        return 0;
    }
    template <class F> void each(F&& f) const
    {
        for (int w = 0; w < words; ++w) {
            for (std::uint64_t bits = word[w]; bits != 0; bits &= bits - 1) {
                f(static_cast<std::size_t>(wordBits * w + std::countr_zero(bits)));
            }
        }
    }
};

// Eight columns side by side. Sixteen bits hold every figure of a step: levels within
// incomparableLevel, thresholds within gridThresholdBound and places up to maxColumnPairs. Ticks
// need 32 bits: two vectors of four.
inline constexpr std::size_t laneCount = 8;
inline constexpr std::size_t tickLaneCount = laneCount / 2;
using Lanes = std::int16_t __attribute__((vector_size(laneCount * sizeof(std::int16_t))));
using TickLanes = std::uint32_t __attribute__((vector_size(tickLaneCount * sizeof(std::uint32_t))));
using TickMask = decltype(TickLanes{} > 0u);
static_assert(maxColumnPairs < 0x7fff, "a place in a column must fit a lane");
static_assert(incomparableLevel <= 0x7fff, "a level must fit a lane");

inline Lanes lanesOf(int value)
{
    return Lanes{} + static_cast<std::int16_t>(value);
}
inline Lanes lowest(Lanes a, Lanes b)
{
    return a < b ? a : b;
}
inline Lanes highest(Lanes a, Lanes b)
{
    return a > b ? a : b;
}

// One bit a lane, from masks that are all ones where true.
inline std::uint64_t bitsOf(Lanes mask)
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
inline std::uint64_t bitsOf(TickMask mask)
{
#if defined(__SSE2__)
    return static_cast<std::uint64_t>(_mm_movemask_ps(std::bit_cast<__m128>(mask)));
#else
    std::uint64_t bits = 0;
    for (std::size_t l = 0; l < tickLaneCount; ++l) {
        bits |= static_cast<std::uint64_t>(mask[l] != 0) << l;
    }
    return bits;
#endif
}

} // namespace sim
