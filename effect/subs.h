// "Subs": drive by 1.42, then 26 one-pole low-pass stages with a corner fixed in hertz;
// each of the first 25 stages' states is lifted by a falling gain and limited before
// feeding the next.
#pragma once

#include "effect/block_values.h"
#include "effect/processing_state.h"
#include "effect/shaping.h"

constexpr int32 kSubsStages = 26;
constexpr double kSubsDrive = 1.42;
constexpr double kSubsAmountAtReference = 0.05102040816326531;  // 1/19.6, to the nearest double

// g(j) = 1 + 0.315 × 0.75^j, nearest doubles; the last stage has no gain.
constexpr double kSubsStageGain[kSubsStages - 1] = {
    1.315,              1.23625,            1.1771875,          1.132890625,
    1.09966796875,      1.0747509765625,    1.056063232421875,  1.0420474243164062,
    1.0315355682373046, 1.0236516761779786, 1.017738757133484,  1.0133040678501128,
    1.0099780508875846, 1.0074835381656886, 1.0056126536242664, 1.0042094902181997,
    1.0031571176636498, 1.0023678382477375, 1.001775878685803,  1.0013319090143522,
    1.0009989317607642, 1.0007491988205732, 1.00056189911543,   1.0004214243365723,
    1.0003160682524292,
};

void setSubsBlockValues(BlockValues& b) noexcept;

// One low-pass update: the stored state is rounded to double.
inline double onePoleUpdate(double state, double keep, double amount, long double x) noexcept {
    return storedState(state * keep + amount * x);
}

// The block's chain. The channels do not interact, so their stages are interleaved and the
// two dependency chains, each latency-bound, overlap.
class SubsBlock {
public:
    SubsBlock(ProcessingState& s, const BlockValues& b) noexcept
        : stateL(s.onePoleL), stateR(s.onePoleR), keep(b.subsKeep), amount(b.subsAmount) {}

    // Branches rather than conditional moves for the limits: they rarely trigger, and a
    // predicted branch keeps the limit off the dependency chain.
    __attribute__((optimize("no-if-conversion", "no-if-conversion2")))
    void step(long double& sampleL, long double& sampleR) const noexcept {
        // Locals, so the stores into the states cannot be taken to change them.
        const double k = keep;
        const double a = amount;
        double* const sL = stateL;
        double* const sR = stateR;
        long double xL = sampleL * kSubsDrive;
        long double xR = sampleR * kSubsDrive;
        // The value passed on is taken from the plain narrowing; where that is infinite
        // the held state would pass on the same ±1 after the limit, so the hold is
        // applied to the stored state only, beside the chain.
#pragma GCC unroll 26
        for (int32 j = 0; j < kSubsStages; ++j) {
            const double nextL = static_cast<double>(sL[j] * k + a * xL);
            const double nextR = static_cast<double>(sR[j] * k + a * xR);
            sL[j] = storedState(nextL);
            sR[j] = storedState(nextR);
            if (j < kSubsStages - 1) {
                xL = unitLimit(nextL * static_cast<long double>(kSubsStageGain[j]));
                xR = unitLimit(nextR * static_cast<long double>(kSubsStageGain[j]));
            } else {
                xL = unitLimit(nextL);
                xR = unitLimit(nextR);
            }
        }
        sampleL = xL;
        sampleR = xR;
    }

private:
    double* stateL;
    double* stateR;
    double keep;
    double amount;
};
