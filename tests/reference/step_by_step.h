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
    extended frequency, resonance;
    extended a0, a1, a2, b1, b2;
    extended state1L, state2L, state1R, state2R;
};

// The same fields as the effect keeps, so that the two can be compared field by field.
struct State {
    BandPass bandPass{};
    float outHistoryL[kOutHistorySize]{}, outHistoryR[kOutHistorySize]{};
    double delayAL[kDelayLineSize]{}, delayBL[kDelayLineSize]{}, delayCL[kDelayLineSize]{}, delayDL[kDelayLineSize]{};
    double delayAR[kDelayLineSize]{}, delayBR[kDelayLineSize]{}, delayCR[kDelayLineSize]{}, delayDR[kDelayLineSize]{};
    int32 delayIndexA = 1, delayIndexB = 1, delayIndexC = 1, delayIndexD = 1;
    double slewPrevL = 0.0, slewPrevR = 0.0;
    double onePoleL[kSubsStages]{}, onePoleR[kSubsStages]{};
    std::uint32_t noiseStateL = 0, noiseStateR = 0;
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
