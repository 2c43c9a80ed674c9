// What the effect, robustness and fuzz tests share: mode values, an ordinary programme, the
// range each mode's output must stay in, and a scan of the processing state.
#pragma once

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "effect/floating_point.h"
#include "effect/monitor_mode.h"
#include "effect/processing_state.h"

namespace testkit {

constexpr double kPi = 3.141592653589793;

// The parameter value in the middle of a mode's range.
inline float valueFor(int mode) { return static_cast<float>((mode + 0.5) / 16.999); }

inline double stepFor(int mode) { return mode == kModeOut16 ? 1.0 / 32768.0 : 1.0 / 8388608.0; }

// Two tones per channel, within +-0.85; `first` counts frames from the programme's start.
template <typename Sample>
void programme(Sample* left, Sample* right, int frames, long first) {
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(first + i) / 48000.0;
        left[i] = static_cast<Sample>(0.5 * std::sin(2 * kPi * 440 * t) + 0.3 * std::sin(2 * kPi * 61 * t));
        right[i] = static_cast<Sample>(0.45 * std::sin(2 * kPi * 1250 * t + 1) +
                                       0.35 * std::sin(2 * kPi * 97 * t));
    }
}

// Empty when every output frame is finite and within its mode's range, else the first
// frame that is not: the plain modes stay within a step of their input, the mid/side ones
// within the input's peak, the limited ones within 1, the arcsine ones within pi/2.
template <typename Sample>
std::string checkRange(int mode, const Sample* inL, const Sample* inR, const Sample* outL,
                       const Sample* outR, int frames) {
    const double step = stepFor(mode);
    for (int i = 0; i < frames; ++i) {
        const double l = outL[i], r = outR[i];
        const double peak = std::fmax(std::fabs(double(inL[i])), std::fabs(double(inR[i])));
        bool ok = std::isfinite(l) && std::isfinite(r);
        if (mode == kModeOut24 || mode == kModeOut16) {
            ok = ok && std::fabs(l - inL[i]) <= step && std::fabs(r - inR[i]) <= step;
        } else {
            const double bound = mode == kModePeaks ? kPi / 2 * 0.63679
                                 : mode == kModeSlew || mode == kModeSubs ? 1.0
                                 : mode == kModeMono || mode == kModeSide || mode == kModeVTrick ? peak
                                                                                                  : kPi / 2;
            ok = ok && std::fabs(l) <= bound + step && std::fabs(r) <= bound + step;
        }
        if (!ok) return "mode " + std::to_string(mode) + " frame " + std::to_string(i) + " out " + std::to_string(l) + ", " + std::to_string(r);
    }
    return {};
}

// The floating-point state a host leaves on its thread, as VELLICOR_HOST_FP names it:
// "x87=0x27F" (53-bit precision), "x87=0xB7F" (rounding up), "mxcsr=0x5F80" (rounding up),
// "mxcsr=0x9FC0" (flushing denormals); the thread's present state where it names none.
inline FloatingPointState hostFloatingPointState() {
    FloatingPointState state = currentFloatingPointState();
    if (const char* named = std::getenv("VELLICOR_HOST_FP")) {
        const unsigned long value = std::strtoul(std::strchr(named, '=') ? std::strchr(named, '=') + 1 : "0", nullptr, 0);
        if (std::strncmp(named, "x87=", 4) == 0) state.x87 = static_cast<std::uint16_t>(value);
        if (std::strncmp(named, "mxcsr=", 6) == 0) state.mxcsr = static_cast<std::uint32_t>(value);
    }
    return state;
}

// Names the first non-finite value or out-of-line position of the state, or empty.
inline std::string badState(const ProcessingState& s) {
    const BandPass& bp = s.bandPass;
    for (extended v : {bp.frequency, bp.resonance, bp.a0, bp.a1, bp.a2, bp.b1, bp.b2,
                          bp.state1L, bp.state2L, bp.state1R, bp.state2R})
        if (!std::isfinite(v)) return "band-pass";
    const struct { const char* name; const double* values; int size; } arrays[] = {
        {"delayAL", s.delayAL, kDelayLineSize}, {"delayBL", s.delayBL, kDelayLineSize},
        {"delayCL", s.delayCL, kDelayLineSize}, {"delayDL", s.delayDL, kDelayLineSize},
        {"delayAR", s.delayAR, kDelayLineSize}, {"delayBR", s.delayBR, kDelayLineSize},
        {"delayCR", s.delayCR, kDelayLineSize}, {"delayDR", s.delayDR, kDelayLineSize},
        {"onePoleL", s.onePoleL, 26}, {"onePoleR", s.onePoleR, 26},
        {"slewPrevL", &s.slewPrevL, 1}, {"slewPrevR", &s.slewPrevR, 1}};
    for (const auto& a : arrays)
        for (int i = 0; i < a.size; ++i)
            if (!std::isfinite(a.values[i])) return std::string(a.name) + "[" + std::to_string(i) + "]";
    for (int p : {s.delayIndexA, s.delayIndexB, s.delayIndexC, s.delayIndexD})
        if (p < 0 || p > kLastDelayPosition) return "delay position " + std::to_string(p);
    return {};
}

}  // namespace testkit
