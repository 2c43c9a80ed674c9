// The output stage every mode ends in: quantize to whole steps and choose between the two
// neighbouring steps by which continues the channel's own recent output trend better.
// No random dither.
#pragma once

#include <cmath>
#include <cstdint>

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

// Average change per frame over the last n frames, summed term by term in float.
inline float historySlope(const float* h, int32 n) noexcept {
    float sum = 0.0f;
    for (int32 k = 0; k < n; ++k) sum += h[k + 1] - h[k];
    return sum / static_cast<float>(n);
}

// x is the working sample in steps; h the channel's history (newest first), n the trend
// length. Returns the chosen step and records it in the history.
inline int32 quantizeByTrend(long double x, float* h, int32 n) noexcept {
    const int32 lower = saturateToInt32(static_cast<double>(std::floor(x)));
    const int32 upper = saturateToInt32(static_cast<double>(std::floor(x + 1.0L)));
    const float slope = historySlope(h, n);
    const float errLower = std::fabs((h[0] - static_cast<float>(lower)) - slope);
    const float errUpper = std::fabs((h[0] - static_cast<float>(upper)) - slope);
    const int32 chosen = errLower < errUpper ? lower : upper;
    for (int32 k = n; k >= 0; --k) h[k + 1] = h[k];
    h[0] = static_cast<float>(chosen);
    return chosen;
}
