// The block frame and output stage: silence, quantization steps and trend rounding,
// block values, in-place and precision, and the guards against hostile hosts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

#include "effect/block_values.h"
#include "effect/output_stage.h"
#include "tests/effect/effect_test_util.h"

namespace {

using testutil::makeEffect;
using testutil::runConstant;
using testutil::valueFor;

constexpr double kStep16 = 1.0 / 32768.0;
constexpr double kStep24 = 1.0 / 8388608.0;
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

TEST(OutputStage, DigitalSilenceGivesExactZeroInBothPrecisions) {
    auto e = makeEffect();
    auto f = runConstant<float>(*e, 0.0f, 0.0f, 3000);
    auto d = runConstant<double>(*e, 0.0, 0.0, 3000);
    for (std::size_t i = 0; i < 3000; ++i) {
        ASSERT_EQ(f.left[i], 0.0);
        ASSERT_EQ(f.right[i], 0.0);
        ASSERT_EQ(d.left[i], 0.0);
        ASSERT_EQ(d.right[i], 0.0);
    }
}

TEST(OutputStage, Out16ConstantHalfSettlesOneStepUp) {
    auto e = makeEffect();
    e->setParameter(0, valueFor(1));
    auto out = runConstant<float>(*e, 0.5f, 0.5f, 200);
    EXPECT_EQ(out.left[0], 0.5);
    for (std::size_t i = 1; i < out.left.size(); ++i) ASSERT_EQ(out.left[i], 0.500030517578125) << i;
    EXPECT_EQ(out.right, out.left);
}

TEST(OutputStage, Out16RampFollowsItsOwnTrend) {
    auto e = makeEffect();
    e->setParameter(0, valueFor(1));
    std::vector<float> ramp(20);
    for (int i = 0; i < 20; ++i) ramp[i] = static_cast<float>(i * 0.375 / 32768.0);
    auto out = testutil::run<float>(*e, ramp, ramp);
    const int steps[20] = {0, 0, 0, 1, 1, 1, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 6, 6, 6, 7};
    for (int i = 0; i < 20; ++i) EXPECT_EQ(out.left[i], steps[i] * kStep16) << "frame " << i;
}

TEST(OutputStage, FullScaleAndBeyondIsNotClipped) {
    auto e = makeEffect();
    auto out = runConstant<float>(*e, 1.5f, -1.5f, 50);
    for (double v : out.left) EXPECT_TRUE(v == 1.5 || v == 1.5 + kStep24) << v;
    for (double v : out.right) EXPECT_TRUE(v == -1.5 || v == -1.5 + kStep24) << v;
}

TEST(OutputStage, SaturatesAtTheStepRangeAndMapsNaNToZero) {
    EXPECT_EQ(saturateToInt32(std::nan("")), 0);
    EXPECT_EQ(saturateToInt32(2147483648.0), INT32_MAX);
    EXPECT_EQ(saturateToInt32(-2147483649.0), INT32_MIN);
    EXPECT_EQ(saturateToInt32(-2147483648.0), INT32_MIN);
    auto e = makeEffect();
    auto out = runConstant<double>(*e, 1e6, -1e6, 4);
    EXPECT_EQ(out.left[3], INT32_MAX * kStep24);
    EXPECT_EQ(out.right[3], INT32_MIN * kStep24);
}

struct RateRow {
    float rate;
    double rateScale;
    int32 trend, a, b, c, d;
};

TEST(BlockValues, MatchTheReferenceTable) {
    const RateRow rows[] = {
        {4000.0f, 0.09070294784580499, 3, 13, 16, 17, 20},
        {44100.0f, 1.0, 17, 149, 179, 191, 223},
        {48000.0f, 1.08843537414966, 18, 162, 194, 207, 242},
        {96000.0f, 2.17687074829932, 37, 324, 389, 415, 485},
        {192000.0f, 4.35374149659864, 74, 648, 779, 831, 970},
    };
    for (const RateRow& r : rows) {
        const BlockValues b = computeBlockValues(r.rate, 0.0f);
        EXPECT_NEAR(b.rateScale, r.rateScale, 1e-14) << r.rate;
        EXPECT_EQ(b.trendLength, r.trend) << r.rate;
        EXPECT_EQ(b.delayLengthA, r.a) << r.rate;
        EXPECT_EQ(b.delayLengthB, r.b) << r.rate;
        EXPECT_EQ(b.delayLengthC, r.c) << r.rate;
        EXPECT_EQ(b.delayLengthD, r.d) << r.rate;
    }
    EXPECT_EQ(computeBlockValues(44100.0f, 0.0f).rateScale, 1.0);
    EXPECT_EQ(computeBlockValues(7700.0f, 0.0f).trendLength, 3);
    EXPECT_EQ(computeBlockValues(260000.0f, 0.0f).trendLength, 98);
}

TEST(BlockValues, AbsurdSampleRatesRunAtASafeRate) {
    const BlockValues reference = computeBlockValues(44100.0f, 0.0f);
    for (float bad : {0.0f, -48000.0f, kNaN, kInf, -kInf}) {
        const BlockValues b = computeBlockValues(bad, 0.0f);
        EXPECT_EQ(b.rateScale, reference.rateScale) << bad;
        EXPECT_EQ(b.delayLengthD, reference.delayLengthD) << bad;
    }
    EXPECT_EQ(computeBlockValues(1.0f, 0.0f).rateScale, computeBlockValues(2000.0f, 0.0f).rateScale);
    // Lengths never point past the delay lines, whatever the rate.
    for (float huge : {400000.0f, 1e9f, 3.4e38f}) {
        const BlockValues b = computeBlockValues(huge, 0.0f);
        EXPECT_EQ(b.delayLengthD, kLastDelayPosition) << huge;
        EXPECT_LE(b.delayLengthA, kLastDelayPosition) << huge;
        EXPECT_EQ(b.trendLength, kLongestTrend) << huge;
    }
    EXPECT_EQ(computeBlockValues(400000.0f, 0.0f).delayLengthA, 1351);
}

TEST(Processing, ZeroFramesChangesNothingYetInPlaceMatchesSeparateBuffers) {
    auto a = makeEffect(7);
    auto b = makeEffect(7);
    a->setParameter(0, valueFor(2));
    b->setParameter(0, valueFor(2));
    float dummy = 0.25f;
    float* none[2] = {&dummy, &dummy};
    a->processReplacing(none, none, 0);
    a->processReplacing(none, none, -5);
    EXPECT_EQ(dummy, 0.25f);
    // Only the block's band-pass weights are set; no per-sample state moves.
    const ProcessingState& sa = a->processingState();
    const ProcessingState& sb = b->processingState();
    const std::size_t from = offsetof(ProcessingState, outHistoryL);
    EXPECT_EQ(std::memcmp(reinterpret_cast<const char*>(&sa) + from,
                          reinterpret_cast<const char*>(&sb) + from, sizeof(ProcessingState) - from), 0);
    EXPECT_EQ(sa.bandPass.state1L, sb.bandPass.state1L);
    EXPECT_EQ(sa.bandPass.state2R, sb.bandPass.state2R);

    std::vector<float> l(777), r(777);
    for (int i = 0; i < 777; ++i) {
        l[i] = std::sin(i * 0.05f) * 0.7f;
        r[i] = std::cos(i * 0.031f) * 0.4f;
    }
    auto separate = testutil::run<float>(*a, l, r);
    float* io[2] = {l.data(), r.data()};
    b->processReplacing(io, io, 777);
    for (int i = 0; i < 777; ++i) {
        ASSERT_EQ(l[i], static_cast<float>(separate.left[i])) << i;
        ASSERT_EQ(r[i], static_cast<float>(separate.right[i])) << i;
    }
}

TEST(Processing, SingleAndDoubleDifferOnlyByTheFinalRounding) {
    for (int mode = 0; mode < kNumModes; ++mode) {
        auto a = makeEffect(3);
        auto b = makeEffect(3);
        a->setParameter(0, valueFor(mode));
        b->setParameter(0, valueFor(mode));
        std::vector<float> lf(2048), rf(2048);
        for (int i = 0; i < 2048; ++i) {
            lf[i] = std::sin(i * 0.013f) * 0.9f + 0.01f;
            rf[i] = std::sin(i * 0.029f + 1.0f) * 0.5f - 0.02f;
        }
        auto f = testutil::run<float>(*a, lf, rf);
        auto d = testutil::run<double>(*b, std::vector<double>(lf.begin(), lf.end()),
                                       std::vector<double>(rf.begin(), rf.end()));
        for (int i = 0; i < 2048; ++i) {
            ASSERT_EQ(f.left[i], static_cast<double>(static_cast<float>(d.left[i]))) << mode;
            ASSERT_EQ(f.right[i], static_cast<double>(static_cast<float>(d.right[i]))) << mode;
        }
    }
}

TEST(Processing, TinyInputIsReplacedByNoiseOnlyInSinglePrecision) {
    auto a = makeEffect(5);
    auto b = makeEffect(5);
    a->setParameter(0, valueFor(4));  // "Subs" keeps what it was fed in its states
    b->setParameter(0, valueFor(4));
    runConstant<float>(*a, 1e-40f, 1e-40f, 1);
    runConstant<double>(*b, 1e-40, 1e-40, 1);
    EXPECT_GT(a->processingState().onePoleL[0], 1e-30) << "replaced by noise";
    EXPECT_NEAR(b->processingState().onePoleL[0], 1e-40 * 1.42 * 0.05102040816326531, 1e-52);
}

TEST(HostileInput, NonFiniteSamplesDoNotPoisonAnyMode) {
    for (int mode = 0; mode < kNumModes; ++mode) {
        auto e = makeEffect();
        e->setParameter(0, valueFor(mode));
        for (float bad : {kNaN, kInf, -kInf}) runConstant<float>(*e, bad, bad, 600);
        auto out = runConstant<float>(*e, 0.25f, -0.25f, 4000);
        for (std::size_t i = 0; i < out.left.size(); ++i) {
            ASSERT_TRUE(std::isfinite(out.left[i]) && std::fabs(out.left[i]) < 2.0) << mode;
            ASSERT_TRUE(std::isfinite(out.right[i]) && std::fabs(out.right[i]) < 2.0) << mode;
        }
        if (mode == 0) {
            EXPECT_NEAR(out.left.back(), 0.25, kStep24);
            EXPECT_NEAR(out.right.back(), -0.25, kStep24);
        }
    }
}

TEST(HostileInput, ZeroRateThenANormalRateProcessesNormally) {
    auto a = makeEffect(11);
    auto b = makeEffect(11);
    for (auto* e : {a.get(), b.get()}) e->setParameter(0, valueFor(12));
    a->setSampleRate(0.0f);
    b->setSampleRate(44100.0f);
    auto zeroRate = runConstant<float>(*a, 0.3f, 0.1f, 300);
    auto normal = runConstant<float>(*b, 0.3f, 0.1f, 300);
    EXPECT_EQ(zeroRate.left, normal.left);
    EXPECT_EQ(a->getSampleRate(), 0.0f) << "the stored rate is the host's";
    a->setSampleRate(48000.0f);
    b->setSampleRate(48000.0f);
    EXPECT_EQ(runConstant<float>(*a, 0.2f, 0.3f, 500).right,
              runConstant<float>(*b, 0.2f, 0.3f, 500).right);
}

TEST(HostileInput, UnrepresentableModeProcessesAsOut24) {
    for (float v : {kNaN, 3e38f, -3e38f, 2.0f}) {
        auto a = makeEffect(9);
        auto b = makeEffect(9);
        a->setParameter(0, v);
        auto out = runConstant<float>(*a, 0.123f, -0.456f, 100);
        auto ref = runConstant<float>(*b, 0.123f, -0.456f, 100);
        EXPECT_EQ(out.left, ref.left) << v;
        EXPECT_EQ(out.right, ref.right) << v;
    }
}

TEST(HostileInput, NullBuffersAreSurvived) {
    auto e = makeEffect();
    float l[4] = {1, 1, 1, 1}, r[4] = {1, 1, 1, 1};
    float* outputs[2] = {l, r};
    float* half[2] = {l, nullptr};
    e->processReplacing(nullptr, outputs, 4);
    EXPECT_EQ(l[3], 0.0f);
    e->processReplacing(half, outputs, 4);
    e->processReplacing(outputs, nullptr, 4);
    e->processReplacing(outputs, half, 4);
}

}  // namespace
