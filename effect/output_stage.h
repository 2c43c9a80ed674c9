// The output stage every mode ends in: quantize to whole steps and choose between the two
// neighbouring steps by which continues the channel's own recent output trend better.
// No random dither.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "effect/block_values.h"

using int32 = std::int32_t;

constexpr long double kStepsPer24Bit = 8388608.0L;  // 2^23
constexpr long double kStepsPer16Bit = 32768.0L;    // 2^15

// Saturating conversion of a whole number to int32. NaN becomes 0: as the most negative
// step it would sit on the output as a -256.0 level.
inline int32 saturateToInt32(double whole) noexcept {
    if (std::isnan(whole)) return 0;
    if (whole >= 2147483648.0) return INT32_MAX;
    if (whole < -2147483648.0) return INT32_MIN;
    return static_cast<int32>(whole);
}

namespace output_stage_detail {

// floor(x) for x within the int32 range, without touching the x87 control word: adding
// 1.5 × 2^63 leaves no fraction bits, so the sum rounds x to the nearest whole number
// exactly; one less where that went up. The correction is a flag, not a branch: for audio
// it goes either way at random. Needs the x87's 64-bit precision, which is the default.
__attribute__((always_inline)) inline int32 floorToInt32(long double x) noexcept {
    constexpr long double kRoundingBias = 13835058055282163712.0L;  // 1.5 × 2^63
    const long double nearest = (x + kRoundingBias) - kRoundingBias;
    return static_cast<int32>(static_cast<double>(nearest)) - static_cast<int32>(nearest > x);
}

}  // namespace output_stage_detail

// The two candidate steps around x: floor(x) and floor(x + 1), both saturated.
struct StepPair {
    int32 lower;
    int32 upper;
};

__attribute__((always_inline)) inline StepPair stepsAround(long double x) noexcept {
    using output_stage_detail::floorToInt32;
    // Inside this range both floors are whole numbers that fit an int32 exactly.
    if (x >= -2147483648.0L && x < 2147483646.0L) return {floorToInt32(x), floorToInt32(x + 1.0L)};
    return {saturateToInt32(static_cast<double>(std::floor(x))),
            saturateToInt32(static_cast<double>(std::floor(x + 1.0L)))};
}

// Average change per frame over the last n frames, summed term by term in float.
inline float historySlope(const float* h, int32 n) noexcept {
    float sum = 0.0f;
    for (int32 k = 0; k < n; ++k) sum += h[k + 1] - h[k];
    return sum / static_cast<float>(n);
}

// A whole number of steps whose float and every difference of two such floats are exact,
// so a term-by-term sum of differences telescopes exactly.
inline bool isTelescopingSafe(int32 steps) noexcept {
    return steps >= -8388608 && steps <= 8388608;  // ±2^23
}

// One channel's trend quantizer over a stretch of frames with one trend length n. The
// history (entry 0 newest) lives in a window sliding down a local buffer, so recording a
// step is one store instead of a shift of n + 1 entries; the first n + 2 entries are
// copied in and back out, the only ones a frame reads or writes. Entries past n + 1 keep
// whatever an earlier, longer trend left there, as a longer trend later must see them.
// While the newest n + 1 entries are all within ±2^23 steps the slope is the exact
// difference of the window's ends, the float the term-by-term sum yields.
class TrendQuantizer {
public:
    static constexpr int32 kStretch = 512;  // frames per stretch

    TrendQuantizer(float* history, int32 n) noexcept : history(history), n(n) {
        window = buffer + kStretch;
        std::memcpy(window, history, sizeof(float) * (n + 2));
        // The float of a history entry is a whole number; an entry past ±2^23 compares
        // the same as its int32, since both bounds are exact floats.
        cleanRun = 0;
        while (cleanRun <= n + 1 && std::fabs(window[cleanRun]) <= 8388608.0f) ++cleanRun;
    }

    // Writes the history back; call after at most kStretch frames.
    void finish() noexcept { std::memcpy(history, window, sizeof(float) * (n + 2)); }

    // Chooses the step for x (the working sample in steps) and records it.
    __attribute__((always_inline)) int32 quantize(long double x) noexcept {
        const StepPair steps = stepsAround(x);
        const float newest = window[0];
        const float slope = cleanRun > n ? (window[n] - newest) / static_cast<float>(n)
                                         : historySlope(window, n);
        const float errLower = std::fabs((newest - static_cast<float>(steps.lower)) - slope);
        const float errUpper = std::fabs((newest - static_cast<float>(steps.upper)) - slope);
        const int32 chosen = errLower < errUpper ? steps.lower : steps.upper;
        *--window = static_cast<float>(chosen);
        cleanRun = isTelescopingSafe(chosen) ? cleanRun + 1 : 0;
        return chosen;
    }

private:
    float buffer[kStretch + kOutHistorySize];
    float* window;
    float* history;
    int32 n;
    int32 cleanRun;  // how many of the newest entries are within ±2^23
};
