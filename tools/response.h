// Small-signal magnitude response of one mode: a stepped sine on the left input only.
#pragma once

#include <vector>

#include "host/vst_host.h"

namespace vrender {

struct ResponseSettings {
    double sampleRate = 48000;
    int blockSize = 512;
    double levelDb = -20;  // sine level at the left input, dBFS
    double lowest = 20, highest = 20000;
    int pointsPerOctave = 12;
};

struct ResponsePoint {
    double frequency;
    double gain[2];  // output amplitude over input amplitude, left and right output
};

// The log-spaced frequencies of a measurement, lowest and highest included.
std::vector<double> responseFrequencies(const ResponseSettings& settings);

// Measures a running plugin, already in the mode to measure, at every frequency in turn.
// Each step lets the mode settle before its output is measured.
std::vector<ResponsePoint> measureResponse(vhost::Plugin& plugin, const ResponseSettings& settings);

}  // namespace vrender
