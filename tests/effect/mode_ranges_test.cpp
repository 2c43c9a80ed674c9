// Every mode stays finite and inside its output range for full-scale noise and sweeps,
// from very low to very high sample rates.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "effect/monitor_mode.h"
#include "tests/effect/tone_measure.h"

namespace {

// Largest output magnitude a mode can hand out for input within ±1.
double outputLimit(int mode) {
    const double step16 = 1.0 / 32768.0, step24 = 1.0 / 8388608.0;
    const double halfPi = 1.5707963267948966;
    switch (mode) {
        case kModeOut16: return 1.0 + step16;
        case kModePeaks: return halfPi * 0.63679 + step24;
        case kModeVinyl: case kModeAurat: case kModeMonoRat: case kModeMonoLat: case kModePhone:
        case kModeCansA: case kModeCansB: case kModeCansC: case kModeCansD: return halfPi + step24;
        default: return 1.0 + step24;  // Out24, Slew, Subs, Mono, Side, V Trick
    }
}

// Full-scale white noise, a different sequence on each side.
std::vector<float> noise(std::uint32_t seed, std::size_t frames) {
    std::vector<float> v(frames);
    for (float& x : v) {
        seed = seed * 1664525u + 1013904223u;
        x = static_cast<float>(static_cast<std::int32_t>(seed)) / 2147483648.0f;
    }
    return v;
}

std::vector<float> sweep(double rate, std::size_t frames) {
    std::vector<float> v(frames);
    const double f0 = 20.0, f1 = std::min(20000.0, rate * 0.45), T = frames / rate;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = i / rate;
        const double phase = 2.0 * testutil::kPi * f0 * T / std::log(f1 / f0) *
                             (std::pow(f1 / f0, t / T) - 1.0);
        v[i] = static_cast<float>(0.99 * std::sin(phase));
    }
    return v;
}

void expectInRange(const testutil::Stereo& out, int mode, double rate, const char* what) {
    const double limit = outputLimit(mode);
    for (std::size_t i = 0; i < out.left.size(); ++i) {
        ASSERT_TRUE(std::isfinite(out.left[i]) && std::fabs(out.left[i]) <= limit)
            << what << " mode " << mode << " at " << rate << " Hz, frame " << i << ": " << out.left[i];
        ASSERT_TRUE(std::isfinite(out.right[i]) && std::fabs(out.right[i]) <= limit)
            << what << " mode " << mode << " at " << rate << " Hz, frame " << i << ": " << out.right[i];
    }
}

TEST(ModeRanges, TenSecondsOfFullScaleNoise) {
    const std::size_t frames = 441000;
    const auto left = noise(1, frames), right = noise(2, frames);
    for (int mode = 0; mode < kNumModes; ++mode) {
        auto e = testutil::makeEffect();
        e->setParameter(0, testutil::valueFor(mode));
        expectInRange(testutil::run<float>(*e, left, right), mode, 44100.0, "noise");
    }
}

TEST(ModeRanges, NoiseAndSweepsAtEveryRate) {
    for (double rate : {4000.0, 8000.0, 44100.0, 96000.0, 192000.0, 384000.0}) {
        const std::size_t frames = static_cast<std::size_t>(rate);
        const auto left = noise(3, frames), right = noise(4, frames), s = sweep(rate, frames);
        for (int mode = 0; mode < kNumModes; ++mode) {
            auto e = testutil::makeEffect();
            e->setParameter(0, testutil::valueFor(mode));
            e->setSampleRate(static_cast<float>(rate));
            expectInRange(testutil::run<float>(*e, left, right), mode, rate, "noise");
            expectInRange(testutil::run<float>(*e, s, s), mode, rate, "sweep");
        }
    }
}

}  // namespace
