// The output stage every mode ends in: quantize to whole steps and choose between the two
// neighbouring steps by which continues the channel's own recent output trend better.
// No random dither.
#pragma once

#include <cmath>
#include <cstdint>

#include "effect/block_values.h"
#include "effect/floating_point.h"

using int32 = std::int32_t;

constexpr extended kStepsPer24Bit = 8388608.0;  // 2^23
constexpr extended kStepsPer16Bit = 32768.0;    // 2^15

// Saturating conversion of a whole number to int32. NaN becomes 0: as the most negative
// step it would sit on the output as a -256.0 level.
inline int32 saturateToInt32(double whole) noexcept {
    if (std::isnan(whole)) return 0;
    if (whole >= 2147483648.0) return INT32_MAX;
    if (whole < -2147483648.0) return INT32_MIN;
    return static_cast<int32>(whole);
}

namespace output_stage_detail {

// floor(x) for x within the int32 range, without changing the rounding mode: adding 1.5
// times the power of two whose unit in the last place is 1 leaves no fraction bits, so the
// sum rounds x to the nearest whole number exactly; one less where that went up. The
// correction is a flag, not a branch: for audio it goes either way at random. Needs the
// extended type's full precision and rounding to nearest, which the processing sets.
__attribute__((always_inline)) inline int32 floorToInt32(extended x) noexcept {
    constexpr extended kRoundingBias = static_cast<extended>(3ULL << (kExtendedDigits - 2));
    const extended nearest = (x + kRoundingBias) - kRoundingBias;
    return static_cast<int32>(static_cast<double>(nearest)) - static_cast<int32>(nearest > x);
}

}  // namespace output_stage_detail

// The two candidate steps around x: floor(x) and floor(x + 1), both saturated.
struct StepPair {
    int32 lower;
    int32 upper;
};

__attribute__((always_inline)) inline StepPair stepsAround(extended x) noexcept {
    using output_stage_detail::floorToInt32;
    // Inside this range both floors are whole numbers that fit an int32 exactly.
    if (x >= -2147483648.0 && x < 2147483646.0) return {floorToInt32(x), floorToInt32(x + 1.0)};
    return {saturateToInt32(static_cast<double>(std::floor(x))),
            saturateToInt32(static_cast<double>(std::floor(x + 1.0)))};
}

// Whole numbers of steps all within a span of 2^24 have exact floats, and so do all their
// differences, so a term-by-term sum of differences among them telescopes exactly. Two
// such spans are watched: -2^23 .. 2^23, and one step higher, which a value limited to ±1
// fills (its candidates reach from -2^23 to 2^23 + 1).
constexpr int32 kTelescopingLimit = 8388608;  // 2^23

// The lowest whole number of span 0 (-2^23 .. 2^23) and of span 1, one step higher.
constexpr int32 telescopingSpanLowest(int span) noexcept {
    return span == 0 ? -kTelescopingLimit : 1 - kTelescopingLimit;
}

// Whether a history entry lies within a span. Entries are whole numbers as floats, and the
// bounds are exact floats, so an entry outside compares the same as its int32.
inline bool inTelescopingSpan(float entry, int span) noexcept {
    const int32 lowest = telescopingSpanLowest(span);
    return entry >= static_cast<float>(lowest) &&
           entry <= static_cast<float>(lowest + 2 * kTelescopingLimit);
}
