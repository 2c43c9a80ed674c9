// "Cans A" to "Cans D": each channel mixed into the other at a reduced level, with the
// lowest frequencies taken out of the side signal before and after. Borrows diffusers A
// and D and the first "Subs" state of each channel.
#pragma once

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

inline bool isCrossFeedMode(int32 mode) noexcept { return mode >= kModeCansA && mode <= kModeCansD; }

void setCrossFeedBlockValues(BlockValues& b) noexcept;

// Stores and advances like the diffuser, but passes its input through (apart from half
// the stored rounding) while the position is in range.
inline void crossFeedStage(DelayStage stage, long double& inL, long double& inR) noexcept {
    const int32 n = stage.length;
    const int32 p = nextDelayPosition(stage.position, n);
    const int32 i = stage.position;
    const long double tL = inL + (-0.5 * stage.lineL[p]);
    stage.lineL[i] = static_cast<double>(tL);
    long double outL = tL * 0.5L;
    const long double tR = inR + (-0.5 * stage.lineR[p]);
    stage.lineR[i] = static_cast<double>(tR);
    long double outR = tR * 0.5L;
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

    void step(long double& sampleL, long double& sampleR) const noexcept {
        sampleL = sampleL * gains.input;
        sampleR = sampleR * gains.input;
        const long double sL = sineOf(sampleL);
        const long double sR = sineOf(sampleR);

        const long double mid = sL + sR;
        long double side = sL - sR;
        firstSide = storedState(firstSide * firstSideKeep +
                                (side * sideCoefficient) * kFirstSideShare);
        side = side - firstSide;

        long double yL = (mid + side) * 0.5L;
        long double yR = (mid - side) * 0.5L;
        crossFeedStage(a, yL, yR);
        yL = yL * gains.cross;
        yR = yR * gains.cross;
        long double zL = yL;
        long double zR = yR;
        crossFeedStage(d, zL, zR);

        const long double newL = (yR + sL) + zR * 0.25L;
        const long double newR = (yL + sR) + zL * 0.25L;
        const long double mid2 = newL + newR;
        long double side2 = newL - newR;
        secondSide = storedState(secondSide * secondSideKeep + side2 * sideCoefficient);
        side2 = side2 - secondSide;

        sampleL = arcsineOf(unitLimit((mid2 + side2) * 0.5L));
        sampleR = arcsineOf(unitLimit((mid2 - side2) * 0.5L));
    }

private:
    DelayStage a, d;
    double& firstSide;
    double& secondSide;
    CansGains gains;
    double sideCoefficient;
    long double firstSideKeep;
    long double secondSideKeep;
};
