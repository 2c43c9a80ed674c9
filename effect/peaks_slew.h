// "Peaks": five arcsine shapers with allpass diffusers A to D between them.
// "Slew": the sample-to-sample change, scaled by ln 10 and limited.
#pragma once

#include <cmath>
#include <utility>

#include "effect/block_values.h"
#include "effect/diffuser.h"
#include "effect/processing_state.h"
#include "effect/shaping.h"

constexpr double kPeaksOutputScale = 0.63679;      // brings asin(1) back to about 1.0003
constexpr double kSlewGain = 2.302585092994046;    // ln 10

// The block's four diffusers, with their lengths fixed for the block. A stretch of frames
// runs shaper by shaper: the arcsines of one shaper are independent of each other, so
// they run back to back, and each diffuser keeps its position in a register for the
// stretch. Its frames stay in order, and no stage reads what a later one writes.
class PeaksBlock {
public:
    PeaksBlock(ProcessingState& s, const BlockValues& b) noexcept
        : a{s.delayAL, s.delayAR, s.delayIndexA, b.delayLengthA},
          b{s.delayBL, s.delayBR, s.delayIndexB, b.delayLengthB},
          c{s.delayCL, s.delayCR, s.delayIndexC, b.delayLengthC},
          d{s.delayDL, s.delayDR, s.delayIndexD, b.delayLengthD} {}

    // One frame's working samples (the guarded inputs) to the first arcsine arguments.
    static void enter(double sampleL, double sampleR, double& argL, double& argR) noexcept {
        argL = arcsineArgument(sampleL);
        argR = arcsineArgument(sampleR);
    }

    // The first four shapers with the diffusers after them, over count frames in place:
    // arcsine arguments in, the last shaper's arguments out.
    void run(double* left, double* right, int32 count) const noexcept {
        arcsines(left, right, count);
        diffuse(a, left, right, count);
        arcsines(left, right, count);
        diffuse(b, left, right, count);
        arcsines(left, right, count);
        diffuse(c, left, right, count);
        arcsines(left, right, count);
        diffuse(d, left, right, count);
    }

    // The last shaper and the output scale of one frame.
    static std::pair<extended, extended> leave(double argL, double argR) noexcept {
        return {libraryResult(std::asin(argL)) * static_cast<extended>(kPeaksOutputScale),
                libraryResult(std::asin(argR)) * static_cast<extended>(kPeaksOutputScale)};
    }

private:
    static void arcsines(double* left, double* right, int32 count) noexcept {
        for (int32 i = 0; i < count; ++i) {
            left[i] = std::asin(left[i]);
            right[i] = std::asin(right[i]);
        }
    }

    // One diffuser over count frames, from the arcsines to the next shaper's arguments.
    static void diffuse(const DelayStage& stage, double* left, double* right,
                        int32 count) noexcept {
        int32 position = stage.position;
        const DelayStage local{stage.lineL, stage.lineR, position, stage.length};
        for (int32 i = 0; i < count; ++i) {
            extended xL = left[i], xR = right[i];
            diffuserStep(local, xL, xR);
            left[i] = arcsineArgument(xL);
            right[i] = arcsineArgument(xR);
        }
        stage.position = position;
    }

    DelayStage a, b, c, d;
};

// The change since the previous frame, before its limit to ±1: the output stage takes
// that limit on its candidate steps (StereoQuantizer::quantizeUnitLimited), where it
// needs no branch.
inline extended slewChange(double sample, double& previous) noexcept {
    const extended d = (static_cast<extended>(sample) - previous) * kSlewGain;
    previous = sample;
    return d;
}
