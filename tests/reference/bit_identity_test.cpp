// Runs the production processing beside the step-by-step one on long randomised
// programmes and requires the same output bits and the same processing state afterwards,
// on a thread in the floating-point state a host may leave (VELLICOR_HOST_FP), which each
// call must hand back. The production code may take any shortcut that keeps this passing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "vst/vellicor.h"
#include "tests/reference/state_comparison.h"
#include "tests/support/testkit.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr double kLargest = std::numeric_limits<double>::max();

// Host rates worth switching between, absurd ones included; the first four are common.
const float kRates[] = {44100.0f, 48000.0f, 96000.0f, 192000.0f, 88200.0f, 22050.0f, 8000.0f,
                        4000.0f,  11025.0f, 300000.0f, 400000.0f, 7781.0f, 256818.0f, 0.0f,
                        kNaN,     1e9f,     1.0f,      -48000.0f, kInf,    3.4e38f,   1999.0f};

class Programme {
public:
    explicit Programme(unsigned seed) : rng(seed) {}
    unsigned pick(unsigned n) { return static_cast<unsigned>(rng() % n); }
    double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }
    template <typename T, std::size_t N>
    T any(const T (&values)[N]) { return values[pick(N)]; }

    // Mostly ordinary rates, so long stretches run at one trend length.
    float rate() { return pick(4) ? kRates[pick(4)] : any(kRates); }

    float monitorValue() {
        switch (pick(10)) {
            case 0: return kNaN;
            case 1: return static_cast<float>(uniform(-2.0, 3.0));
            case 2: return static_cast<float>(pick(2) ? 17.0 / 16.999 : -1.0 / 16.999);
            case 3: return 1e30f;
            default: return static_cast<float>((pick(17) + uniform(0.0, 1.0)) / 16.999);
        }
    }

    int32 frames() {
        const int32 few[] = {0, -3, 1};
        const unsigned k = pick(12);
        return k < 3 ? few[k] : static_cast<int32>(1 + pick(700));
    }

    // One block of input of a randomly chosen kind.
    void fill(std::vector<double>& l, std::vector<double>& r) {
        const int kind = pick(9);
        const double gain = std::pow(10.0, uniform(-4.0, 0.5)), freq = uniform(0.0005, 0.3);
        // Corners of the unit limit among them; the largest double drives the one-pole
        // states to their hold.
        static const double constants[] = {1.0, -1.0, 0.5, 1.5, 0.3, -3.0, 0.2206, 1e-3, kLargest, -kLargest};
        for (std::size_t i = 0; i < l.size(); ++i) {
            double& a = l[i];
            double& b = r[i];
            switch (kind) {
                case 0: a = b = 0.0; break;  // digital silence
                case 1: a = uniform(-1, 1) * gain, b = uniform(-1, 1) * gain; break;
                case 2:  // tones, the right one often identical to the left
                    a = std::sin(phase += freq) * gain;
                    b = pick(3) ? a : std::cos(phase * 1.3) * gain;
                    break;
                case 3: a = nearStep(), b = nearStep(); break;  // on or a hair off a step
                case 4: a = tiny(), b = tiny(); break;  // around the near-silence thresholds
                case 5:  // beyond full scale, up to and past saturation
                    a = uniform(-1, 1) * std::pow(10.0, uniform(0.0, 3.5));
                    b = uniform(-1, 1) * std::pow(10.0, uniform(0.0, 3.5));
                    break;
                case 6: a = constants[(i / 97) % 10], b = constants[(i / 61 + 3) % 10]; break;
                default:  // noise with bursts of non-finite and absurd values
                    a = uniform(-1, 1) * gain, b = uniform(-1, 1) * gain;
                    if (pick(20) == 0) a = special();
                    if (pick(20) == 0) b = special();
                    if (pick(20) == 0) a = nearSaturation();
                    if (pick(20) == 0) b = nearSaturation();
            }
        }
    }

private:
    // On or a hair off a 24- or 16-bit step.
    double nearStep() {
        const double scale = pick(2) ? 8388608.0 : 32768.0;
        const double k = std::floor(uniform(-1.2, 1.2) * scale);
        static const double offsets[] = {0.0, 0.5, 1e-7, -1e-7, 0.4999999, 0.5000001, 1e-12};
        const double v = (k + any(offsets)) / scale;
        return pick(4) ? v : std::nextafter(v, pick(2) ? 1e9 : -1e9);
    }
    double tiny() {
        static const double t[] = {1.18e-37, 1.17e-37, 1.19e-37, 1.18e-43, 1.17e-43, 1.2e-43,
                                   1e-40,    5e-324,   -1.18e-37, 0.0,     -0.0};
        return any(t);
    }
    double special() {
        static const double s[] = {std::numeric_limits<double>::quiet_NaN(), HUGE_VAL, -HUGE_VAL,
                                   1e30, -1e30, 3e38, 1e300, -0.0, 256.0, -256.0, 65536.0, kLargest, -kLargest};
        return any(s);
    }
    // Within a few steps of the int32 limits of the step count, at either scale.
    double nearSaturation() {
        const double scale = pick(2) ? 8388608.0 : 32768.0;
        const double limit = pick(2) ? 2147483648.0 : -2147483648.0;
        return (limit + uniform(-3.0, 3.0)) / scale;
    }

    std::mt19937 rng;
    double phase = 0;
};

struct Pair {
    explicit Pair(unsigned seed) {
        setFloatingPointState(testkit::hostFloatingPointState());
        std::srand(seed);
        production = std::make_unique<Vellicor>(nullptr);
        reference.state.noiseStateL = production->processingState().noiseStateL;
        reference.state.noiseStateR = production->processingState().noiseStateR;
    }
    std::unique_ptr<Vellicor> production;
    stepref::Processor reference;
};

// One block through both; outputs start as garbage distinct from the input, so unwritten
// samples show.
template <typename Sample>
void runBlock(Pair& pair, const std::vector<double>& l, const std::vector<double>& r, int32 frames,
              float rate, float value, bool inPlace, const std::string& where) {
    const std::size_t n = l.size();
    std::vector<Sample> in[4] = {{l.begin(), l.end()}, {r.begin(), r.end()}, {l.begin(), l.end()}, {r.begin(), r.end()}};
    std::vector<Sample> out[4];
    for (auto& o : out) o.assign(n, Sample(-7));
    std::vector<Sample>* const written = inPlace ? in : out;
    Sample* pIn[2] = {in[0].data(), in[1].data()};
    Sample* rIn[2] = {in[2].data(), in[3].data()};
    Sample* pOut[2] = {written[0].data(), written[1].data()};
    Sample* rOut[2] = {written[2].data(), written[3].data()};
    pair.production->setSampleRate(rate);
    pair.production->setParameter(0, value);
    const FloatingPointState callers = currentFloatingPointState();
    if constexpr (sizeof(Sample) == sizeof(float)) {
        pair.production->processReplacing(pIn, pOut, frames);
        pair.reference.processReplacing(rIn, rOut, frames, rate, value);
    } else {
        pair.production->processDoubleReplacing(pIn, pOut, frames);
        pair.reference.processDoubleReplacing(rIn, rOut, frames, rate, value);
    }
    ASSERT_TRUE(currentFloatingPointState() == callers) << where << ": the caller's floating-point state not given back";
    for (std::size_t i = 0; i < n; ++i)
        for (int c = 0; c < 2; ++c)
            ASSERT_TRUE(stepref::sameBits(pOut[c][i], rOut[c][i]))
                << where << " frame " << i << (c ? " right: " : " left: ") << pOut[c][i] << " vs " << rOut[c][i];
    const std::string diff = stepref::stateDifference(pair.production->processingState(), pair.reference.state);
    ASSERT_TRUE(diff.empty()) << where << ": state differs in " << diff;
}

template <typename... Args>
void runEither(bool single, Args&&... args) {
    if (single) runBlock<float>(std::forward<Args>(args)...);
    else runBlock<double>(std::forward<Args>(args)...);
}

TEST(BitIdentity, RandomisedProgrammesMatchTheStepByStepProcessing) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        Programme prog(seed * 7919u);
        Pair pair(seed);
        float rate = 44100.0f, value = 0.0f;
        for (int block = 0; block < 400 && !::testing::Test::HasFatalFailure(); ++block) {
            // Mode and rate often stay for a while, as in a session.
            if (prog.pick(3) == 0) rate = prog.rate();
            if (prog.pick(2) == 0) value = prog.monitorValue();
            const int32 frames = prog.frames();
            std::vector<double> l(frames > 0 ? frames : 0), r(l.size());
            prog.fill(l, r);
            const bool inPlace = prog.pick(3) == 0;
            runEither(prog.pick(2), pair, l, r, frames, rate, value, inPlace,
                      "seed " + std::to_string(seed) + " block " + std::to_string(block) + " rate " +
                          std::to_string(rate) + " value " + std::to_string(value));
        }
    }
}

// Every mode at the common rates, long enough for the delays to wrap and the trend to
// settle, then a drop to a lower rate so positions and history lengths shrink.
TEST(BitIdentity, EveryModeAtEveryCommonRate) {
    Programme prog(42);
    for (int mode = 0; mode < 17; ++mode) {
        Pair pair(100 + mode);
        for (float rate : {192000.0f, 96000.0f, 48000.0f, 44100.0f, 8000.0f, 96000.0f}) {
            for (int block = 0; block < 6 && !::testing::Test::HasFatalFailure(); ++block) {
                std::vector<double> l(512), r(512);
                prog.fill(l, r);
                runEither(block % 2 == 0, pair, l, r, 512, rate, testkit::valueFor(mode), block == 2,
                          "mode " + std::to_string(mode) + " rate " + std::to_string(rate));
            }
        }
    }
}

// "Subs" runs two frames at a time; a state pushed past the double range by the first
// frame of a pair must reach the second frame held, as it would frame by frame. A run of
// the largest double takes the first stage's state past the range after a few dozen
// frames; the run then ends on the first or the second frame of a pair.
TEST(BitIdentity, SubsStatesHeldBetweenPairedFrames) {
    Pair pair(7);
    for (int32 frames : {1, 2, 3, 7, 64, 513}) {
        for (int32 at = 40; at < 43 && !::testing::Test::HasFatalFailure(); ++at) {
            std::vector<double> l(frames, 0.25), r(frames, -0.5);
            for (int32 i = 0; i < at && i < frames; ++i) l[i] = kLargest, r[i] = -kLargest;
            runBlock<double>(pair, l, r, frames, 48000.0f, testkit::valueFor(kModeSubs), false,
                             std::to_string(frames) + " frames, run of " + std::to_string(at));
        }
    }
}

// Working samples in extended precision just below a whole number of steps: narrowed to
// double they land on it, and x + 1 in extended precision can round up across the next
// one. Mono, Side and V Trick reach them from inputs whose sum is no double, e.g.
// 2^-19 - 2^-83, which is 8 - 2^-61 steps after halving (x + 1 rounds to 9).
TEST(BitIdentity, ExtendedStepsJustBelowWholeNumbers) {
    std::vector<double> l, r;
    for (int k = 0; k <= 30; ++k) {
        for (double sign : {1.0, -1.0}) {
            l.insert(l.end(), {sign * std::ldexp(1.0, k - 22), sign * std::ldexp(1.0, k - 22),
                               sign * (std::ldexp(1.0, k - 22) + std::ldexp(1.0, -45))});
            r.insert(r.end(), {-sign * std::ldexp(1.0, k - 86), -sign * std::ldexp(3.0, k - 88),
                               -sign * std::ldexp(1.0, -80)});
        }
    }
    for (int mode : {kModeMono, kModeSide, kModeVTrick}) {
        Pair pair(300 + mode);
        for (bool single : {false, true})
            if (!::testing::Test::HasFatalFailure())
                runEither(single, pair, l, r, static_cast<int32>(l.size()), 44100.0f, testkit::valueFor(mode), false,
                          "mode " + std::to_string(mode));
    }
}

}  // namespace
