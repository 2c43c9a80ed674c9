// "Subs": block values, settling, the first output and large inputs.
#include <gtest/gtest.h>

#include <cmath>

#include "effect/block_values.h"
#include "effect/monitor_mode.h"
#include "tests/effect/tone_measure.h"

namespace {

using testutil::makeEffect;
using testutil::valueFor;

TEST(Subs, BlockValuesKeepTheCornerInHertz) {
    const BlockValues at44 = computeBlockValues(44100.0f, 0.0f);
    EXPECT_EQ(at44.subsAmount, 0.05102040816326531);
    EXPECT_EQ(at44.subsKeep, 0.9489795918367347);
    const BlockValues at48 = computeBlockValues(48000.0f, 0.0f);
    EXPECT_EQ(at48.subsAmount, 0.046875);
    EXPECT_EQ(at48.subsKeep, 0.953125);
    EXPECT_EQ(computeBlockValues(88200.0f, 0.0f).subsAmount, at44.subsAmount / 2);
}

TEST(Subs, FirstOutputOfASuddenInputIsTiny) {
    auto e = makeEffect();
    e->setParameter(0, valueFor(kModeSubs));
    testutil::runConstant<double>(*e, 0.5, 0.5, 1);
    double gains = 1.42;
    const double g[25] = {1.315, 1.23625, 1.1771875, 1.132890625, 1.09966796875, 1.0747509765625,
                          1.056063232421875, 1.0420474243164062, 1.0315355682373046,
                          1.0236516761779786, 1.017738757133484, 1.0133040678501128,
                          1.0099780508875846, 1.0074835381656886, 1.0056126536242664,
                          1.0042094902181997, 1.0031571176636498, 1.0023678382477375,
                          1.001775878685803, 1.0013319090143522, 1.0009989317607642,
                          1.0007491988205732, 1.00056189911543, 1.0004214243365723,
                          1.0003160682524292};
    for (double gain : g) gains *= gain;
    const double expected = 0.5 * gains * std::pow(0.05102040816326531, 26);
    EXPECT_NEAR(e->processingState().onePoleL[25] / expected, 1.0, 1e-9);
    EXPECT_NEAR(expected, 5.7e-34, 0.1e-34);
}

TEST(Subs, ConstantSettlesAtTheUnitLimit) {
    auto e = makeEffect();
    e->setParameter(0, valueFor(kModeSubs));
    auto out = testutil::runConstant<double>(*e, 0.3, -0.3, 88200);
    EXPECT_EQ(e->processingState().onePoleL[25], 0.9999999999999991);
    EXPECT_NEAR(out.left.back(), 1.0, 1.0 / 8388608.0);
    EXPECT_NEAR(out.right.back(), -1.0, 1.0 / 8388608.0);
}

TEST(Subs, InputFarAboveFullScaleIsNotLimitedBeforeTheFirstStage) {
    auto e = makeEffect();
    e->setParameter(0, valueFor(kModeSubs));
    auto out = testutil::runConstant<double>(*e, 10.0, 10.0, 44100);
    EXPECT_NEAR(e->processingState().onePoleL[0], 14.2, 1e-6);
    for (double v : out.left) ASSERT_LE(std::fabs(v), 1.0 + 1.0 / 8388608.0);
}

TEST(Subs, LowsPassHighsDoNot) {
    const auto low = testutil::toneGain(kModeSubs, 48000.0, 20.0, 0.01, true);
    const auto high = testutil::toneGain(kModeSubs, 48000.0, 1000.0, 0.01, true);
    EXPECT_GT(low.left, 0.1);
    EXPECT_LT(testutil::dB(high.left), -100.0);
}

}  // namespace
