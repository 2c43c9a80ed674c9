// The processing written out step by step, with no shortcut of any kind: each rule as
// worded, every value recomputed where it is used, the output history shifted entry by
// entry and its slope summed term by term. The production processing is checked against
// it bit for bit and benchmarked against it, so it must never be optimised.
#pragma once

#include <cstdint>

#include "effect/floating_point.h"

namespace stepref {

using int32 = std::int32_t;

constexpr int32 kDelayLineSize = 1503;
constexpr int32 kOutHistorySize = 100;
constexpr int32 kSubsStages = 26;

struct BandPass {
    extended frequency;
    extended resonance;
    extended a0;
    extended a1;
    extended a2;
    extended b1;
    extended b2;
    extended state1L;
    extended state2L;
    extended state1R;
    extended state2R;
};

struct State {
    BandPass bandPass{};
    float outHistoryL[kOutHistorySize]{};
    float outHistoryR[kOutHistorySize]{};
    double delayAL[kDelayLineSize]{};
    double delayBL[kDelayLineSize]{};
    double delayCL[kDelayLineSize]{};
    double delayDL[kDelayLineSize]{};
    double delayAR[kDelayLineSize]{};
    double delayBR[kDelayLineSize]{};
    double delayCR[kDelayLineSize]{};
    double delayDR[kDelayLineSize]{};
    int32 delayIndexA = 1;
    int32 delayIndexB = 1;
    int32 delayIndexC = 1;
    int32 delayIndexD = 1;
    double slewPrevL = 0.0;
    double slewPrevR = 0.0;
    double onePoleL[kSubsStages]{};
    double onePoleR[kSubsStages]{};
    std::uint32_t noiseStateL = 0;
    std::uint32_t noiseStateR = 0;
};

// One effect's processing: the host's stored sample rate and parameter value are passed
// with each block, as the effect reads them once per block.
class Processor {
public:
    State state;

    void processReplacing(float** inputs, float** outputs, int32 frames, float sampleRate,
                          float monitorValue) noexcept;
    void processDoubleReplacing(double** inputs, double** outputs, int32 frames,
                                float sampleRate, float monitorValue) noexcept;

private:
    template <typename Sample>
    void processBlock(Sample** inputs, Sample** outputs, int32 frames, float sampleRate,
                      float monitorValue, double nearSilence) noexcept;
};

}  // namespace stepref
