// The two-channel code of the processing in plain C++, one channel after the other. It
// gives the same bits as the SSE2 form; effect/lanes.h chooses between them.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "effect/output_stage.h"

namespace lanes {

// The chosen steps of one frame.
struct Steps {
    int32 left;
    int32 right;
};

// Both channels' xorshift words.
class NoiseWords {
public:
    NoiseWords(std::uint32_t left, std::uint32_t right) noexcept : words{left, right} {}
    std::uint32_t left() const noexcept { return words[0]; }
    std::uint32_t right() const noexcept { return words[1]; }
    void advance() noexcept {
        for (std::uint32_t& x : words) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
        }
    }

private:
    std::uint32_t words[2];
};

// One frame's inputs to its working samples: a sample below the threshold in magnitude, or
// not finite, becomes its channel's noise word times the threshold (exact in double).
inline void guardNearSilence(double inL, double inR, const NoiseWords& noise, double threshold,
                             double& left, double& right) noexcept {
    auto guarded = [threshold](double x, std::uint32_t word) {
        const double size = std::fabs(x);
        const bool ordinary = size >= threshold && size <= std::numeric_limits<double>::max();
        return ordinary ? x : static_cast<double>(word) * threshold;
    };
    left = guarded(inL, noise.left());
    right = guarded(inR, noise.right());
}

// Writes a frame's chosen steps times the step size (exact in double) to the outputs.
template <typename Sample>
inline void storeSteps(Sample* outL, Sample* outR, Steps chosen, double step) noexcept {
    *outL = static_cast<Sample>(chosen.left * step);
    *outR = static_cast<Sample>(chosen.right * step);
}

// Both channels' trend quantizers over a stretch of frames with one trend length n, with
// the same interface as the SSE2 form.
//
// The histories (entry 0 newest) live in a window sliding down a buffer the caller owns,
// one frame's pair of entries per slot, so recording a frame is one store instead of a
// shift of n + 1 entries. The first n + 2 entries of each channel are copied in and back
// out, the only ones a frame reads or writes. While the newest n + 1 entries of a channel
// lie within one span of 2^24 whole numbers (output_stage.h), its slope is the exact
// difference of the window's ends, the float the term-by-term sum yields.
class StereoQuantizer {
public:
    static constexpr int32 kStretch = 512;  // frames per stretch
    struct Slot {
        float entry[2];  // left, right
    };
    static constexpr int32 kBufferSlots = kStretch + kOutHistorySize;

    StereoQuantizer(Slot* buffer, float* historyL, float* historyR, int32 n, bool out16) noexcept
        : window(buffer + kStretch), histories{historyL, historyR}, n(n),
          scale(out16 ? kStepsPer16Bit : kStepsPer24Bit) {
        for (int32 k = 0; k <= n + 1; ++k) window[k] = Slot{{historyL[k], historyR[k]}};
        for (int c = 0; c < 2; ++c) {
            for (int span = 0; span < 2; ++span) {
                int32& run = runs[c][span];
                for (run = 0; run <= n + 1 && inTelescopingSpan(histories[c][run], span); ++run) {
                }
            }
        }
    }

    // Writes the histories back; call after at most kStretch frames.
    void finish() noexcept {
        for (int32 k = 0; k <= n + 1; ++k) {
            histories[0][k] = window[k].entry[0];
            histories[1][k] = window[k].entry[1];
        }
    }

    // Chooses and records the steps for the working samples of one frame.
    template <typename Working>
    Steps quantize(Working sampleL, Working sampleR) noexcept {
        return choose(stepsAround(sampleL * scale), stepsAround(sampleR * scale));
    }

    // For working samples that still owe a limit to ±1: the limit is taken on the
    // candidate steps instead. Limiting at ±scale, a whole number of steps, gives the same
    // floors: floor(limit(x)) is floor(x) limited to ±scale, floor(limit(x) + 1) is
    // floor(x + 1) limited to 1 - scale .. scale + 1, and a NaN keeps its step 0 either way.
    Steps quantizeUnitLimited(extended sampleL, extended sampleR) noexcept {
        return choose(unitLimited(stepsAround(sampleL * scale)), unitLimited(stepsAround(sampleR * scale)));
    }

private:
    StepPair unitLimited(StepPair steps) const noexcept {
        const int32 top = static_cast<int32>(scale);
        auto limit = [](int32 x, int32 lowest, int32 highest) { return x > highest ? highest : x < lowest ? lowest : x; };
        return {limit(steps.lower, -top, top), limit(steps.upper, 1 - top, top + 1)};
    }

    // The step of channel c closer to its trend, preferring the upper one on a tie.
    int32 chooseChannel(int c, StepPair steps) noexcept {
        const float newest = window[0].entry[c];
        float slope;
        if (runs[c][0] > n || runs[c][1] > n) {
            slope = (window[n].entry[c] - newest) / static_cast<float>(n);
        } else {
            float sum = 0.0f;
            for (int32 k = 0; k < n; ++k) sum = sum + (window[k + 1].entry[c] - window[k].entry[c]);
            slope = sum / static_cast<float>(n);
        }
        const float errLower = std::fabs((newest - static_cast<float>(steps.lower)) - slope);
        const float errUpper = std::fabs((newest - static_cast<float>(steps.upper)) - slope);
        const int32 chosen = errLower < errUpper ? steps.lower : steps.upper;
        for (int span = 0; span < 2; ++span) runs[c][span] = inTelescopingSpan(static_cast<float>(chosen), span) ? runs[c][span] + 1 : 0;
        return chosen;
    }

    Steps choose(StepPair left, StepPair right) noexcept {
        const Steps chosen{chooseChannel(0, left), chooseChannel(1, right)};
        *--window = Slot{{static_cast<float>(chosen.left), static_cast<float>(chosen.right)}};
        return chosen;
    }

    Slot* window;
    float* histories[2];
    int32 n;
    extended scale;
    // Per channel and span: how many of the newest entries lie within the span.
    int32 runs[2][2];
};

}  // namespace lanes
