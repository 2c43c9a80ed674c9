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
inline long double filter(long double x, long double& state1, long double& state2,
                          const BandPass& bp) noexcept {
    const long double y = x * bp.a0 + state1;
    state1 = (-y) * bp.b1 + state2;
    state2 = x * bp.a2 - y * bp.b2;
    return y;
}
}  // namespace band_pass_detail

// Which channels the band-pass modes fold to mono before filtering.
enum class BandFold { none, toRight, toLeft, toBoth };

constexpr BandFold bandFoldOf(int32 mode) noexcept {
    return mode == kModeMonoRat   ? BandFold::toRight
           : mode == kModeMonoLat ? BandFold::toLeft
           : mode == kModePhone   ? BandFold::toBoth
                                  : BandFold::none;
}

template <BandFold fold>
inline void bandPassStep(BandPass& bp, long double& sampleL, long double& sampleR) noexcept {
    long double xL;
    long double xR;
    if constexpr (fold == BandFold::none) {
        xL = sineOf(sampleL);
        xR = sineOf(sampleR);
    } else {
        const long double m = (sampleL + sampleR) * 0.5L;
        // The silenced channel's input is +0.0, whose sine is +0.0.
        xL = fold == BandFold::toRight ? 0.0L : sineOf(m);
        xR = fold == BandFold::toLeft ? 0.0L : fold == BandFold::toBoth ? xL : sineOf(m);
    }
    const long double yL = band_pass_detail::filter(xL, bp.state1L, bp.state2L, bp);
    const long double yR = band_pass_detail::filter(xR, bp.state1R, bp.state2R, bp);
    sampleL = arcsineOf(unitLimit(yL));
    sampleR = arcsineOf(unitLimit(yR));
}
