// "Mono", "Side" and "V Trick": the channels rearranged, no filtering, no limit.
#pragma once

#include "effect/floating_point.h"
#include "effect/monitor_mode.h"

// The sum of two doubles when it is itself a double; false when it is not, or overflows.
// Two-sum: the rounding error of a + b, computed exactly in double, is zero just when the
// double sum is the exact one.
inline bool exactDoubleSum(double a, double b, double& sum) noexcept {
    sum = a + b;
    const double bPart = sum - a;
    const double error = (a - (sum - bPart)) + (b - bPart);
    return error == 0.0;
}

// "Mono": (L + R) / 2 on both. "Side": (L - R) / 2 on the left, its negative on the right.
inline void monoSideStep(int32 mode, extended& sampleL, extended& sampleR) noexcept {
    extended mid = 0.0;
    extended side = 0.0;
    if (mode == kModeMono) mid = sampleL + sampleR;
    else side = sampleL - sampleR;
    sampleL = (mid + side) * 0.5;
    sampleR = (mid - side) * 0.5;
}

// The mid signal with the left output inverted.
inline void vTrickStep(extended& sampleL, extended& sampleR) noexcept {
    const extended s = (sampleL + sampleR) * 0.5;
    sampleL = -s;
    sampleR = s;
}

// The three modes in double when the sum or difference of the two channels is itself a
// double, as it is for most programme (all float programme within 2^29 of level between
// the channels): the working samples then stay exact doubles, halving cannot reach the
// subnormal range from guarded input, and the results are those of the extended steps.
// Returns false, changing nothing, when the extended steps are needed.
inline bool midSideInDoubles(int32 mode, double& sampleL, double& sampleR) noexcept {
    double sum;
    if (mode == kModeSide) {
        if (!exactDoubleSum(sampleL, -sampleR, sum)) return false;
        sampleL = sum * 0.5;
        sampleR = -sum * 0.5;
        return true;
    }
    if (!exactDoubleSum(sampleL, sampleR, sum)) return false;
    sampleR = sum * 0.5;
    sampleL = mode == kModeVTrick ? -sampleR : sampleR;
    return true;
}
