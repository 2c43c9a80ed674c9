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

// One block's per-sample head and output stage around a mode: reads and guards the inputs,
// quantizes and writes the outputs. The noise words and the histories are worked on in
// locals and written back by finish().
template <typename Sample>
class FrameIo {
public:
    FrameIo(ProcessingState& s, const BlockValues& b, Sample** inputs, Sample** outputs,
            double nearSilence) noexcept
        : s(s), trendLength(b.trendLength), nearSilence(nearSilence), inL(inputs[0]),
          inR(inputs[1]), outL(outputs[0]), outR(outputs[1]), noiseL(s.noiseStateL),
          noiseR(s.noiseStateR) {
        const bool out16 = b.mode == kModeOut16;
        scale = out16 ? kStepsPer16Bit : kStepsPer24Bit;
        // A step count times a power of two is exact in double.
        step = out16 ? 1.0 / 32768.0 : 1.0 / 8388608.0;
    }

    __attribute__((always_inline)) void read(int32 i, long double& sampleL,
                                             long double& sampleR) noexcept {
        sampleL = guardNearSilence(inL[i], noiseL, nearSilence);
        noiseL = advanceNoise(noiseL);
        sampleR = guardNearSilence(inR[i], noiseR, nearSilence);
        noiseR = advanceNoise(noiseR);
    }

    __attribute__((always_inline)) void write(int32 i, TrendQuantizer& quantizerL,
                                              TrendQuantizer& quantizerR, long double sampleL,
                                              long double sampleR) noexcept {
        const int32 chosenL = quantizerL.quantize(sampleL * scale);
        const int32 chosenR = quantizerR.quantize(sampleR * scale);
        outL[i] = static_cast<Sample>(static_cast<double>(chosenL) * step);
        outR[i] = static_cast<Sample>(static_cast<double>(chosenR) * step);
    }

    // Runs body(start, end, quantizerL, quantizerR) over stretches of the block short
    // enough for the quantizers' buffers.
    template <typename Body>
    void forEachStretch(int32 sampleFrames, Body body) noexcept {
        for (int32 start = 0; start < sampleFrames; start += TrendQuantizer::kStretch) {
            const int32 end = sampleFrames - start > TrendQuantizer::kStretch
                                  ? start + TrendQuantizer::kStretch
                                  : sampleFrames;
            TrendQuantizer quantizerL(s.outHistoryL, trendLength);
            TrendQuantizer quantizerR(s.outHistoryR, trendLength);
            body(start, end, quantizerL, quantizerR);
            quantizerL.finish();
            quantizerR.finish();
        }
        s.noiseStateL = noiseL;
        s.noiseStateR = noiseR;
    }

private:
    ProcessingState& s;
    int32 trendLength;
    double nearSilence;
    long double scale;
    double step;
    const Sample* inL;
    const Sample* inR;
    Sample* outL;
    Sample* outR;
    std::uint32_t noiseL;
    std::uint32_t noiseR;
};

// The per-sample loop for one mode: head, the mode's step, output stage. Compiled once
// per mode family, so nothing inside branches on the mode.
template <typename Sample, typename ModeStep>
void runFrames(ProcessingState& s, const BlockValues& b, Sample** inputs, Sample** outputs,
               int32 sampleFrames, double nearSilence, ModeStep modeStep) noexcept {
    FrameIo<Sample> io(s, b, inputs, outputs, nearSilence);
    io.forEachStretch(sampleFrames, [&](int32 start, int32 end, TrendQuantizer& qL,
                                        TrendQuantizer& qR) {
        for (int32 i = start; i < end; ++i) {
            long double sampleL, sampleR;
            io.read(i, sampleL, sampleR);
            modeStep(sampleL, sampleR);
            io.write(i, qL, qR, sampleL, sampleR);
        }
    });
}

// Two frames at a time, for modes whose frame is one long dependency chain that the next
// frame hardly depends on: the mode's stepPair interleaves the two chains so they overlap.
// A frame left over at the end of a stretch takes the single step.
template <typename Sample, typename PairedStep>
void runPairedFrames(ProcessingState& s, const BlockValues& b, Sample** inputs,
                     Sample** outputs, int32 sampleFrames, double nearSilence,
                     const PairedStep& mode) noexcept {
    FrameIo<Sample> io(s, b, inputs, outputs, nearSilence);
    io.forEachStretch(sampleFrames, [&](int32 start, int32 end, TrendQuantizer& qL,
                                        TrendQuantizer& qR) {
        int32 i = start;
        for (; i + 1 < end; i += 2) {
            long double l0, r0, l1, r1;
            io.read(i, l0, r0);
            io.read(i + 1, l1, r1);
            mode.stepPair(l0, r0, l1, r1);
            io.write(i, qL, qR, l0, r0);
            io.write(i + 1, qL, qR, l1, r1);
        }
        if (i < end) {
            long double l, r;
            io.read(i, l, r);
            mode.step(l, r);
            io.write(i, qL, qR, l, r);
        }
    });
}

template <BandFold fold, typename Sample>
void runBandPass(ProcessingState& s, const BlockValues& b, Sample** inputs, Sample** outputs,
                 int32 frames, double nearSilence) noexcept {
    runPairedFrames(s, b, inputs, outputs, frames, nearSilence, BandPassFrames<fold>{s.bandPass});
}

template <typename Sample>
void runMode(ProcessingState& s, const BlockValues& b, Sample** inputs, Sample** outputs,
             int32 frames, double nearSilence) noexcept {
    using L = long double;
    switch (b.mode) {
        case kModePeaks:
            runPairedFrames(s, b, inputs, outputs, frames, nearSilence, PeaksBlock(s, b));
            break;
        case kModeSlew:
            runFrames(s, b, inputs, outputs, frames, nearSilence,
                      [&](L& l, L& r) { slewStep(s, l, r); });
            break;
        case kModeSubs:
            runPairedFrames(s, b, inputs, outputs, frames, nearSilence, SubsBlock(s, b));
            break;
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
        case kModeCansD:
            runPairedFrames(s, b, inputs, outputs, frames, nearSilence, CrossFeedBlock(s, b));
            break;
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
