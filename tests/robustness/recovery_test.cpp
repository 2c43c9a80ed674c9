// After a block of hostile samples every mode is back in its range from the first
// ordinary block on, and no state is left non-finite or stuck.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cstdlib>
#include <limits>
#include <memory>
#include <vector>

#include "vst/vellicor.h"
#include "tests/support/testkit.h"

namespace {

using testkit::valueFor;

constexpr int kBlock = 512;

std::unique_ptr<Vellicor> makeEffect(int mode) {
    std::srand(7);
    auto effect = std::make_unique<Vellicor>(nullptr);
    effect->setSampleRate(48000.0f);
    effect->setParameter(0, valueFor(mode));
    return effect;
}

template <typename Sample>
void process(Vellicor& effect, std::vector<Sample>* in, std::vector<Sample>* out) {
    Sample* inputs[2] = {in[0].data(), in[1].data()};
    Sample* outputs[2] = {out[0].data(), out[1].data()};
    if constexpr (sizeof(Sample) == sizeof(float)) effect.processReplacing(inputs, outputs, kBlock);
    else effect.processDoubleReplacing(inputs, outputs, kBlock);
}

// Some programme, 4096 frames of `hostile` (the left side negated), then `seconds` of
// programme in recoverMode with every block checked. Returns what went wrong, or empty.
template <typename Sample>
std::string hitAndRecover(Vellicor& effect, Sample hostile, int recoverMode, double seconds = 1.0,
                          bool mustMove = true) {
    std::vector<Sample> in[2] = {std::vector<Sample>(kBlock), std::vector<Sample>(kBlock)};
    std::vector<Sample> out[2] = {in[0], in[1]};
    long t = 0;
    for (; t < 4800; t += kBlock) {
        testkit::programme(in[0].data(), in[1].data(), kBlock, t);
        process(effect, in, out);
    }
    std::fill(in[0].begin(), in[0].end(), -hostile);
    std::fill(in[1].begin(), in[1].end(), hostile);
    for (int i = 0; i < 8; ++i) process(effect, in, out);
    effect.setParameter(0, valueFor(recoverMode));
    bool moves = false;
    for (long end = t + static_cast<long>(seconds * 48000); t < end; t += kBlock) {
        testkit::programme(in[0].data(), in[1].data(), kBlock, t);
        process(effect, in, out);
        const std::string bad = testkit::checkRange(recoverMode, in[0].data(), in[1].data(),
                                                    out[0].data(), out[1].data(), kBlock);
        if (!bad.empty()) return "programme at frame " + std::to_string(t) + ", " + bad;
        // A poisoned chain sits on a constant (0 for NaN, the limit for infinity).
        moves = std::count(out[0].begin(), out[0].end(), out[0][0]) < kBlock ||
                std::count(out[1].begin(), out[1].end(), out[1][0]) < kBlock;
    }
    const std::string state = testkit::badState(effect.processingState());
    if (!state.empty()) return "state " + state;
    return mustMove && !moves ? "output stuck after the recovery time" : "";
}

class Recovery : public ::testing::TestWithParam<int> {};

TEST_P(Recovery, FromHostileBlocksInEitherPrecision) {
    const int mode = GetParam();
    for (float h : {std::numeric_limits<float>::quiet_NaN(), INFINITY, 1e30f, FLT_MAX})
        EXPECT_EQ(hitAndRecover<float>(*makeEffect(mode), h, mode), "") << h;
    for (double h : {std::numeric_limits<double>::quiet_NaN(), HUGE_VAL, 1e30, 1e300, DBL_MAX})
        EXPECT_EQ(hitAndRecover<double>(*makeEffect(mode), h, mode), "") << h;
    // "Subs" shares its first stages with the cross-feed side filters and those share
    // delay lines with "Peaks": a state driven to the edge in one mode must not poison
    // another. (The side filters then decay at their own slow rate, for seconds.)
    const bool crossFeed = mode >= kModeCansA && mode <= kModeCansD;
    for (double h : {DBL_MAX, 1e300})
        EXPECT_EQ(hitAndRecover<double>(*makeEffect(kModeSubs), h, mode, 1.0, !crossFeed), "") << h;
}

INSTANTIATE_TEST_SUITE_P(EveryMode, Recovery, ::testing::Range(0, static_cast<int>(kNumModes)));

// Cross-feed driven from the largest side state, "Peaks" through the shared delay lines,
// then the slowest cross-feed mode until its side filter is back to ordinary levels; and
// "Subs" itself, held at the largest double, decays like any other state.
TEST(RecoveryChain, SubsThenCrossFeedThenPeaks) {
    auto effect = makeEffect(kModeSubs);
    ASSERT_EQ(hitAndRecover<double>(*effect, -DBL_MAX, kModeCansD, 0.5, false), "");
    ASSERT_EQ(hitAndRecover<double>(*effect, DBL_MAX, kModePeaks), "");
    effect->setParameter(0, valueFor(kModeSubs));
    ASSERT_EQ(hitAndRecover<double>(*effect, DBL_MAX, kModeCansA, 25.0), "");

    auto subs = makeEffect(kModeSubs);
    ASSERT_EQ(hitAndRecover<double>(*subs, DBL_MAX, kModeSubs, 0.0, false), "");
    EXPECT_EQ(subs->processingState().onePoleL[0], -DBL_MAX);
    EXPECT_EQ(subs->processingState().onePoleR[0], DBL_MAX);
    EXPECT_EQ(hitAndRecover<double>(*subs, 0.25, kModeSubs, 1.0), "");
    EXPECT_LT(std::fabs(subs->processingState().onePoleL[0]), 1.0);
}

}  // namespace
