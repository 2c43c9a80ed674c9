// The resonant band-pass of "Vinyl", "Aurat", "MonoRat", "MonoLat" and "Phone":
// optional mono fold, sine, band-pass (transposed direct form), unit limit, arcsine.
#pragma once

#include <cstdint>

#include "effect/monitor_mode.h"
#include "effect/shaping.h"

struct BandPass {
    long double frequency;  // centre as a fraction of the sample rate
    long double resonance;
    long double a0;
    long double a1;  // the band-pass has no such term; stays zero
    long double a2;
    long double b1;  // carries double precision only
    long double b2;
    long double state1L;
    long double state2L;
    long double state1R;
    long double state2R;
};

// Highest centre, as a fraction of the sample rate, the filter is set to. At very low
// sample rates the fixed centres would reach half the rate and the states would grow
// without bound.
constexpr double kHighestBandPassCentre = 0.49;

// Weights for the block; run every block whatever the mode.
void updateBandPass(BandPass& bp, double rateScale, int32 mode) noexcept;

namespace band_pass_detail {
// Transposed direct form. a2 is -a0, and x × (-a0) is exactly -(x × a0), so the product
// is formed once; b1 holds a double, so it is read as one.
inline long double filter(long double x, long double& state1, long double& state2,
                          const BandPass& bp) noexcept {
    const long double xa0 = x * bp.a0;
    const long double y = xa0 + state1;
    state1 = (-y) * static_cast<double>(bp.b1) + state2;
    state2 = -xa0 - y * bp.b2;
    return y;
}
}  // namespace band_pass_detail

// Which channels the band-pass modes fold to mono before filtering.
enum class BandFold { none, toRight, toLeft, toBoth };

namespace band_pass_detail {
// The sine arguments of one frame after its fold; a silenced channel's input is +0.0,
// whose sine is +0.0, and needs no call.
template <BandFold fold>
inline void sineArguments(double sampleL, double sampleR, double& argL,
                          double& argR) noexcept {
    if constexpr (fold == BandFold::none) {
        argL = sineArgument(sampleL);
        argR = sineArgument(sampleR);
    } else {
        const double m = sineArgument((static_cast<long double>(sampleL) + sampleR) * 0.5L);
        argL = fold == BandFold::toRight ? 0.0 : m;
        argR = fold == BandFold::toLeft ? 0.0 : m;
    }
}

// The arcsine of one channel's filter output. A silenced channel's filter dies away to
// zero, whose arcsine (of either sign) is itself and needs no call.
template <BandFold fold, bool left>
inline double arcsineOutput(double arg) noexcept {
    constexpr bool silenced = left ? fold == BandFold::toRight : fold == BandFold::toLeft;
    if (silenced && arg == 0.0) return arg;
    return std::asin(arg);
}

template <BandFold fold>
inline void sines(double argL, double argR, double& xL, double& xR) noexcept {
    xL = fold == BandFold::toRight ? 0.0 : std::sin(argL);
    xR = fold == BandFold::toLeft ? 0.0 : fold == BandFold::toBoth ? xL : std::sin(argR);
}
}  // namespace band_pass_detail

// The working samples enter as the guarded inputs and leave as the arcsines, all doubles.
template <BandFold fold>
inline void bandPassStep(BandPass& bp, double& sampleL, double& sampleR) noexcept {
    using namespace band_pass_detail;
    double argL, argR, xL, xR;
    sineArguments<fold>(sampleL, sampleR, argL, argR);
    sines<fold>(argL, argR, xL, xR);
    const double yL = arcsineArgument(filter(xL, bp.state1L, bp.state2L, bp));
    const double yR = arcsineArgument(filter(xR, bp.state1R, bp.state2R, bp));
    sampleL = arcsineOutput<fold, true>(yL);
    sampleR = arcsineOutput<fold, false>(yR);
}

// Two successive frames: the sines and arcsines of both frames are independent of each
// other; only the filters run frame after frame.
template <BandFold fold>
inline void bandPassStepPair(BandPass& bp, double& sampleL0, double& sampleR0,
                             double& sampleL1, double& sampleR1) noexcept {
    using namespace band_pass_detail;
    double argL0, argR0, argL1, argR1, xL0, xR0, xL1, xR1;
    sineArguments<fold>(sampleL0, sampleR0, argL0, argR0);
    sineArguments<fold>(sampleL1, sampleR1, argL1, argR1);
    sines<fold>(argL0, argR0, xL0, xR0);
    sines<fold>(argL1, argR1, xL1, xR1);
    const double yL0 = arcsineArgument(filter(xL0, bp.state1L, bp.state2L, bp));
    const double yR0 = arcsineArgument(filter(xR0, bp.state1R, bp.state2R, bp));
    const double yL1 = arcsineArgument(filter(xL1, bp.state1L, bp.state2L, bp));
    const double yR1 = arcsineArgument(filter(xR1, bp.state1R, bp.state2R, bp));
    sampleL0 = arcsineOutput<fold, true>(yL0);
    sampleR0 = arcsineOutput<fold, false>(yR0);
    sampleL1 = arcsineOutput<fold, true>(yL1);
    sampleR1 = arcsineOutput<fold, false>(yR1);
}

// The band-pass step of one fold, as the paired frame loop takes it.
template <BandFold fold>
struct BandPassFrames {
    BandPass& bp;
    void step(double& l, double& r) const noexcept { bandPassStep<fold>(bp, l, r); }
    void stepPair(double& l0, double& r0, double& l1, double& r1) const noexcept {
        bandPassStepPair<fold>(bp, l0, r0, l1, r1);
    }
};
