// "Peaks": five arcsine shapers with allpass diffusers A to D between them.
// "Slew": the sample-to-sample change, scaled by ln 10 and limited.
#pragma once

#include "effect/block_values.h"
#include "effect/diffuser.h"
#include "effect/processing_state.h"
#include "effect/shaping.h"

constexpr double kPeaksOutputScale = 0.63679;      // brings asin(1) back to about 1.0003
constexpr double kSlewGain = 2.302585092994046;    // ln 10

inline void peaksShape(long double& sampleL, long double& sampleR) noexcept {
    sampleL = arcsineOf(unitLimit(sampleL));
    sampleR = arcsineOf(unitLimit(sampleR));
}

inline void peaksStep(ProcessingState& s, const BlockValues& b, long double& sampleL,
                      long double& sampleR) noexcept {
    peaksShape(sampleL, sampleR);
    diffuserStep({s.delayAL, s.delayAR, s.delayIndexA, b.delayLengthA}, sampleL, sampleR);
    peaksShape(sampleL, sampleR);
    diffuserStep({s.delayBL, s.delayBR, s.delayIndexB, b.delayLengthB}, sampleL, sampleR);
    peaksShape(sampleL, sampleR);
    diffuserStep({s.delayCL, s.delayCR, s.delayIndexC, b.delayLengthC}, sampleL, sampleR);
    peaksShape(sampleL, sampleR);
    diffuserStep({s.delayDL, s.delayDR, s.delayIndexD, b.delayLengthD}, sampleL, sampleR);
    peaksShape(sampleL, sampleR);
    sampleL *= kPeaksOutputScale;
    sampleR *= kPeaksOutputScale;
}

inline long double slewOf(long double sample, double& previous) noexcept {
    const long double d = (sample - previous) * kSlewGain;
    previous = static_cast<double>(sample);
    return unitLimit(d);
}

inline void slewStep(ProcessingState& s, long double& sampleL, long double& sampleR) noexcept {
    sampleL = slewOf(sampleL, s.slewPrevL);
    sampleR = slewOf(sampleR, s.slewPrevR);
}
