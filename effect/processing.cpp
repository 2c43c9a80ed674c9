// The block processing frame shared by both precisions: block prologue, per-sample head
// with the near-silence guard, mode dispatch and output stage.
#include <cmath>

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
// infinity would otherwise stay in the never-reset filter states for good.
inline long double guardNearSilence(long double sample, std::uint32_t noise,
                                    double threshold) noexcept {
    if (std::fabs(sample) < threshold || !std::isfinite(sample))
        return static_cast<double>(noise) * threshold;
    return sample;
}

inline std::uint32_t advanceNoise(std::uint32_t x) noexcept {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
}

inline void runModeStep(ProcessingState& s, const BlockValues& b, long double& sampleL,
                        long double& sampleR) noexcept {
    switch (b.mode) {
        case kModePeaks: peaksStep(s, b, sampleL, sampleR); break;
        case kModeSlew: slewStep(s, sampleL, sampleR); break;
        case kModeSubs: subsStep(s, b, sampleL, sampleR); break;
        case kModeMono:
        case kModeSide: monoSideStep(b.mode, sampleL, sampleR); break;
        case kModeVinyl:
        case kModeAurat:
        case kModeMonoRat:
        case kModeMonoLat:
        case kModePhone: bandPassStep(s.bandPass, b.mode, sampleL, sampleR); break;
        case kModeCansA:
        case kModeCansB:
        case kModeCansC:
        case kModeCansD: crossFeedStep(s, b, sampleL, sampleR); break;
        case kModeVTrick: vTrickStep(sampleL, sampleR); break;
        default: break;  // "Out24", "Out16" and numbers outside the modes
    }
}

template <typename Sample>
bool buffersUsable(Sample** buffers) noexcept {
    return buffers && buffers[0] && buffers[1];
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

    const long double scale = b.mode == kModeOut16 ? kStepsPer16Bit : kStepsPer24Bit;
    const long double step = 1.0L / scale;
    for (int32 i = 0; i < sampleFrames; ++i) {
        long double sampleL = inputs[0][i];
        long double sampleR = inputs[1][i];
        sampleL = guardNearSilence(sampleL, state.noiseStateL, nearSilence);
        state.noiseStateL = advanceNoise(state.noiseStateL);
        sampleR = guardNearSilence(sampleR, state.noiseStateR, nearSilence);
        state.noiseStateR = advanceNoise(state.noiseStateR);

        runModeStep(state, b, sampleL, sampleR);

        const int32 chosenL = quantizeByTrend(sampleL * scale, state.outHistoryL, b.trendLength);
        const int32 chosenR = quantizeByTrend(sampleR * scale, state.outHistoryR, b.trendLength);
        const double outL = static_cast<double>(chosenL * step);
        const double outR = static_cast<double>(chosenR * step);
        outputs[0][i] = static_cast<Sample>(outL);
        outputs[1][i] = static_cast<Sample>(outR);
    }
}

void Vellicor::processReplacing(float** inputs, float** outputs, int32 sampleFrames) noexcept {
    processBlock(inputs, outputs, sampleFrames, kNearSilenceFloat);
}

void Vellicor::processDoubleReplacing(double** inputs, double** outputs,
                                      int32 sampleFrames) noexcept {
    processBlock(inputs, outputs, sampleFrames, kNearSilenceDouble);
}
