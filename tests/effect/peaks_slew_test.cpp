// "Peaks" and "Slew".
#include <gtest/gtest.h>

#include <cmath>

#include "effect/monitor_mode.h"
#include "tests/effect/tone_measure.h"

namespace {

using testutil::makeEffect;
using testutil::valueFor;
constexpr double kStep = 1.0 / 8388608.0;

TEST(Peaks, SmallImpulseGivesTheDiffusedGainNowAndItsFirstEchoAfter149Samples) {
    auto e = makeEffect();
    e->setParameter(0, valueFor(kModePeaks));
    std::vector<double> impulse(400, 0.0);
    impulse[0] = 0.01;
    auto out = testutil::run<double>(*e, impulse, impulse);
    const double gain = 0.5 * 0.5 * 0.5 * 0.5 * 0.63679;
    EXPECT_NEAR(out.left[0], 0.01 * gain, 2 * kStep);
    EXPECT_NEAR(out.right[0], 0.01 * gain, 2 * kStep);
    double before = 0.0;
    for (int i = 1; i < 149; ++i) before = std::max(before, std::fabs(out.left[i]));
    EXPECT_LT(before, 4 * kStep) << "nothing between the impulse and diffuser A's echo";
    EXPECT_GT(std::fabs(out.left[149]), 100 * kStep);
}

TEST(Peaks, FullScaleConstantsSettleAtArcsineOfOneScaled) {
    auto e = makeEffect();
    e->setParameter(0, valueFor(kModePeaks));
    auto out = testutil::runConstant<double>(*e, 2.0, -3.0, 6000);
    const double settled = std::asin(1.0) * 0.63679;
    EXPECT_NEAR(out.left.back(), settled, 2 * kStep);
    EXPECT_NEAR(out.right.back(), -settled, 2 * kStep);
}

TEST(Slew, StepsAndConstants) {
    auto e = makeEffect();
    e->setParameter(0, valueFor(kModeSlew));
    // The first sample after construction is the input times ln 10, limited.
    auto first = testutil::runConstant<double>(*e, 0.1, 0.9, 1);
    EXPECT_NEAR(first.left[0], 0.1 * 2.302585092994046, kStep);
    EXPECT_NEAR(first.right[0], 1.0, kStep);
    auto constant = testutil::runConstant<double>(*e, 0.1, 0.9, 50);
    EXPECT_LE(std::fabs(constant.left[10]), kStep);

    std::vector<double> stepL(10, 0.0), stepR(10, 0.0);
    for (int i = 5; i < 10; ++i) {
        stepL[i] = 0.1;
        stepR[i] = -0.5;  // larger than 1/ln 10: limited
    }
    auto fresh = makeEffect();
    fresh->setParameter(0, valueFor(kModeSlew));
    auto out = testutil::run<double>(*fresh, stepL, stepR);
    EXPECT_NEAR(out.left[5], 0.2302585092994046, kStep);
    EXPECT_NEAR(out.right[5], -1.0, kStep);
    EXPECT_LE(std::fabs(out.left[7]), kStep);
}

TEST(Peaks, ShrinkingTheRateBringsPositionsBackIntoTheShorterLines) {
    auto e = makeEffect();
    e->setParameter(0, valueFor(kModePeaks));
    e->setSampleRate(96000.0f);
    testutil::runConstant<double>(*e, 0.1, 0.1, 100);  // positions now well above 48 kHz lengths
    const int32 before = e->processingState().delayIndexD;
    ASSERT_GT(before, 242);
    e->setSampleRate(48000.0f);
    testutil::runConstant<double>(*e, 0.1, 0.1, 1);
    EXPECT_EQ(e->processingState().delayIndexD, 242);
    EXPECT_EQ(e->processingState().delayIndexA, 162);
    auto out = testutil::runConstant<double>(*e, 0.1, 0.1, 3000);
    EXPECT_LE(e->processingState().delayIndexD, 242);
    EXPECT_TRUE(std::isfinite(out.left.back()));
}

}  // namespace
