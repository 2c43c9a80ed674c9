// After a block of hostile samples every mode is back in its range from the first
// ordinary block on, and no state is left non-finite or stuck.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cstdlib>
#include <limits>
#include <memory>
#include <vector>

#include "tests/robustness/robustness_util.h"

namespace {

using robust::valueFor;

constexpr int kBlock = 512;

std::unique_ptr<Vellicor> makeEffect(int mode) {
    std::srand(7);
    auto effect = std::make_unique<Vellicor>(nullptr);
    effect->setSampleRate(48000.0f);
    effect->setParameter(0, valueFor(mode));
    return effect;
}

template <typename Sample>
void process(Vellicor& effect, std::vector<Sample>& inL, std::vector<Sample>& inR,
             std::vector<Sample>& outL, std::vector<Sample>& outR) {
    Sample* inputs[2] = {inL.data(), inR.data()};
    Sample* outputs[2] = {outL.data(), outR.data()};
    const auto frames = static_cast<int32>(inL.size());
    if constexpr (sizeof(Sample) == sizeof(float))
        effect.processReplacing(inputs, outputs, frames);
    else
        effect.processDoubleReplacing(inputs, outputs, frames);
}

// Feeds one block of `hostile` (both channels, the left one negated), then `seconds` of
// programme in `recoverMode`, checking every programme block. Returns the failures.
template <typename Sample>
std::string hitAndRecover(Vellicor& effect, Sample hostile, int recoverMode, double seconds = 1.0,
                          bool mustMove = true) {
    std::vector<Sample> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
    long t = 0;
    for (; t < 4800; t += kBlock) {  // some ordinary history first
        robust::programme(inL.data(), inR.data(), kBlock, t);
        process(effect, inL, inR, outL, outR);
    }
    for (int i = 0; i < 8; ++i) {  // 4096 frames: enough for every filter to settle on it
        std::fill(inL.begin(), inL.end(), -hostile);
        std::fill(inR.begin(), inR.end(), hostile);
        process(effect, inL, inR, outL, outR);
    }
    effect.setParameter(0, valueFor(recoverMode));
    bool leftVaries = false, rightVaries = false;
    for (long end = t + static_cast<long>(seconds * 48000); t < end; t += kBlock) {
        robust::programme(inL.data(), inR.data(), kBlock, t);
        process(effect, inL, inR, outL, outR);
        const std::string bad =
            robust::checkRange(recoverMode, inL.data(), inR.data(), outL.data(), outR.data(), kBlock);
        if (!bad.empty()) return "programme block at " + std::to_string(t) + ", " + bad;
        leftVaries = rightVaries = false;
        for (int i = 1; i < kBlock; ++i) {
            leftVaries = leftVaries || outL[i] != outL[0];
            rightVaries = rightVaries || outR[i] != outR[0];
        }
    }
    const std::string state = robust::nonFiniteState(effect);
    if (!state.empty()) return "non-finite state " + state;
    // A poisoned chain sits on a constant (0 for NaN, the limit for infinity).
    if (mustMove && !leftVaries && !rightVaries) return "output stuck after the recovery time";
    return {};
}

class Recovery : public ::testing::TestWithParam<int> {};

TEST_P(Recovery, SinglePrecisionHostileBlocks) {
    const int mode = GetParam();
    const float hostile[] = {std::numeric_limits<float>::quiet_NaN(), INFINITY, 1e30f, FLT_MAX};
    for (float h : hostile) {
        auto effect = makeEffect(mode);
        EXPECT_EQ(hitAndRecover<float>(*effect, h, mode), "") << "hostile value " << h;
    }
}

TEST_P(Recovery, DoublePrecisionHostileBlocks) {
    const int mode = GetParam();
    const double hostile[] = {std::numeric_limits<double>::quiet_NaN(), HUGE_VAL, 1e30, 1e300,
                              DBL_MAX};
    for (double h : hostile) {
        auto effect = makeEffect(mode);
        EXPECT_EQ(hitAndRecover<double>(*effect, h, mode), "") << "hostile value " << h;
    }
}

// "Subs" shares its first stages with the cross-feed side filters, and the cross-feed
// stages share delay lines with "Peaks": a state driven to the edge in one mode must not
// poison another. (The cross-feed side filters decay from there at their own slow rate,
// for seconds; the chain test below waits for that.)
TEST_P(Recovery, AfterSubsDrivenToTheLargestDouble) {
    const int mode = GetParam();
    for (double h : {DBL_MAX, 1e300}) {
        auto effect = makeEffect(kModeSubs);
        EXPECT_EQ(hitAndRecover<double>(*effect, h, mode, 1.0, !(mode >= kModeCansA && mode <= kModeCansD)), "")
            << "hostile value " << h;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryMode, Recovery, ::testing::Range(0, static_cast<int>(kNumModes)),
                         [](const ::testing::TestParamInfo<int>& info) {
                             std::string name = monitorModeName(info.param);
                             name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
                             return name;
                         });

// A cross-feed mode first driven from the largest side state, then "Peaks" through the
// shared delay lines, then the slowest cross-feed mode until its side filter has decayed
// back to ordinary levels.
TEST(RecoveryChain, SubsThenCrossFeedThenPeaks) {
    auto effect = makeEffect(kModeSubs);
    ASSERT_EQ(hitAndRecover<double>(*effect, -DBL_MAX, kModeCansD, 0.5, false), "");
    ASSERT_EQ(hitAndRecover<double>(*effect, DBL_MAX, kModePeaks), "");
    effect->setParameter(0, valueFor(kModeSubs));
    ASSERT_EQ(hitAndRecover<double>(*effect, DBL_MAX, kModeCansA, 25.0), "");
}

// The largest finite state decays like any other: "Subs" itself is off its limit well
// within a second.
TEST(RecoveryChain, SubsStateHeldAtTheLargestDouble) {
    auto effect = makeEffect(kModeSubs);
    ASSERT_EQ(hitAndRecover<double>(*effect, DBL_MAX, kModeSubs, 0.0, false), "");
    EXPECT_EQ(effect->processingState().onePoleL[0], -DBL_MAX);
    EXPECT_EQ(effect->processingState().onePoleR[0], DBL_MAX);
    EXPECT_EQ(hitAndRecover<double>(*effect, 0.25, kModeSubs, 1.0), "");
    EXPECT_LT(std::fabs(effect->processingState().onePoleL[0]), 1.0);
}

}  // namespace
