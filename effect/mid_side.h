// "Mono", "Side" and "V Trick": the channels rearranged, no filtering, no limit.
#pragma once

#include "effect/monitor_mode.h"

// "Mono": (L + R) / 2 on both. "Side": (L - R) / 2 on the left, its negative on the right.
inline void monoSideStep(int32 mode, long double& sampleL, long double& sampleR) noexcept {
    long double mid = 0.0L;
    long double side = 0.0L;
    if (mode == kModeMono) mid = sampleL + sampleR;
    else side = sampleL - sampleR;
    sampleL = (mid + side) * 0.5L;
    sampleR = (mid - side) * 0.5L;
}

// The mid signal with the left output inverted.
inline void vTrickStep(long double& sampleL, long double& sampleR) noexcept {
    const long double s = (sampleL + sampleR) * 0.5L;
    sampleL = -s;
    sampleR = s;
}
