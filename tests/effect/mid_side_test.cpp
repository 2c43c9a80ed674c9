// "Mono", "Side" and "V Trick": the rearranged channels, before and after the output stage.
#include <gtest/gtest.h>

#include "effect/mid_side.h"
#include "tests/effect/effect_test_util.h"

namespace {

struct Pair {
    long double l, r;
};

Pair monoSide(int32 mode, long double l, long double r) {
    monoSideStep(mode, l, r);
    return {l, r};
}

Pair vTrick(long double l, long double r) {
    vTrickStep(l, r);
    return {l, r};
}

TEST(MidSide, StepValues) {
    Pair p = monoSide(kModeMono, 0.5L, 0.25L);
    EXPECT_EQ(p.l, 0.375L);
    EXPECT_EQ(p.r, 0.375L);
    p = monoSide(kModeSide, 0.5L, 0.25L);
    EXPECT_EQ(p.l, 0.125L);
    EXPECT_EQ(p.r, -0.125L);
    p = monoSide(kModeSide, 0.3L, 0.3L);
    EXPECT_EQ(p.l, 0.0L);
    EXPECT_EQ(p.r, 0.0L);
    p = monoSide(kModeMono, 0.3L, -0.3L);
    EXPECT_EQ(p.l, 0.0L);
    p = vTrick(0.5L, 0.25L);
    EXPECT_EQ(p.l, -0.375L);
    EXPECT_EQ(p.r, 0.375L);
    p = vTrick(0.7L, -0.7L);
    EXPECT_EQ(p.l, 0.0L);
    // No clipping.
    p = monoSide(kModeMono, 1.0L, 1.0L);
    EXPECT_EQ(p.l, 1.0L);
    p = monoSide(kModeSide, 1.0L, -1.0L);
    EXPECT_EQ(p.l, 1.0L);
    EXPECT_EQ(p.r, -1.0L);
}

TEST(MidSide, ThroughTheOutputStage) {
    auto e = testutil::makeEffect();
    e->setParameter(0, testutil::valueFor(kModeMono));
    auto mono = testutil::runConstant<double>(*e, 0.5, 0.25, 64);
    const double step = 1.0 / 8388608.0;
    EXPECT_NEAR(mono.left.back(), 0.375, step);
    EXPECT_NEAR(mono.right.back(), 0.375, step);

    auto v = testutil::makeEffect();
    v->setParameter(0, testutil::valueFor(kModeVTrick));
    auto trick = testutil::runConstant<double>(*v, 0.5, 0.25, 64);
    EXPECT_NEAR(trick.left.back(), -0.375, step);
    EXPECT_NEAR(trick.right.back(), 0.375, step);
}

TEST(MidSide, SideTurnsSilenceIntoASteadyStep) {
    // A tiny negative working value has candidates -1 and +1; a flat history takes +1.
    auto e = testutil::makeEffect();
    e->setParameter(0, testutil::valueFor(kModeSide));
    auto out = testutil::runConstant<float>(*e, 0.0f, 0.0f, 256);
    const double step = 1.0 / 8388608.0;
    for (std::size_t i = 0; i < out.left.size(); ++i) {
        ASSERT_TRUE(out.left[i] == 0.0 || out.left[i] == step) << i;
        ASSERT_TRUE(out.right[i] == 0.0 || out.right[i] == step) << i;
    }
}

}  // namespace
