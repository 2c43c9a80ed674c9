// Cost of one 512-frame block of stereo noise in every mode, sample rate and precision,
// through the loaded module's process entries as a host calls them ("Module/...") and
// through the step-by-step processing ("StepByStep/..."); and, float at 48 kHz in 512- and
// 32-frame blocks, the VST module's entry beside the LV2 plug-in's run ("Entry/...").
// Counters: ns per stereo frame and the real-time factor (seconds of audio processed per
// second of CPU).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/lv2_host.h"
#include "host/vst_host.h"
#include "tests/reference/step_by_step.h"

namespace {

constexpr int32 kBlock = 512;
constexpr int kNoiseFrames = 1 << 16;  // cycled through block by block

const char* const kModeNames[17] = {"Out24",  "Out16",   "Peaks",   "Slew",   "Subs",
                                    "Mono",   "Side",    "Vinyl",   "Aurat",  "MonoRat",
                                    "MonoLat", "Phone",  "CansA",   "CansB",  "CansC",
                                    "CansD",  "VTrick"};
const float kRates[] = {44100.0f, 48000.0f, 96000.0f, 192000.0f};

std::string modulePath() {
    const char* path = std::getenv("VELLICOR_MODULE");
    return path ? path : VELLICOR_MODULE_PATH;
}

float valueFor(int mode) { return static_cast<float>((mode + 0.5) / 16.999); }

template <typename Sample>
struct Noise {
    std::vector<Sample> left, right, outLeft, outRight;
    Noise() : left(kNoiseFrames), right(kNoiseFrames), outLeft(kBlock), outRight(kBlock) {
        std::mt19937 rng(2024);
        std::uniform_real_distribution<double> u(-0.5, 0.5);
        for (int i = 0; i < kNoiseFrames; ++i) {
            left[i] = static_cast<Sample>(u(rng));
            right[i] = static_cast<Sample>(u(rng));
        }
    }
};

template <typename Sample>
Noise<Sample>& noise() {
    static Noise<Sample> n;
    return n;
}

// CPU time of this thread: other load on the machine does not count against a mode.
double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

void setCounters(benchmark::State& state, float rate, int32 block, double seconds) {
    const double frames = static_cast<double>(state.iterations()) * block;
    state.counters["ns_per_frame"] = seconds * 1e9 / frames;
    state.counters["realtime_x"] = frames / rate / seconds;
}

// Runs process(inputs, outputs) once per iteration over successive blocks of the noise.
template <typename Sample, typename Process>
void runBlocks(benchmark::State& state, float rate, Process process, int32 block = kBlock) {
    Noise<Sample>& n = noise<Sample>();
    int at = 0;
    const double start = threadSeconds();
    for (auto _ : state) {
        Sample* inputs[2] = {n.left.data() + at, n.right.data() + at};
        Sample* outputs[2] = {n.outLeft.data(), n.outRight.data()};
        process(inputs, outputs);
        benchmark::DoNotOptimize(n.outLeft.data());
        benchmark::ClobberMemory();
        at += block;
        if (at + block > kNoiseFrames) at = 0;
    }
    setCounters(state, rate, block, threadSeconds() - start);
}

std::unique_ptr<vhost::Plugin> openModule(benchmark::State& state, int mode, float rate,
                                          int32 block) {
    std::string error;
    auto plugin = vhost::Plugin::load(modulePath(), error);
    if (!plugin) {
        state.SkipWithError(error.c_str());
        return nullptr;
    }
    plugin->open();
    plugin->setSampleRate(rate);
    plugin->setBlockSize(block);
    plugin->setParameter(0, valueFor(mode));
    plugin->mainsChanged(true);
    return plugin;
}

template <typename Sample>
void moduleBench(benchmark::State& state, int mode, float rate, int32 block) {
    auto plugin = openModule(state, mode, rate, block);
    if (!plugin) return;
    AEffect* effect = plugin->effect();
    runBlocks<Sample>(state, rate, [effect, block](Sample** in, Sample** out) {
        if constexpr (sizeof(Sample) == sizeof(float))
            effect->processReplacing(effect, in, out, block);
        else
            effect->processDoubleReplacing(effect, in, out, block);
    }, block);
    plugin->mainsChanged(false);
}

// The LV2 plug-in as a host runs it: the control port holds the mode number.
void lv2Bench(benchmark::State& state, int mode, float rate, int32 block) {
    std::string error;
    auto library = lv2host::Library::load(VELLICOR_LV2_BINARY, "urn:quillotone:vellicor", error);
    auto plugin = library ? lv2host::Instance::create(library, rate, VELLICOR_LV2_BUNDLE) : nullptr;
    if (!plugin) {
        state.SkipWithError(library ? "the LV2 plug-in refused to instantiate" : error.c_str());
        return;
    }
    float control = static_cast<float>(mode);
    plugin->connect(4, &control);
    runBlocks<float>(state, rate, [&plugin, block](float** in, float** out) {
        plugin->run(in[0], in[1], out[0], out[1], static_cast<std::uint32_t>(block));
    }, block);
}

template <typename Sample>
void stepByStepBench(benchmark::State& state, int mode, float rate) {
    auto processor = std::make_unique<stepref::Processor>();
    processor->state.noiseStateL = 0x9E3779B9u;
    processor->state.noiseStateR = 0x7F4A7C15u;
    const float value = valueFor(mode);
    stepref::Processor* p = processor.get();
    runBlocks<Sample>(state, rate, [p, rate, value](Sample** in, Sample** out) {
        if constexpr (sizeof(Sample) == sizeof(float))
            p->processReplacing(in, out, kBlock, rate, value);
        else
            p->processDoubleReplacing(in, out, kBlock, rate, value);
    });
}

void registerAll() {
    for (const char* kind : {"Module", "StepByStep"}) {
        const bool module = kind[0] == 'M';
        for (int mode = 0; mode < 17; ++mode) {
            for (float rate : kRates) {
                for (const char* precision : {"float", "double"}) {
                    const bool isFloat = precision[0] == 'f';
                    const std::string name = std::string(kind) + "/" + kModeNames[mode] + "/" +
                                             std::to_string(static_cast<int>(rate)) + "/" +
                                             precision;
                    if (module && isFloat)
                        benchmark::RegisterBenchmark(name.c_str(), moduleBench<float>, mode, rate, kBlock);
                    else if (module)
                        benchmark::RegisterBenchmark(name.c_str(), moduleBench<double>, mode, rate, kBlock);
                    else if (isFloat)
                        benchmark::RegisterBenchmark(name.c_str(), stepByStepBench<float>, mode, rate);
                    else
                        benchmark::RegisterBenchmark(name.c_str(), stepByStepBench<double>, mode, rate);
                }
            }
        }
    }
}

}  // namespace

// Mode k in LV2 is Monitor k/16 in VST; valueFor(k) selects the same mode.
void registerEntries() {
    for (int32 block : {512, 32}) {
        for (int mode = 0; mode < 17; ++mode) {
            const std::string tail = std::string("/") + kModeNames[mode] + "/" + std::to_string(block);
            benchmark::RegisterBenchmark(("Entry/VST" + tail).c_str(), moduleBench<float>, mode,
                                         48000.0f, block);
            benchmark::RegisterBenchmark(("Entry/LV2" + tail).c_str(), lv2Bench, mode, 48000.0f,
                                         block);
        }
    }
}

int main(int argc, char** argv) {
    registerAll();
    registerEntries();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
