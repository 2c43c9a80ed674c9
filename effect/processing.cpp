// The block processing frame shared by both precisions: block prologue, per-sample head
// with the near-silence guard, mode dispatch and output stage.
#include <cmath>
#include <cstdint>
#include <limits>

#include "effect/band_pass.h"
#include "effect/block_values.h"
#include "effect/cross_feed.h"
#include "effect/mid_side.h"
#include "effect/monitor_mode.h"
#include "effect/output_stage.h"
#include "effect/peaks_slew.h"
#include "effect/subs.h"
#include "effect/vellicor.h"

namespace {

// Below these magnitudes input is replaced by tiny noise, keeping the modes' filters out
// of denormal arithmetic.
constexpr double kNearSilenceFloat = 1.18e-37;
constexpr double kNearSilenceDouble = 1.18e-43;

// Near-silent and non-finite input both become noise below the threshold: a NaN or an
// infinity would otherwise stay in the never-reset filter states for good. The test and
// the replacement are exact in double, so the working sample starts as a double.
template <typename Sample>
inline double guardNearSilence(Sample sample, std::uint32_t noise, double threshold) noexcept {
    const double value = static_cast<double>(sample);
    const double size = std::fabs(value);
    if (size >= threshold && size <= std::numeric_limits<double>::max()) return value;
    return static_cast<double>(noise) * threshold;
}

inline std::uint32_t advanceNoise(std::uint32_t x) noexcept {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
}

template <typename Sample>
bool buffersUsable(Sample** buffers) noexcept {
    return buffers && buffers[0] && buffers[1];
}

// The per-sample loop for one mode: head, the mode's step, output stage. Compiled once
// per mode family, so nothing inside branches on the mode.
template <typename Sample, typename ModeStep>
void runFrames(ProcessingState& s, const BlockValues& b, Sample** inputs, Sample** outputs,
               int32 sampleFrames, double nearSilence, ModeStep modeStep) noexcept {
    const bool out16 = b.mode == kModeOut16;
    const long double scale = out16 ? kStepsPer16Bit : kStepsPer24Bit;
    // A step count times a power of two is exact in double.
    const double step = out16 ? 1.0 / 32768.0 : 1.0 / 8388608.0;
    const Sample* inL = inputs[0];
    const Sample* inR = inputs[1];
    Sample* outL = outputs[0];
    Sample* outR = outputs[1];
    std::uint32_t noiseL = s.noiseStateL;
    std::uint32_t noiseR = s.noiseStateR;
    for (int32 start = 0; start < sampleFrames; start += TrendQuantizer::kStretch) {
        const int32 end = sampleFrames - start > TrendQuantizer::kStretch
                              ? start + TrendQuantizer::kStretch
                              : sampleFrames;
        TrendQuantizer quantizerL(s.outHistoryL, b.trendLength);
        TrendQuantizer quantizerR(s.outHistoryR, b.trendLength);
        for (int32 i = start; i < end; ++i) {
            long double sampleL = guardNearSilence(inL[i], noiseL, nearSilence);
            noiseL = advanceNoise(noiseL);
            long double sampleR = guardNearSilence(inR[i], noiseR, nearSilence);
            noiseR = advanceNoise(noiseR);

            modeStep(sampleL, sampleR);

            const int32 chosenL = quantizerL.quantize(sampleL * scale);
            const int32 chosenR = quantizerR.quantize(sampleR * scale);
            outL[i] = static_cast<Sample>(static_cast<double>(chosenL) * step);
            outR[i] = static_cast<Sample>(static_cast<double>(chosenR) * step);
        }
        quantizerL.finish();
        quantizerR.finish();
    }
    s.noiseStateL = noiseL;
    s.noiseStateR = noiseR;
}

template <BandFold fold, typename Sample>
void runBandPass(ProcessingState& s, const BlockValues& b, Sample** inputs, Sample** outputs,
                 int32 frames, double nearSilence) noexcept {
    BandPass& bp = s.bandPass;
    runFrames(s, b, inputs, outputs, frames, nearSilence,
              [&bp](long double& l, long double& r) { bandPassStep<fold>(bp, l, r); });
}

template <typename Sample>
void runMode(ProcessingState& s, const BlockValues& b, Sample** inputs, Sample** outputs,
             int32 frames, double nearSilence) noexcept {
    using L = long double;
    switch (b.mode) {
        case kModePeaks: {
            const PeaksBlock peaks(s, b);
            runFrames(s, b, inputs, outputs, frames, nearSilence,
                      [&](L& l, L& r) { peaks.step(l, r); });
            break;
        }
        case kModeSlew:
            runFrames(s, b, inputs, outputs, frames, nearSilence,
                      [&](L& l, L& r) { slewStep(s, l, r); });
            break;
        case kModeSubs: {
            const SubsBlock subs(s, b);
            runFrames(s, b, inputs, outputs, frames, nearSilence,
                      [&](L& l, L& r) { subs.step(l, r); });
            break;
        }
        case kModeMono:
            runFrames(s, b, inputs, outputs, frames, nearSilence,
                      [](L& l, L& r) { monoSideStep(kModeMono, l, r); });
            break;
        case kModeSide:
            runFrames(s, b, inputs, outputs, frames, nearSilence,
                      [](L& l, L& r) { monoSideStep(kModeSide, l, r); });
            break;
        case kModeVinyl:
        case kModeAurat:
            runBandPass<BandFold::none>(s, b, inputs, outputs, frames, nearSilence);
            break;
        case kModeMonoRat:
            runBandPass<BandFold::toRight>(s, b, inputs, outputs, frames, nearSilence);
            break;
        case kModeMonoLat:
            runBandPass<BandFold::toLeft>(s, b, inputs, outputs, frames, nearSilence);
            break;
        case kModePhone:
            runBandPass<BandFold::toBoth>(s, b, inputs, outputs, frames, nearSilence);
            break;
        case kModeCansA:
        case kModeCansB:
        case kModeCansC:
        case kModeCansD: {
            const CrossFeedBlock cans(s, b);
            runFrames(s, b, inputs, outputs, frames, nearSilence,
                      [&](L& l, L& r) { cans.step(l, r); });
            break;
        }
        case kModeVTrick:
            runFrames(s, b, inputs, outputs, frames, nearSilence,
                      [](L& l, L& r) { vTrickStep(l, r); });
            break;
        default:  // "Out24", "Out16" and numbers outside the modes
            runFrames(s, b, inputs, outputs, frames, nearSilence, [](L&, L&) {});
            break;
    }
}

}  // namespace

template <typename Sample>
void Vellicor::processBlock(Sample** inputs, Sample** outputs, int32 sampleFrames,
                            double nearSilence) noexcept {
    const BlockValues b =
        computeBlockValues(getSampleRate(), monitorValue.load(std::memory_order_relaxed));
    updateBandPass(state.bandPass, b.rateScale, b.mode);
    if (sampleFrames <= 0 || !buffersUsable(outputs)) return;
    if (!buffersUsable(inputs)) {
        // Nothing to read: hand back silence rather than whatever the buffers held.
        for (int32 i = 0; i < sampleFrames; ++i) outputs[0][i] = outputs[1][i] = Sample(0);
        return;
    }
    runMode(state, b, inputs, outputs, sampleFrames, nearSilence);
}

void Vellicor::processReplacing(float** inputs, float** outputs, int32 sampleFrames) noexcept {
    processBlock(inputs, outputs, sampleFrames, kNearSilenceFloat);
}

void Vellicor::processDoubleReplacing(double** inputs, double** outputs,
                                      int32 sampleFrames) noexcept {
    processBlock(inputs, outputs, sampleFrames, kNearSilenceDouble);
}
