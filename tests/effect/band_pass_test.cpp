// The band-pass modes: weights, centres that stay put in hertz, DC, the mono folds.
#include <gtest/gtest.h>

#include <cmath>

#include "effect/band_pass.h"
#include "effect/monitor_mode.h"
#include "tests/effect/tone_measure.h"

namespace {

using testutil::toneGain;

TEST(BandPass, WeightsAt44100) {
    BandPass aurat{};
    updateBandPass(aurat, 1.0, kModeAurat);
    EXPECT_NEAR(std::tan(3.141592653589793 * 0.0375), 0.1183577996, 1e-10);
    EXPECT_NEAR(static_cast<double>(aurat.a0), 0.4256492611, 1e-10);
    EXPECT_EQ(aurat.a2, -aurat.a0);
    EXPECT_NEAR(static_cast<double>(aurat.b1), -1.1169627646, 1e-10);
    EXPECT_NEAR(static_cast<double>(aurat.b2), 0.1487014779, 1e-10);
    EXPECT_EQ(aurat.a1, 0.0L);
    BandPass vinyl{};
    updateBandPass(vinyl, 1.0, kModeVinyl);
    EXPECT_NEAR(static_cast<double>(vinyl.b2), -0.1842794253, 1e-10);
}

TEST(BandPass, CentreStaysBelowHalfTheRateAtVeryLowRates) {
    BandPass bp{};
    updateBandPass(bp, 2000.0 * 2.2675736961451248e-05, kModePhone);
    EXPECT_EQ(bp.frequency, static_cast<long double>(0.49));
    updateBandPass(bp, 1.0, kModePhone);
    EXPECT_EQ(bp.frequency, static_cast<long double>(0.1245 / 1.0));
    // The filter stays bounded there.
    auto e = testutil::makeEffect();
    e->setParameter(0, testutil::valueFor(kModePhone));
    e->setSampleRate(4000.0f);
    auto out = testutil::runConstant<double>(*e, 0.5, -0.25, 40000);
    for (double v : out.left) ASSERT_TRUE(std::isfinite(v) && std::fabs(v) <= 1.6);
}

struct Centre {
    int mode;
    double hertz;
};

TEST(BandPass, EachModePeaksAtItsCentreAtEveryRate) {
    const Centre centres[] = {{kModeVinyl, 1697.85}, {kModeAurat, 1653.75}, {kModePhone, 5490.45}};
    for (const Centre& c : centres) {
        for (double rate : {44100.0, 48000.0, 96000.0}) {
            const auto atCentre = toneGain(c.mode, rate, c.hertz, 0.01, true);
            EXPECT_NEAR(testutil::dB(atCentre.left), 0.0, 0.05) << c.mode << " at " << rate;
            EXPECT_NEAR(testutil::dB(atCentre.right), 0.0, 0.05) << c.mode << " at " << rate;
            // The bands are wide: the peak shows close by, the skirts far away.
            EXPECT_LT(toneGain(c.mode, rate, c.hertz * 0.7, 0.01, true).left, atCentre.left);
            EXPECT_LT(toneGain(c.mode, rate, c.hertz * 1.4, 0.01, true).left, atCentre.left);
            EXPECT_LT(toneGain(c.mode, rate, c.hertz / 20.0, 0.01, true).left, atCentre.left * 0.6);
        }
    }
}

TEST(BandPass, DirectCurrentSettlesToZero) {
    for (int mode = kModeVinyl; mode <= kModePhone; ++mode) {
        auto e = testutil::makeEffect();
        e->setParameter(0, testutil::valueFor(mode));
        auto out = testutil::runConstant<double>(*e, 0.5, 0.5, 44100);
        EXPECT_LE(std::fabs(out.left.back()), 2.0 / 8388608.0) << mode;
        EXPECT_LE(std::fabs(out.right.back()), 2.0 / 8388608.0) << mode;
    }
}

TEST(BandPass, MonoFoldsSilenceOneSideAndItsStatesDieAway) {
    // After "Aurat" has filled both filters, "MonoRat" keeps only the right output.
    auto e = testutil::makeEffect();
    e->setParameter(0, testutil::valueFor(kModeAurat));
    const auto tone = testutil::sine(1653.75, 44100.0, 0.3, 4410);
    testutil::run<double>(*e, tone, tone);
    e->setParameter(0, testutil::valueFor(kModeMonoRat));
    auto out = testutil::run<double>(*e, tone, tone);
    EXPECT_GT(std::fabs(out.left[0]), 1e-3) << "the silenced filter rings on";
    EXPECT_LE(std::fabs(out.left.back()), 1.0 / 8388608.0);
    EXPECT_GT(testutil::amplitudeAt(out.right, 2205, 1653.75, 44100.0), 0.25);

    const auto lat = toneGain(kModeMonoLat, 44100.0, 1653.75, 0.01, false);
    EXPECT_NEAR(lat.left, 0.5, 0.01) << "the mono sum of a tone on one side";
    EXPECT_LT(lat.right, 1e-4);
}

TEST(BandPass, SwitchingBetweenBandsKeepsTheFilterStates) {
    auto e = testutil::makeEffect();
    e->setParameter(0, testutil::valueFor(kModeVinyl));
    testutil::run<double>(*e, testutil::sine(1000.0, 44100.0, 0.5, 1000),
                          testutil::sine(1200.0, 44100.0, 0.5, 1000));
    const BandPass before = e->processingState().bandPass;
    e->setParameter(0, testutil::valueFor(kModeOut24));
    testutil::runConstant<double>(*e, 0.2, 0.2, 500);
    const BandPass after = e->processingState().bandPass;
    EXPECT_EQ(after.state1L, before.state1L);
    EXPECT_EQ(after.state2R, before.state2R);
    EXPECT_NE(before.state1L, 0.0L);
}

}  // namespace
