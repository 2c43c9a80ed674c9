// The Vellicor listening aid as an LV2 plug-in: two audio inputs, two audio outputs and the
// "Monitor" control as the mode number. The processing is the core's; this layer only
// turns the port values into what the core takes per block.
#include <lv2/core/lv2.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <new>

#include "effect/floating_point.h"
#include "effect/monitor_mode.h"
#include "effect/processor.h"

namespace {

constexpr const char* kUri = "urn:quillotone:vellicor";

// Port indices, as vellicor.ttl numbers them.
enum Port : std::uint32_t { kInL, kInR, kOutL, kOutR, kMonitor };

struct Instance {
    explicit Instance(float rate) noexcept : fresh(processor), sampleRate(rate) {}
    Processor processor;
    // The processor as instantiated: activation starts from it again, as LV2 asks of a
    // host's deactivate and activate, with the same noise words.
    const Processor fresh;
    float sampleRate;
    float* audio[kMonitor] = {};
    const float* monitor = nullptr;
};

// The core runs at the host's rate as a float, as the VST effect is told it; a rate beyond
// the float range becomes an infinity rather than an undefined conversion.
float rateAsFloat(double rate) {
    if (std::isnan(rate) || std::fabs(rate) <= FLT_MAX) return static_cast<float>(rate);
    return rate > 0 ? HUGE_VALF : -HUGE_VALF;
}

// [main-thread] Instantiation functions run on a thread of their own class, never beside
// run() on the same instance.
LV2_Handle instantiate(const LV2_Descriptor*, double sampleRate, const char*,
                       const LV2_Feature* const*) {
    return new (std::nothrow) Instance(rateAsFloat(sampleRate));
}

// [audio-thread] May come between runs; only stores the pointer.
void connectPort(LV2_Handle handle, std::uint32_t port, void* data) {
    auto* instance = static_cast<Instance*>(handle);
    if (port < kMonitor) instance->audio[port] = static_cast<float*>(data);
    else if (port == kMonitor) instance->monitor = static_cast<const float*>(data);
}

// [main-thread]
void activate(LV2_Handle handle) {
    auto* instance = static_cast<Instance*>(handle);
    instance->processor = instance->fresh;
}

// [audio-thread] The mode is read once per call. A missing control runs "Out24"; missing
// outputs are left alone and missing inputs give silence, both by the core.
void run(LV2_Handle handle, std::uint32_t sampleCount) {
    auto* instance = static_cast<Instance*>(handle);
    float value;
    {
        // In the processing's own floating-point state: the rounding of the control value
        // must not follow the host's, and its status flags are not the host's to see.
        const FloatingPointScope ours;
        value = monitorValueOfMode(instance->monitor ? nearestMonitorMode(*instance->monitor)
                                                     : kModeOut24);
    }
    float* inputs[2] = {instance->audio[kInL], instance->audio[kInR]};
    float* outputs[2] = {instance->audio[kOutL], instance->audio[kOutR]};
    // The core counts frames in an int32; longer runs go in pieces, which changes nothing
    // in the output.
    constexpr std::uint32_t kLongest = 1u << 30;
    std::uint32_t done = 0;
    do {  // once even for no frames, as a VST host's empty block still reaches the core
        const std::uint32_t n = sampleCount - done < kLongest ? sampleCount - done : kLongest;
        float* in[2] = {inputs[0] ? inputs[0] + done : nullptr, inputs[1] ? inputs[1] + done : nullptr};
        float* out[2] = {outputs[0] ? outputs[0] + done : nullptr, outputs[1] ? outputs[1] + done : nullptr};
        instance->processor.process(in, out, static_cast<int32>(n), instance->sampleRate, value);
        done += n;
    } while (done < sampleCount);
}

void deactivate(LV2_Handle) {}

void cleanup(LV2_Handle handle) { delete static_cast<Instance*>(handle); }

const void* extensionData(const char*) { return nullptr; }

const LV2_Descriptor kDescriptor = {kUri,       instantiate, connectPort, activate,
                                    run,        deactivate,  cleanup,     extensionData};

}  // namespace

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(
    std::uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
