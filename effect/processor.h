// The processing core every plug-in format wraps: the processing state and the block
// processing of both precisions. It knows no plug-in interface; a format layer tells it,
// once per block, the sample rate and the "Monitor" value it runs at.
#pragma once

#include <cstdint>

#include "effect/processing_state.h"

using int32 = std::int32_t;

class Processor {
public:
    // [main-thread] Fresh state; the noise words from the process's rand(), left first.
    Processor() noexcept;

    // [audio-thread] One block of two channels in, two out (in place or not). The rate is
    // the host's, as a float; the value is the "Monitor" parameter's, 0 to 1. Sets its own
    // floating-point state and hands the caller's back. Null buffers are handled: missing
    // outputs write nothing, missing inputs give silence.
    void process(float** inputs, float** outputs, int32 sampleFrames, float sampleRate,
                 float monitorValue) noexcept;
    void process(double** inputs, double** outputs, int32 sampleFrames, float sampleRate,
                 float monitorValue) noexcept;

    // For tests that look inside.
    const ProcessingState& state() const noexcept { return state_; }

private:
    template <typename Sample>
    void processBlock(Sample** inputs, Sample** outputs, int32 sampleFrames, float sampleRate,
                      float monitorValue, double nearSilence) noexcept;

    ProcessingState state_;
};
