// Renders tones through an effect and measures what comes out, for the mode tests.
#pragma once

#include <cmath>
#include <vector>

#include "tests/effect/effect_test_util.h"

namespace testutil {

constexpr double kPi = 3.14159265358979323846;

inline std::vector<double> sine(double frequency, double rate, double amplitude, std::size_t frames) {
    std::vector<double> s(frames);
    for (std::size_t i = 0; i < frames; ++i) s[i] = amplitude * std::sin(2.0 * kPi * frequency * i / rate);
    return s;
}

// Amplitude of the component at `frequency` in x[from..], found by correlation.
inline double amplitudeAt(const std::vector<double>& x, std::size_t from, double frequency,
                          double rate) {
    double c = 0.0, s = 0.0;
    for (std::size_t i = from; i < x.size(); ++i) {
        const double phase = 2.0 * kPi * frequency * i / rate;
        c += x[i] * std::cos(phase);
        s += x[i] * std::sin(phase);
    }
    return 2.0 * std::sqrt(c * c + s * s) / static_cast<double>(x.size() - from);
}

struct ToneGain {
    double left, right;  // output amplitude over the left input's amplitude
};

// A tone on the left input (and on the right too when both is set), in double precision,
// measured over the last half of one second after a second of settling.
inline ToneGain toneGain(int mode, double rate, double frequency, double amplitude, bool both) {
    auto e = makeEffect();
    e->setParameter(0, valueFor(mode));
    e->setSampleRate(static_cast<float>(rate));
    const std::size_t frames = static_cast<std::size_t>(2 * rate);
    const std::vector<double> left = sine(frequency, rate, amplitude, frames);
    const std::vector<double> right = both ? left : std::vector<double>(frames, 0.0);
    const Stereo out = run<double>(*e, left, right);
    const std::size_t from = frames / 2;
    return {amplitudeAt(out.left, from, frequency, rate) / amplitude,
            amplitudeAt(out.right, from, frequency, rate) / amplitude};
}

inline double dB(double gain) { return 20.0 * std::log10(gain); }

}  // namespace testutil
