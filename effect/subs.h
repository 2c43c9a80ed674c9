// "Subs": drive by 1.42, then 26 one-pole low-pass stages with a corner fixed in hertz;
// each of the first 25 stages' states is lifted by a falling gain and limited before
// feeding the next.
#pragma once

#include <cmath>
#include <limits>

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

// Holds any state that left the double range at the largest double (see storedState).
inline void holdStates(double* states) noexcept {
    bool anyInfinite = false;
    for (int32 j = 0; j < kSubsStages; ++j)
        anyInfinite |= std::fabs(states[j]) == std::numeric_limits<double>::infinity();
    if (__builtin_expect(anyInfinite, 0))
        for (int32 j = 0; j < kSubsStages; ++j) states[j] = storedState(states[j]);
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
    void step(double& sampleL, double& sampleR) const noexcept {
        // Locals, so the stores into the states cannot be taken to change them.
        const double k = keep;
        const double a = amount;
        double* const sL = stateL;
        double* const sR = stateR;
        extended xL = static_cast<extended>(sampleL) * kSubsDrive;
        extended xR = static_cast<extended>(sampleR) * kSubsDrive;
#pragma GCC unroll 26
        for (int32 j = 0; j < kSubsStages; ++j) {
            stage(sL, j, k, a, xL);
            stage(sR, j, k, a, xR);
        }
        holdStates(sL);
        holdStates(sR);
        sampleL = lastStageValue(xL);
        sampleR = lastStageValue(xR);
    }

    // Two successive frames, the second one stage behind the first: four independent
    // chains in flight. The second frame reads each state as the first frame's hold
    // would have left it.
    __attribute__((optimize("no-if-conversion", "no-if-conversion2")))
    void stepPair(double& sampleL0, double& sampleR0, double& sampleL1,
                  double& sampleR1) const noexcept {
        const double k = keep;
        const double a = amount;
        double* const sL = stateL;
        double* const sR = stateR;
        extended xL0 = static_cast<extended>(sampleL0) * kSubsDrive;
        extended xR0 = static_cast<extended>(sampleR0) * kSubsDrive;
        extended xL1 = static_cast<extended>(sampleL1) * kSubsDrive;
        extended xR1 = static_cast<extended>(sampleR1) * kSubsDrive;
        stage(sL, 0, k, a, xL0);
        stage(sR, 0, k, a, xR0);
#pragma GCC unroll 26
        for (int32 j = 1; j < kSubsStages; ++j) {
            stage(sL, j, k, a, xL0);
            stage(sR, j, k, a, xR0);
            stage(sL, j - 1, k, a, xL1, heldState);
            stage(sR, j - 1, k, a, xR1, heldState);
        }
        stage(sL, kSubsStages - 1, k, a, xL1, heldState);
        stage(sR, kSubsStages - 1, k, a, xR1, heldState);
        holdStates(sL);
        holdStates(sR);
        sampleL0 = lastStageValue(xL0);
        sampleR0 = lastStageValue(xR0);
        sampleL1 = lastStageValue(xL1);
        sampleR1 = lastStageValue(xR1);
    }

private:
    // The last stage passes on its stored state, limited: a double, so the working
    // samples leave as doubles.
    static double lastStageValue(extended x) noexcept { return static_cast<double>(x); }
    static double asStored(double state) noexcept { return state; }
    static double heldState(double state) noexcept {
        if (__builtin_expect(std::fabs(state) == std::numeric_limits<double>::infinity(), 0))
            return storedState(state);
        return state;
    }

    // Stage j: the state is rounded to double by storing it, and the stage passes on what
    // was stored, so the chain makes one trip through memory per stage. A state past the
    // double range passes on the same ±1 after the limit as its held value would, so the
    // hold itself is left to holdStates, off the chain.
    template <typename ReadState = double (*)(double)>
    __attribute__((always_inline)) static void stage(double* s, int32 j, double k, double a,
                                                     extended& x,
                                                     ReadState read = asStored) noexcept {
        s[j] = static_cast<double>(read(s[j]) * k + a * x);
        x = j < kSubsStages - 1 ? unitLimit(s[j] * static_cast<extended>(kSubsStageGain[j]))
                                : unitLimit(static_cast<extended>(s[j]));
    }

private:
    double* stateL;
    double* stateR;
    double keep;
    double amount;
};
