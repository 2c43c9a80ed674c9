// Everything the processing keeps from one sample to the next. Created zero (positions
// at 1) with the effect and never reset: modes share parts of it and continue from what
// another mode left.
#pragma once

#include <cstdint>

#include "effect/band_pass.h"
#include "effect/block_values.h"

struct ProcessingState {
    BandPass bandPass{};
    float outHistoryL[kOutHistorySize]{};
    float outHistoryR[kOutHistorySize]{};
    // Diffusers A to D of "Peaks"; A and D also carry the cross-feed stages.
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
    // "Subs" stages; element 0 of each is also a cross-feed side filter.
    double onePoleL[26]{};
    double onePoleR[26]{};
    // Xorshift words for the near-silence guard, seeded by the effect.
    std::uint32_t noiseStateL = 0;
    std::uint32_t noiseStateR = 0;
};
