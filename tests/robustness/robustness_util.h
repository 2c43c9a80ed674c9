// Shared by the robustness tests: ordinary programme, the modes' output ranges and a scan
// of the effect's whole processing state.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "effect/monitor_mode.h"
#include "effect/vellicor.h"

namespace robust {

constexpr double kPi = 3.141592653589793;

// Parameter value in the middle of a mode's range.
inline float valueFor(int mode) { return static_cast<float>((mode + 0.5) / 16.999); }

inline double stepFor(int mode) { return mode == kModeOut16 ? 1.0 / 32768.0 : 1.0 / 8388608.0; }

// Two tones per channel, within +-0.85; `first` counts frames from the programme's start.
template <typename Sample>
void programme(Sample* left, Sample* right, int frames, long first, double rate = 48000.0) {
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(first + i) / rate;
        left[i] = static_cast<Sample>(0.5 * std::sin(2 * kPi * 440.0 * t) +
                                      0.3 * std::sin(2 * kPi * 61.0 * t));
        right[i] = static_cast<Sample>(0.45 * std::sin(2 * kPi * 1250.0 * t + 1.0) +
                                       0.35 * std::sin(2 * kPi * 97.0 * t));
    }
}

// Empty when every output frame is finite and within the mode's range for the given
// input, else a description of the first frame that is not.
template <typename Sample>
std::string checkRange(int mode, const Sample* inL, const Sample* inR, const Sample* outL,
                       const Sample* outR, int frames) {
    const double step = stepFor(mode);
    for (int i = 0; i < frames; ++i) {
        const double l = outL[i], r = outR[i];
        bool ok = std::isfinite(l) && std::isfinite(r);
        const double peak = std::fmax(std::fabs(double(inL[i])), std::fabs(double(inR[i])));
        switch (mode) {
            case kModeOut24:
            case kModeOut16:
                ok = ok && std::fabs(l - inL[i]) <= step && std::fabs(r - inR[i]) <= step;
                break;
            case kModePeaks:
                ok = ok && std::fabs(l) <= kPi / 2 * 0.63679 + step &&
                     std::fabs(r) <= kPi / 2 * 0.63679 + step;
                break;
            case kModeSlew:
            case kModeSubs: ok = ok && std::fabs(l) <= 1 + step && std::fabs(r) <= 1 + step; break;
            case kModeMono:
            case kModeSide:
            case kModeVTrick:
                ok = ok && std::fabs(l) <= peak + step && std::fabs(r) <= peak + step;
                break;
            default: ok = ok && std::fabs(l) <= kPi / 2 + step && std::fabs(r) <= kPi / 2 + step;
        }
        if (!ok)
            return "frame " + std::to_string(i) + ": in " + std::to_string(double(inL[i])) + ", " +
                   std::to_string(double(inR[i])) + " out " + std::to_string(l) + ", " +
                   std::to_string(r);
    }
    return {};
}

// Names the first non-finite field of the processing state, or empty.
inline std::string nonFiniteState(const Vellicor& effect) {
    const ProcessingState& s = effect.processingState();
    const BandPass& bp = s.bandPass;
    const long double bandPass[] = {bp.frequency, bp.resonance, bp.a0, bp.a1, bp.a2, bp.b1,
                                    bp.b2, bp.state1L, bp.state2L, bp.state1R, bp.state2R};
    for (long double v : bandPass)
        if (!std::isfinite(v)) return "band-pass";
    struct Line {
        const char* name;
        const double* values;
        int size;
    };
    const Line lines[] = {{"delayAL", s.delayAL, kDelayLineSize}, {"delayBL", s.delayBL, kDelayLineSize},
                          {"delayCL", s.delayCL, kDelayLineSize}, {"delayDL", s.delayDL, kDelayLineSize},
                          {"delayAR", s.delayAR, kDelayLineSize}, {"delayBR", s.delayBR, kDelayLineSize},
                          {"delayCR", s.delayCR, kDelayLineSize}, {"delayDR", s.delayDR, kDelayLineSize},
                          {"onePoleL", s.onePoleL, 26},         {"onePoleR", s.onePoleR, 26},
                          {"slewPrevL", &s.slewPrevL, 1},       {"slewPrevR", &s.slewPrevR, 1}};
    for (const Line& line : lines)
        for (int i = 0; i < line.size; ++i)
            if (!std::isfinite(line.values[i])) return std::string(line.name) + "[" + std::to_string(i) + "]";
    return {};
}

}  // namespace robust
