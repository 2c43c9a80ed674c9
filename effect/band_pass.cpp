#include "effect/band_pass.h"

#include <cmath>

namespace {
constexpr double kPi = 3.141592653589793;

struct Band {
    double centre;  // × rateScale: the centre as a fraction of 44.1 kHz
    double resonance;
};
constexpr Band kDefaultBand{0.0375, 0.1575};  // "Aurat", "MonoRat", "MonoLat"
constexpr Band kVinylBand{0.0385, 0.0825};
constexpr Band kPhoneBand{0.1245, 0.46};
}  // namespace

void updateBandPass(BandPass& bp, double rateScale, int32 mode) noexcept {
    Band band = kDefaultBand;
    if (mode == kModeVinyl) band = kVinylBand;
    else if (mode == kModePhone) band = kPhoneBand;

    double frequency = band.centre / rateScale;
    if (frequency > kHighestBandPassCentre) frequency = kHighestBandPassCentre;
    bp.frequency = frequency;
    bp.resonance = band.resonance;

    const double K = std::tan(static_cast<double>(static_cast<extended>(kPi) * bp.frequency));
    const double KK = K * K;
    const extended KQ = K / bp.resonance;
    const double norm = static_cast<double>(1.0 / ((KQ + 1.0) + KK));
    bp.a0 = KQ * norm;
    bp.a2 = -bp.a0;
    bp.b1 = 2.0 * (KK - 1.0) * norm;
    bp.b2 = norm * (KK + (1.0 - KQ));
}
