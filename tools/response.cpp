#include "tools/response.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace vrender {

namespace {
constexpr double kPi = 3.14159265358979323846;
}

std::vector<double> responseFrequencies(const ResponseSettings& settings) {
    double octaves = std::log2(settings.highest / settings.lowest);
    int steps = std::max(1, static_cast<int>(std::lround(octaves * settings.pointsPerOctave)));
    std::vector<double> frequencies;
    for (int i = 0; i <= steps; ++i)
        frequencies.push_back(settings.lowest *
                              std::pow(settings.highest / settings.lowest,
                                       static_cast<double>(i) / steps));
    return frequencies;
}

std::vector<ResponsePoint> measureResponse(vhost::Plugin& plugin,
                                           const ResponseSettings& settings) {
    const double rate = settings.sampleRate;
    const double amplitude = std::pow(10.0, settings.levelDb / 20.0);
    const int block = settings.blockSize;
    std::vector<float> inL(block), inR(block, 0.0f), outL(block), outR(block);
    float* inputs[2] = {inL.data(), inR.data()};
    float* outputs[2] = {outL.data(), outR.data()};

    std::vector<ResponsePoint> points;
    double phase = 0;  // continuous across steps, so a step starts without a jump
    for (double frequency : responseFrequencies(settings)) {
        const double period = rate / frequency;
        // The slowest filters in the modes have corners near 10 Hz: 0.1 s (or ten periods
        // at the lowest frequencies) lets them settle to well below the measured precision.
        const long settle = static_cast<long>(std::max(0.1 * rate, 10 * period));
        const long window = static_cast<long>(std::max(0.05 * rate, 10 * period));
        const double step = 2 * kPi * frequency / rate;
        std::complex<double> sum[2];
        double weights = 0;
        for (long done = 0; done < settle + window;) {
            int n = static_cast<int>(std::min<long>(block, settle + window - done));
            std::vector<double> phases(n);
            for (int i = 0; i < n; ++i) {
                phases[i] = phase;
                inL[i] = static_cast<float>(amplitude * std::sin(phase));
                phase = std::fmod(phase + step, 2 * kPi);
            }
            plugin.processReplacing(inputs, outputs, n);
            // Hann-weighted quadrature detection: the window keeps DC, harmonics and the
            // window's own edges out of the estimate.
            for (int i = 0; i < n; ++i) {
                long k = done + i - settle;
                if (k < 0) continue;
                double w = 0.5 - 0.5 * std::cos(2 * kPi * (k + 0.5) / window);
                std::complex<double> reference = std::polar(w, -phases[i]);
                sum[0] += static_cast<double>(outL[i]) * reference;
                sum[1] += static_cast<double>(outR[i]) * reference;
                weights += w;
            }
            done += n;
        }
        ResponsePoint point{frequency, {}};
        for (int c = 0; c < 2; ++c) point.gain[c] = 2 * std::abs(sum[c]) / weights / amplitude;
        points.push_back(point);
    }
    return points;
}

}  // namespace vrender
