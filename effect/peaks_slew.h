// "Peaks": five arcsine shapers with allpass diffusers A to D between them.
// "Slew": the sample-to-sample change, scaled by ln 10 and limited.
#pragma once

#include <cmath>
#include <initializer_list>

#include "effect/block_values.h"
#include "effect/diffuser.h"
#include "effect/processing_state.h"
#include "effect/shaping.h"

constexpr double kPeaksOutputScale = 0.63679;      // brings asin(1) back to about 1.0003
constexpr double kSlewGain = 2.302585092994046;    // ln 10

// One shaper on one frame: limit, then arcsine.
inline void peaksShape(long double xL, long double xR, double& l, double& r) noexcept {
    const double argL = arcsineArgument(xL);
    const double argR = arcsineArgument(xR);
    l = std::asin(argL);
    r = std::asin(argR);
}

// The block's four diffusers, with their lengths fixed for the block. Between shapers the
// working samples are the arcsines' doubles.
class PeaksBlock {
public:
    PeaksBlock(ProcessingState& s, const BlockValues& b) noexcept
        : a{s.delayAL, s.delayAR, s.delayIndexA, b.delayLengthA},
          b{s.delayBL, s.delayBR, s.delayIndexB, b.delayLengthB},
          c{s.delayCL, s.delayCR, s.delayIndexC, b.delayLengthC},
          d{s.delayDL, s.delayDR, s.delayIndexD, b.delayLengthD} {}

    void step(long double& sampleL, long double& sampleR) const noexcept {
        double l, r;
        peaksShape(sampleL, sampleR, l, r);
        for (const DelayStage* stage : {&a, &b, &c, &d}) {
            long double xL = l, xR = r;
            diffuserStep(*stage, xL, xR);
            peaksShape(xL, xR, l, r);
        }
        sampleL = l * static_cast<long double>(kPeaksOutputScale);
        sampleR = r * static_cast<long double>(kPeaksOutputScale);
    }

    // Two successive frames, interleaved shaper by shaper: the second frame's diffusers
    // read entries written at least a delay length earlier, never by the first frame, so
    // the frames' arcsine chains are independent. Each diffuser serves the first frame
    // before the second, in frame order.
    void stepPair(long double& sampleL0, long double& sampleR0, long double& sampleL1,
                  long double& sampleR1) const noexcept {
        double l0, r0, l1, r1;
        shapeBoth(sampleL0, sampleR0, sampleL1, sampleR1, l0, r0, l1, r1);
        for (const DelayStage* stage : {&a, &b, &c, &d}) {
            long double xL0 = l0, xR0 = r0, xL1 = l1, xR1 = r1;
            diffuserStep(*stage, xL0, xR0);
            diffuserStep(*stage, xL1, xR1);
            shapeBoth(xL0, xR0, xL1, xR1, l0, r0, l1, r1);
        }
        sampleL0 = l0 * static_cast<long double>(kPeaksOutputScale);
        sampleR0 = r0 * static_cast<long double>(kPeaksOutputScale);
        sampleL1 = l1 * static_cast<long double>(kPeaksOutputScale);
        sampleR1 = r1 * static_cast<long double>(kPeaksOutputScale);
    }

private:
    static void shapeBoth(long double xL0, long double xR0, long double xL1, long double xR1,
                          double& l0, double& r0, double& l1, double& r1) noexcept {
        const double argL0 = arcsineArgument(xL0);
        const double argR0 = arcsineArgument(xR0);
        const double argL1 = arcsineArgument(xL1);
        const double argR1 = arcsineArgument(xR1);
        l0 = std::asin(argL0);
        r0 = std::asin(argR0);
        l1 = std::asin(argL1);
        r1 = std::asin(argR1);
    }

    DelayStage a, b, c, d;
};

// The change since the previous frame, before its limit to ±1: the output stage takes
// that limit on its candidate steps (StereoQuantizer::quantizeUnitLimited), where it
// needs no branch.
inline long double slewChange(double sample, double& previous) noexcept {
    const long double d = (static_cast<long double>(sample) - previous) * kSlewGain;
    previous = sample;
    return d;
}
