// One delay stage over a pair of lines that share a position counting down from the
// stage's length to 0 and round again. "Peaks" uses it as an allpass diffuser; the
// cross-feed modes run the same store-and-advance with their own output.
#pragma once

#include <cstdint>

#include "effect/floating_point.h"

using int32 = std::int32_t;

struct DelayStage {
    double* lineL;
    double* lineR;
    int32& position;
    int32 length;  // never above the last position of the lines
};

// The position after `position`, wrapping to length; also brings a position left above
// a length that shrank since the last block back into range.
inline int32 nextDelayPosition(int32 position, int32 length) noexcept {
    const int32 next = position - 1;
    return (next < 0 || next > length) ? length : next;
}

// Allpass, coefficient 0.5, delay `length`: y = x - 0.5·d, out = d + 0.5·y.
inline void diffuserStep(DelayStage stage, extended& xL, extended& xR) noexcept {
    const int32 i = stage.position;
    const int32 p = nextDelayPosition(i, stage.length);
    const extended yL = xL + stage.lineL[p] * -0.5;
    stage.lineL[i] = static_cast<double>(yL);
    const extended yR = xR + stage.lineR[p] * -0.5;
    stage.position = p;
    stage.lineR[i] = static_cast<double>(yR);
    xL = stage.lineL[p] + yL * 0.5;
    xR = stage.lineR[p] + yR * 0.5;
}
