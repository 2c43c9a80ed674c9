// The cross-feed modes: levels, cross-feed ratios, the side filters, borrowed state.
#include <gtest/gtest.h>

#include <cmath>

#include "effect/monitor_mode.h"
#include "tests/effect/tone_measure.h"

namespace {

using testutil::makeEffect;
using testutil::toneGain;
using testutil::valueFor;

struct Cans {
    int mode;
    double bothGain;   // input gain × (1 + 1.25 × cross gain)
    double crossRatio; // other side's share of a one-sided tone
};

const Cans kCans[] = {{kModeCansA, 0.98859375, 0.15625},
                      {kModeCansB, 0.98175, 0.3125},
                      {kModeCansC, 0.980375, 0.375},
                      {kModeCansD, 0.9775, 0.4375}};

TEST(CrossFeed, SameSignalOnBothInputsComesOutAtTheModesLevel) {
    for (const Cans& c : kCans) {
        const auto g = toneGain(c.mode, 48000.0, 1000.0, 0.01, true);
        EXPECT_NEAR(g.left / c.bothGain, 1.0, 1e-3) << c.mode;
        EXPECT_NEAR(g.right / c.bothGain, 1.0, 1e-3) << c.mode;
    }
}

TEST(CrossFeed, OneSidedToneReachesTheOtherSideAtTheModesRatio) {
    for (const Cans& c : kCans) {
        for (double rate : {44100.0, 96000.0}) {
            const auto g = toneGain(c.mode, rate, 1000.0, 0.01, false);
            EXPECT_NEAR(g.right / g.left / c.crossRatio, 1.0, 0.005) << c.mode << " at " << rate;
        }
    }
}

TEST(CrossFeed, ConstantOnOneInputSettlesEquallyOnBothOutputs) {
    auto e = makeEffect();
    e->setParameter(0, valueFor(kModeCansB));
    auto out = testutil::runConstant<double>(*e, 0.2, 0.0, 5 * 44100);
    EXPECT_NEAR(out.left.back(), out.right.back(), 2.0 / 8388608.0);
    EXPECT_GT(out.left.back(), 0.05);
}

TEST(CrossFeed, FirstSampleAdvancesTheBorrowedPositions) {
    auto e = makeEffect();
    e->setParameter(0, valueFor(kModeCansA));
    testutil::runConstant<double>(*e, 0.1, 0.2, 1);
    EXPECT_EQ(e->processingState().delayIndexA, 0);
    EXPECT_EQ(e->processingState().delayIndexD, 0);
    EXPECT_NE(e->processingState().delayAL[1], 0.0);
    EXPECT_EQ(e->processingState().delayAL[0], 0.0);
}

TEST(CrossFeed, OutputDoesNotDependOnWhatPeaksLeftButPeaksResumesFromIt) {
    auto fresh = makeEffect(4);
    auto used = makeEffect(4);
    used->setParameter(0, valueFor(kModePeaks));
    // A whole cycle of every diffuser, so the positions are back where they started.
    testutil::run<double>(*used, testutil::sine(300.0, 44100.0, 0.8, 149 + 1),
                          testutil::sine(500.0, 44100.0, 0.8, 149 + 1));
    ASSERT_EQ(used->processingState().delayIndexA, fresh->processingState().delayIndexA);
    for (auto* e : {fresh.get(), used.get()}) e->setParameter(0, valueFor(kModeCansC));
    const auto tone = testutil::sine(440.0, 44100.0, 0.5, 2000);
    auto a = testutil::run<double>(*fresh, tone, tone);
    auto b = testutil::run<double>(*used, tone, tone);
    // The noise words moved on in the used effect, so compare beyond the quantizer's reach.
    for (std::size_t i = 0; i < tone.size(); ++i) ASSERT_NEAR(a.left[i], b.left[i], 1e-6) << i;
}

TEST(SharedState, PeaksCansSubsPeaksContinueFromEachOther) {
    auto e = makeEffect();
    const auto tone = testutil::sine(220.0, 44100.0, 0.6, 300);
    e->setParameter(0, valueFor(kModePeaks));
    testutil::run<double>(*e, tone, tone);
    const int32 afterPeaks = e->processingState().delayIndexA;

    e->setParameter(0, valueFor(kModeCansA));
    testutil::run<double>(*e, tone, testutil::sine(330.0, 44100.0, 0.6, 300));
    EXPECT_EQ(e->processingState().delayIndexA, (afterPeaks - 300 + 2 * 150) % 150)
        << "cross-feed moves diffuser A on from where Peaks left it";
    const double sideState = e->processingState().onePoleL[0];
    EXPECT_NE(sideState, 0.0);
    EXPECT_EQ(e->processingState().onePoleL[1], 0.0) << "only the first stage is borrowed";

    e->setParameter(0, valueFor(kModeSubs));
    testutil::runConstant<double>(*e, 0.0, 0.0, 1);
    const double subsAmount = 0.05102040816326531;
    EXPECT_NEAR(e->processingState().onePoleL[0], sideState * (1.0 - subsAmount),
                std::fabs(sideState) * 1e-12 + 1e-20)
        << "Subs starts from the side filter's state";

    const int32 beforePeaks = e->processingState().delayIndexA;
    e->setParameter(0, valueFor(kModePeaks));
    testutil::runConstant<double>(*e, 0.1, 0.1, 1);
    EXPECT_EQ(e->processingState().delayIndexA, beforePeaks == 0 ? 149 : beforePeaks - 1);
}

}  // namespace
