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

// The block's four diffusers, with their lengths fixed for the block.
class PeaksBlock {
public:
    PeaksBlock(ProcessingState& s, const BlockValues& b) noexcept
        : a{s.delayAL, s.delayAR, s.delayIndexA, b.delayLengthA},
          b{s.delayBL, s.delayBR, s.delayIndexB, b.delayLengthB},
          c{s.delayCL, s.delayCR, s.delayIndexC, b.delayLengthC},
          d{s.delayDL, s.delayDR, s.delayIndexD, b.delayLengthD} {}

    void step(long double& sampleL, long double& sampleR) const noexcept {
        peaksShape(sampleL, sampleR);
        diffuserStep(a, sampleL, sampleR);
        peaksShape(sampleL, sampleR);
        diffuserStep(b, sampleL, sampleR);
        peaksShape(sampleL, sampleR);
        diffuserStep(c, sampleL, sampleR);
        peaksShape(sampleL, sampleR);
        diffuserStep(d, sampleL, sampleR);
        peaksShape(sampleL, sampleR);
        sampleL *= kPeaksOutputScale;
        sampleR *= kPeaksOutputScale;
    }

private:
    DelayStage a, b, c, d;
};

inline long double slewOf(long double sample, double& previous) noexcept {
    const long double d = (sample - previous) * kSlewGain;
    previous = static_cast<double>(sample);
    return unitLimit(d);
}

inline void slewStep(ProcessingState& s, long double& sampleL, long double& sampleR) noexcept {
    sampleL = slewOf(sampleL, s.slewPrevL);
    sampleR = slewOf(sampleR, s.slewPrevR);
}
