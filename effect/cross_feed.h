// "Cans A" to "Cans D": each channel mixed into the other at a reduced level, with the
// lowest frequencies taken out of the side signal before and after. Borrows diffusers A
// and D and the first "Subs" state of each channel.
#pragma once

#include <utility>

#include "effect/block_values.h"
#include "effect/diffuser.h"
#include "effect/monitor_mode.h"
#include "effect/processing_state.h"
#include "effect/shaping.h"

struct CansGains {
    double input;
    double cross;
};

constexpr CansGains kCansGains[4] = {
    {0.855, 0.125},  // "Cans A"
    {0.748, 0.25},   // "Cans B"
    {0.713, 0.3},    // "Cans C"
    {0.68, 0.35},    // "Cans D"
};

constexpr double kFirstSideShare = 0.618;  // the first side filter's share of the coefficient

void setCrossFeedBlockValues(BlockValues& b) noexcept;

// Stores and advances like the diffuser, but passes its input through (apart from half
// the stored rounding) while the position is in range.
inline void crossFeedStage(DelayStage stage, extended& inL, extended& inR) noexcept {
    const int32 n = stage.length;
    const int32 p = nextDelayPosition(stage.position, n);
    const int32 i = stage.position;
    const extended tL = inL + (-0.5 * stage.lineL[p]);
    stage.lineL[i] = static_cast<double>(tL);
    extended outL = tL * 0.5;
    const extended tR = inR + (-0.5 * stage.lineR[p]);
    stage.lineR[i] = static_cast<double>(tR);
    extended outR = tR * 0.5;
    stage.position = p;
    outL = outL + 0.5 * stage.lineL[p];
    outR = outR + 0.5 * stage.lineR[p];
    const int32 next = p == n ? 0 : p + 1;
    inL = outL + 0.5 * stage.lineL[next];
    inR = outR + 0.5 * stage.lineR[next];
}

// The chain with the block's gains, lengths and side filter weights.
class CrossFeedBlock {
public:
    CrossFeedBlock(ProcessingState& s, const BlockValues& b) noexcept
        : a{s.delayAL, s.delayAR, s.delayIndexA, b.delayLengthA},
          d{s.delayDL, s.delayDR, s.delayIndexD, b.delayLengthD},
          firstSide(s.onePoleL[0]),
          secondSide(s.onePoleR[0]),
          gains(kCansGains[b.mode - kModeCansA]),
          sideCoefficient(b.sideCoefficient),
          firstSideKeep(b.firstSideKeep),
          secondSideKeep(b.secondSideKeep) {}

    // The chain runs a stretch of frames in three passes, as the band-pass modes do: the
    // sines, then the mixing with its filters and delay stages, then the arcsines.

    // Pass 1: one frame's working samples (the guarded inputs) to its two sines.
    void enter(double sampleL, double sampleR, double& sL, double& sR) const noexcept {
        const double argL = sineArgument(sampleL * static_cast<extended>(gains.input));
        const double argR = sineArgument(sampleR * static_cast<extended>(gains.input));
        sL = std::sin(argL);
        sR = std::sin(argR);
    }

    // Pass 2: the mixing over count frames, in place: sines in, arcsine arguments out.
    void run(double* left, double* right, int32 count) const noexcept {
        double first = firstSide, second = secondSide;
        for (int32 i = 0; i < count; ++i) mix(left[i], right[i], first, second);
        firstSide = first;
        secondSide = second;
    }

    // Pass 3: one frame's arcsine arguments to its new working samples.
    static std::pair<double, double> leave(double argL, double argR) noexcept {
        return {std::asin(argL), std::asin(argR)};
    }

private:
    // From the two sines to the two arcsine arguments, in place: side filter, the two
    // delay stages, the cross-mix, the second side filter and the unit limit.
    void mix(double& left, double& right, double& firstState, double& secondState) const noexcept {
        const double sL = left, sR = right;
        const extended mid = static_cast<extended>(sL) + sR;
        extended side = static_cast<extended>(sL) - sR;
        firstState = storedState(firstState * firstSideKeep +
                                (side * sideCoefficient) * kFirstSideShare);
        side = side - firstState;

        extended yL = (mid + side) * 0.5;
        extended yR = (mid - side) * 0.5;
        crossFeedStage(a, yL, yR);
        yL = yL * gains.cross;
        yR = yR * gains.cross;
        extended zL = yL;
        extended zR = yR;
        crossFeedStage(d, zL, zR);

        const extended newL = (yR + sL) + zR * 0.25;
        const extended newR = (yL + sR) + zL * 0.25;
        const extended mid2 = newL + newR;
        extended side2 = newL - newR;
        secondState = storedState(secondState * secondSideKeep + side2 * sideCoefficient);
        side2 = side2 - secondState;

        left = arcsineArgument((mid2 + side2) * 0.5);
        right = arcsineArgument((mid2 - side2) * 0.5);
    }

    DelayStage a, d;
    double& firstSide;
    double& secondSide;
    CansGains gains;
    double sideCoefficient;
    extended firstSideKeep;
    extended secondSideKeep;
};
