// The resonant band-pass of "Vinyl", "Aurat", "MonoRat", "MonoLat" and "Phone":
// optional mono fold, sine, band-pass (transposed direct form), unit limit, arcsine.
#pragma once

#include <cstdint>
#include <cstring>
#include <utility>

#include "effect/monitor_mode.h"
#include "effect/shaping.h"

struct BandPass {
    extended frequency;  // centre as a fraction of the sample rate
    extended resonance;
    extended a0;
    extended a1;  // the band-pass has no such term; stays zero
    extended a2;
    extended b1;  // carries double precision only
    extended b2;
    extended state1L;
    extended state2L;
    extended state1R;
    extended state2R;
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
inline extended filter(extended x, extended& state1, extended& state2,
                          const BandPass& bp) noexcept {
    const extended xa0 = x * bp.a0;
    const extended y = xa0 + state1;
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
        const double m = sineArgument((static_cast<extended>(sampleL) + sampleR) * 0.5);
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

// The band-pass modes run a stretch of frames in three passes: the sines of every frame,
// then the filters over the whole stretch, then the arcsines. The library calls need no
// filter state, so the filter pass keeps its states in registers from frame to frame
// instead of storing them around every call.

// Pass 1: the working samples of one frame (the guarded inputs) to the filter inputs.
template <BandFold fold>
inline void bandPassSines(double sampleL, double sampleR, double& xL, double& xR) noexcept {
    using namespace band_pass_detail;
    double argL, argR;
    sineArguments<fold>(sampleL, sampleR, argL, argR);
    sines<fold>(argL, argR, xL, xR);
}

namespace band_pass_detail {
// The same bits: equal values may still differ in the sign of a zero.
inline bool sameBits(double a, double b) noexcept { return std::memcmp(&a, &b, 8) == 0; }
}  // namespace band_pass_detail

// Pass 2: both filters over count frames, in place: the sines in, the limited filter
// outputs out, rounded to double for the arcsine.
//
// Two shortcuts give the same bits. When both channels carry the same input (the fold to
// both) and the filters hold the same states, as they do from the start and once they
// have met, one filter runs and its results serve both. A silenced channel's filter, fed
// +0.0, that a step leaves exactly where it was (as it is once it has died away) stays
// there, giving the same output every frame.
template <BandFold fold>
inline void bandPassFilters(BandPass& bp, double* left, double* right, int32 count) noexcept {
    using band_pass_detail::filter;
    extended state1L = bp.state1L, state2L = bp.state2L;
    extended state1R = bp.state1R, state2R = bp.state2R;
    constexpr bool oneSilenced = fold == BandFold::toLeft || fold == BandFold::toRight;
    // With one channel silenced: the live channel's samples and states, and the other's.
    constexpr bool leftLive = fold != BandFold::toRight;
    double* const liveSamples = leftLive ? left : right;
    double* const stillSamples = leftLive ? right : left;
    extended& live1 = leftLive ? state1L : state1R;
    extended& live2 = leftLive ? state2L : state2R;
    const extended still1 = leftLive ? state1R : state1L;
    const extended still2 = leftLive ? state2R : state2L;
    bool silencedAtRest = false;
    double stillOutput = 0.0;
    if constexpr (oneSilenced) {
        extended next1 = still1, next2 = still2;
        stillOutput = arcsineArgument(filter(0.0, next1, next2, bp));
        silencedAtRest = sameExtendedBits(next1, still1) && sameExtendedBits(next2, still2);
    }
    if (fold == BandFold::toBoth && sameExtendedBits(state1L, state1R) && sameExtendedBits(state2L, state2R)) {
        for (int32 i = 0; i < count; ++i)
            left[i] = right[i] = arcsineArgument(filter(left[i], state1L, state2L, bp));
        state1R = state1L;
        state2R = state2L;
    } else if (silencedAtRest) {
        for (int32 i = 0; i < count; ++i) {
            liveSamples[i] = arcsineArgument(filter(liveSamples[i], live1, live2, bp));
            stillSamples[i] = stillOutput;
        }
    } else {
        for (int32 i = 0; i < count; ++i) {
            const extended yL = filter(left[i], state1L, state2L, bp);
            const extended yR = filter(right[i], state1R, state2R, bp);
            left[i] = arcsineArgument(yL);
            right[i] = arcsineArgument(yR);
        }
    }
    bp.state1L = state1L;
    bp.state2L = state2L;
    bp.state1R = state1R;
    bp.state2R = state2R;
}

// Pass 3: one frame's limited filter outputs to its new working samples; the same bits
// on both channels take one arcsine.
template <BandFold fold>
inline void bandPassArcsines(double& sampleL, double& sampleR) noexcept {
    using namespace band_pass_detail;
    if (fold == BandFold::toBoth && sameBits(sampleL, sampleR)) {
        sampleL = sampleR = arcsineOutput<fold, true>(sampleL);
        return;
    }
    sampleL = arcsineOutput<fold, true>(sampleL);
    sampleR = arcsineOutput<fold, false>(sampleR);
}

// The three passes of one fold, as the stretch loop takes them.
template <BandFold fold>
struct BandPassPasses {
    BandPass& bp;
    static void enter(double sampleL, double sampleR, double& xL, double& xR) noexcept {
        bandPassSines<fold>(sampleL, sampleR, xL, xR);
    }
    void run(double* left, double* right, int32 count) const noexcept {
        bandPassFilters<fold>(bp, left, right, count);
    }
    static std::pair<double, double> leave(double argL, double argR) noexcept {
        bandPassArcsines<fold>(argL, argR);
        return {argL, argR};
    }
};
