// The block processing frame shared by both precisions: block prologue, per-sample head
// with the near-silence guard, mode dispatch and output stage.
#include <cstdlib>

#include "effect/band_pass.h"
#include "effect/block_values.h"
#include "effect/cross_feed.h"
#include "effect/floating_point.h"
#include "effect/lanes.h"
#include "effect/mid_side.h"
#include "effect/monitor_mode.h"
#include "effect/peaks_slew.h"
#include "effect/processor.h"
#include "effect/subs.h"

namespace {

// Below these magnitudes input is replaced by tiny noise, keeping the modes' filters out
// of denormal arithmetic.
constexpr double kNearSilenceFloat = 1.18e-37;
constexpr double kNearSilenceDouble = 1.18e-43;

template <typename Sample>
bool buffersUsable(Sample** buffers) noexcept {
    return buffers && buffers[0] && buffers[1];
}

// One block's per-sample head and output stage around a mode: reads and guards the inputs,
// quantizes and writes the outputs. The noise words and the histories are worked on in
// locals and written back at the end of the block. Near-silent and non-finite input both
// become noise below the threshold, keeping the modes' filters out of denormal arithmetic:
// a NaN or an infinity would otherwise stay in the never-reset filter states for good.
template <typename Sample>
class FrameIo {
public:
    FrameIo(ProcessingState& s, const BlockValues& b, Sample** inputs, Sample** outputs,
            double nearSilence) noexcept
        : s(s), trendLength(b.trendLength), out16(b.mode == kModeOut16),
          nearSilence(nearSilence), step(out16 ? 1.0 / 32768.0 : 1.0 / 8388608.0),
          inL(inputs[0]), inR(inputs[1]), outL(outputs[0]), outR(outputs[1]),
          noise(s.noiseStateL, s.noiseStateR) {}

    // The guarded inputs are doubles; modes that work in extended precision widen them.
    template <typename Working>
    __attribute__((always_inline)) void read(int32 i, Working& sampleL,
                                             Working& sampleR) noexcept {
        double left, right;
        lanes::guardNearSilence(inL[i], inR[i], noise, nearSilence, left, right);
        noise.advance();
        sampleL = left;
        sampleR = right;
    }

    template <typename Working>
    __attribute__((always_inline)) void write(int32 i, lanes::StereoQuantizer& quantizer,
                                              Working sampleL, Working sampleR) noexcept {
        store(i, quantizer.quantize(sampleL, sampleR));
    }

    // Writes the chosen steps of frame i (a step count times a power of two, exact).
    __attribute__((always_inline)) void store(int32 i, lanes::Steps chosen) noexcept {
        lanes::storeSteps(outL + i, outR + i, chosen, step);
    }

    // Runs body(start, end, quantizer) over stretches of the block short enough for the
    // quantizer's buffer.
    template <typename Body>
    void forEachStretch(int32 sampleFrames, Body body) noexcept {
        using lanes::StereoQuantizer;
        for (int32 start = 0; start < sampleFrames; start += StereoQuantizer::kStretch) {
            const int32 end = sampleFrames - start > StereoQuantizer::kStretch
                                  ? start + StereoQuantizer::kStretch
                                  : sampleFrames;
            StereoQuantizer::Slot buffer[StereoQuantizer::kBufferSlots];
            StereoQuantizer quantizer(buffer, s.outHistoryL, s.outHistoryR, trendLength, out16);
            body(start, end, quantizer);
            quantizer.finish();
        }
        s.noiseStateL = noise.left();
        s.noiseStateR = noise.right();
    }

private:
    ProcessingState& s;
    int32 trendLength;
    bool out16;
    double nearSilence;
    double step;
    const Sample* inL;
    const Sample* inR;
    Sample* outL;
    Sample* outR;
    lanes::NoiseWords noise;
};

// The per-sample loop for one mode: head, the mode's step, output stage. Compiled once
// per mode family, so nothing inside branches on the mode. Working is the type of the
// working samples the mode takes and leaves: extended, or double where its results
// are doubles.
template <typename Working, typename Sample, typename ModeStep>
void runFrames(ProcessingState& s, const BlockValues& b, Sample** inputs, Sample** outputs,
               int32 sampleFrames, double nearSilence, ModeStep modeStep) noexcept {
    FrameIo<Sample> io(s, b, inputs, outputs, nearSilence);
    io.forEachStretch(sampleFrames, [&](int32 start, int32 end, lanes::StereoQuantizer& q) {
        for (int32 i = start; i < end; ++i) {
            Working sampleL, sampleR;
            io.read(i, sampleL, sampleR);
            modeStep(sampleL, sampleR);
            io.write(i, q, sampleL, sampleR);
        }
    });
}

// Two frames at a time, for modes whose frame is one long dependency chain that the next
// frame hardly depends on: the mode's stepPair interleaves the two chains so they overlap.
// A frame left over at the end of a stretch takes the single step.
template <typename Working, typename Sample, typename PairedStep>
void runPairedFrames(ProcessingState& s, const BlockValues& b, Sample** inputs,
                     Sample** outputs, int32 sampleFrames, double nearSilence,
                     const PairedStep& mode) noexcept {
    FrameIo<Sample> io(s, b, inputs, outputs, nearSilence);
    io.forEachStretch(sampleFrames, [&](int32 start, int32 end, lanes::StereoQuantizer& q) {
        int32 i = start;
        for (; i + 1 < end; i += 2) {
            Working l0, r0, l1, r1;
            io.read(i, l0, r0);
            io.read(i + 1, l1, r1);
            mode.stepPair(l0, r0, l1, r1);
            io.write(i, q, l0, r0);
            io.write(i + 1, q, l1, r1);
        }
        if (i < end) {
            Working l, r;
            io.read(i, l, r);
            mode.step(l, r);
            io.write(i, q, l, r);
        }
    });
}

// "Slew": the change since the previous frame; the output stage takes its limit.
template <typename Sample>
void runSlew(ProcessingState& s, const BlockValues& b, Sample** inputs, Sample** outputs,
             int32 sampleFrames, double nearSilence) noexcept {
    FrameIo<Sample> io(s, b, inputs, outputs, nearSilence);
    io.forEachStretch(sampleFrames, [&](int32 start, int32 end, lanes::StereoQuantizer& q) {
        double previousL = s.slewPrevL, previousR = s.slewPrevR;
        for (int32 i = start; i < end; ++i) {
            double sampleL, sampleR;
            io.read(i, sampleL, sampleR);
            const extended changeL = slewChange(sampleL, previousL);
            const extended changeR = slewChange(sampleR, previousR);
            io.store(i, q.quantizeUnitLimited(changeL, changeR));
        }
        s.slewPrevL = previousL;
        s.slewPrevR = previousR;
    });
}

// "Mono", "Side" and "V Trick": in double where that is exact, in extended otherwise.
template <int32 mode, typename Sample>
void runMidSide(ProcessingState& s, const BlockValues& b, Sample** inputs, Sample** outputs,
                int32 sampleFrames, double nearSilence) noexcept {
    FrameIo<Sample> io(s, b, inputs, outputs, nearSilence);
    io.forEachStretch(sampleFrames, [&](int32 start, int32 end, lanes::StereoQuantizer& q) {
        for (int32 i = start; i < end; ++i) {
            double sampleL, sampleR;
            io.read(i, sampleL, sampleR);
            if (midSideInDoubles(mode, sampleL, sampleR)) {
                io.write(i, q, sampleL, sampleR);
                continue;
            }
            extended extendedL = sampleL, extendedR = sampleR;
            if (mode == kModeVTrick) vTrickStep(extendedL, extendedR);
            else monoSideStep(mode, extendedL, extendedR);
            io.write(i, q, extendedL, extendedR);
        }
    });
}

// Modes that run a stretch in passes: mode.enter per frame (guarded inputs to the
// mode's first values), mode.run over the whole stretch, mode.leave per frame (to the
// working samples the output stage takes). The band-pass, cross-feed and Peaks modes
// run this way, so that their library calls come back to back and their filter and
// delay states stay in registers across a stretch.
template <typename Sample, typename Passes>
void runInPasses(ProcessingState& s, const BlockValues& b, Sample** inputs, Sample** outputs,
                 int32 sampleFrames, double nearSilence, const Passes& mode) noexcept {
    FrameIo<Sample> io(s, b, inputs, outputs, nearSilence);
    io.forEachStretch(sampleFrames, [&](int32 start, int32 end, lanes::StereoQuantizer& q) {
        double left[lanes::StereoQuantizer::kStretch];
        double right[lanes::StereoQuantizer::kStretch];
        const int32 count = end - start;
        for (int32 k = 0; k < count; ++k) {
            double sampleL, sampleR;
            io.read(start + k, sampleL, sampleR);
            mode.enter(sampleL, sampleR, left[k], right[k]);
        }
        mode.run(left, right, count);
        for (int32 k = 0; k < count; ++k) {
            const auto working = mode.leave(left[k], right[k]);
            io.write(start + k, q, working.first, working.second);
        }
    });
}

template <BandFold fold, typename Sample>
void runBandPass(ProcessingState& s, const BlockValues& b, Sample** inputs, Sample** outputs,
                 int32 frames, double nearSilence) noexcept {
    runInPasses(s, b, inputs, outputs, frames, nearSilence, BandPassPasses<fold>{s.bandPass});
}

template <typename Sample>
void runMode(ProcessingState& s, const BlockValues& b, Sample** inputs, Sample** outputs,
             int32 frames, double nearSilence) noexcept {
    switch (b.mode) {
        case kModePeaks:
            runInPasses(s, b, inputs, outputs, frames, nearSilence, PeaksBlock(s, b));
            break;
        case kModeSlew:
            runSlew(s, b, inputs, outputs, frames, nearSilence);
            break;
        case kModeSubs:
            runPairedFrames<double>(s, b, inputs, outputs, frames, nearSilence, SubsBlock(s, b));
            break;
        case kModeMono:
            runMidSide<kModeMono>(s, b, inputs, outputs, frames, nearSilence);
            break;
        case kModeSide:
            runMidSide<kModeSide>(s, b, inputs, outputs, frames, nearSilence);
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
            runInPasses(s, b, inputs, outputs, frames, nearSilence, CrossFeedBlock(s, b));
            break;
        case kModeVTrick:
            runMidSide<kModeVTrick>(s, b, inputs, outputs, frames, nearSilence);
            break;
        default:  // "Out24", "Out16" and numbers outside the modes
            runFrames<double>(s, b, inputs, outputs, frames, nearSilence, [](double&, double&) {});
            break;
    }
}

}  // namespace

// The two noise words come from the process's rand(): -r in 32 bits, drawn again while
// rand() returns 0, so every word lies in the upper half of the range.
static std::uint32_t seedNoiseWord() noexcept {
    std::uint32_t word = 1;
    while (word < 16386) word = static_cast<std::uint32_t>(std::rand()) * 4294967295u;
    return word;
}

Processor::Processor() noexcept : state_{} {
    state_.noiseStateL = seedNoiseWord();
    state_.noiseStateR = seedNoiseWord();
}

template <typename Sample>
void Processor::processBlock(Sample** inputs, Sample** outputs, int32 sampleFrames,
                             float sampleRate, float monitorValue, double nearSilence) noexcept {
    const FloatingPointScope ours;
    const BlockValues b = computeBlockValues(sampleRate, monitorValue);
    updateBandPass(state_.bandPass, b.rateScale, b.mode);
    if (sampleFrames <= 0 || !buffersUsable(outputs)) return;
    if (!buffersUsable(inputs)) {
        // Nothing to read: hand back silence rather than whatever the buffers held.
        for (int32 i = 0; i < sampleFrames; ++i) outputs[0][i] = outputs[1][i] = Sample(0);
        return;
    }
    runMode(state_, b, inputs, outputs, sampleFrames, nearSilence);
}

void Processor::process(float** inputs, float** outputs, int32 sampleFrames, float sampleRate,
                        float monitorValue) noexcept {
    processBlock(inputs, outputs, sampleFrames, sampleRate, monitorValue, kNearSilenceFloat);
}

void Processor::process(double** inputs, double** outputs, int32 sampleFrames,
                        float sampleRate, float monitorValue) noexcept {
    processBlock(inputs, outputs, sampleFrames, sampleRate, monitorValue, kNearSilenceDouble);
}
