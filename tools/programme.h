// The built-in demonstration programme, and a frame source over samples in memory.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/audio_file.h"

namespace vrender {

// Interleaved stereo frames held in memory.
class MemorySource : public FrameSource {
public:
    MemorySource(std::vector<float> interleaved, int sampleRate)
        : samples_(std::move(interleaved)), rate_(sampleRate) {}
    int channels() const override { return 2; }
    int sampleRate() const override { return rate_; }
    std::int64_t frames() const override { return static_cast<std::int64_t>(samples_.size() / 2); }
    std::int64_t read(float* buffer, std::int64_t count) override;
    std::int64_t read(double* buffer, std::int64_t count) override;
    void rewind() { position_ = 0; }

private:
    std::vector<float> samples_;
    int rate_;
    std::int64_t position_ = 0;
};

// About ten seconds of stereo test programme at the given rate: noise with a different
// balance on each side, a logarithmic sweep, a low bass tone, a wide pair of tones,
// transients and a silent tail. The same every time.
std::vector<float> demoProgramme(int sampleRate);

}  // namespace vrender
