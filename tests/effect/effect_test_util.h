// Drives a Vellicor instance directly, block by block, for the effect tests.
#pragma once

#include <cstdlib>
#include <memory>
#include <vector>

#include "effect/vellicor.h"

namespace testutil {

inline std::unique_ptr<Vellicor> makeEffect(unsigned seed = 1) {
    std::srand(seed);
    return std::make_unique<Vellicor>(nullptr);
}

// Parameter value in the middle of a mode's range.
inline float valueFor(int mode) { return static_cast<float>((mode + 0.5) / 16.999); }

struct Stereo {
    std::vector<double> left, right;
};

// Processes the given input in one block in the chosen precision and returns the output.
template <typename Sample>
Stereo run(Vellicor& effect, const std::vector<Sample>& left, const std::vector<Sample>& right) {
    std::vector<Sample> inL = left, inR = right, outL(left.size()), outR(left.size());
    Sample* inputs[2] = {inL.data(), inR.data()};
    Sample* outputs[2] = {outL.data(), outR.data()};
    if constexpr (sizeof(Sample) == sizeof(float))
        effect.processReplacing(inputs, outputs, static_cast<int32>(left.size()));
    else
        effect.processDoubleReplacing(inputs, outputs, static_cast<int32>(left.size()));
    return {std::vector<double>(outL.begin(), outL.end()),
            std::vector<double>(outR.begin(), outR.end())};
}

template <typename Sample>
Stereo runConstant(Vellicor& effect, Sample l, Sample r, std::size_t frames) {
    return run<Sample>(effect, std::vector<Sample>(frames, l), std::vector<Sample>(frames, r));
}

}  // namespace testutil
