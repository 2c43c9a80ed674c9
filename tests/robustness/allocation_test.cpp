// Processing must not allocate: a host's audio thread cannot wait on the heap. Counts every
// malloc in the process while the loaded modules process in every mode and both
// precisions, while the VST module hands out its chunk, and in the LV2 plug-in's run.
//
// The module is loaded with dlopen; its references to malloc (which the C++ runtime's
// operator new calls too) resolve to the definitions below, which this executable exports.
// The first test proves the counter sees the module's allocations.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/clap_host.h"
#include "host/lv2_host.h"
#include "host/vst_host.h"
#include "tests/support/testkit.h"

extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void* __libc_memalign(std::size_t, std::size_t);
extern "C" void __libc_free(void*);

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void count() {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

extern "C" {
void* malloc(std::size_t size) { return count(), __libc_malloc(size); }
void* calloc(std::size_t n, std::size_t size) { return count(), __libc_calloc(n, size); }
void* realloc(void* p, std::size_t size) { return count(), __libc_realloc(p, size); }
void* memalign(std::size_t alignment, std::size_t size) { return count(), __libc_memalign(alignment, size); }
void* aligned_alloc(std::size_t alignment, std::size_t size) { return memalign(alignment, size); }
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    *out = memalign(alignment, size);
    return *out ? 0 : ENOMEM;
}
void free(void* p) { __libc_free(p); }
}

namespace {

// Runs `work` with the counter on; returns how many allocations it made.
template <typename Work>
long counted(Work&& work) {
    const long before = allocations.load();
    counting.store(true);
    work();
    counting.store(false);
    return allocations.load() - before;
}

VstIntPtr hostCallback(AEffect*, int32 opcode, int32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? kVstVersion : 0;
}

// A module loaded and one effect made from it, as a host would.
class Allocation : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(module = vhost::Module::load(VELLICOR_MODULE_PATH, error)) << error;
        ASSERT_TRUE(effect = module->entry()(&hostCallback));
    }
    void TearDown() override {
        if (effect) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    }
    std::shared_ptr<vhost::Module> module;
    AEffect* effect = nullptr;
};

TEST_F(Allocation, CounterSeesTheModulesAllocations) {
    AEffect* second = nullptr;
    EXPECT_GE(counted([&] { second = module->entry()(&hostCallback); }), 1) << "the object";
    ASSERT_TRUE(second);
    second->dispatcher(second, effClose, 0, 0, nullptr, 0.0f);
    char* copy = nullptr;
    EXPECT_GE(counted([&] { copy = strdup("Vellicor"); }), 1) << "libc's own allocations";
    std::free(copy);
}

template <typename Sample>
void processEveryMode(AEffect* effect) {
    constexpr int kFrames = 2048;
    std::vector<Sample> inL(kFrames), inR(kFrames), outL(kFrames), outR(kFrames);
    testkit::programme(inL.data(), inR.data(), kFrames, 0);
    inL[100] = static_cast<Sample>(NAN);
    inR[200] = static_cast<Sample>(INFINITY);
    Sample* inputs[2] = {inL.data(), inR.data()};
    Sample* outputs[2] = {outL.data(), outR.data()};
    for (int mode = -1; mode <= kNumModes; ++mode) {
        for (float rate : {44100.0f, 48000.0f, 192000.0f, 1e9f, 0.0f, NAN}) {
            const long made = counted([&] {
                effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, rate);
                effect->setParameter(effect, 0, testkit::valueFor(mode));
                for (int frames : {1, 64, kFrames}) {
                    for (Sample** out : {outputs, inputs}) {  // out of place, then in place
                        if constexpr (sizeof(Sample) == sizeof(float))
                            effect->processReplacing(effect, inputs, out, frames);
                        else
                            effect->processDoubleReplacing(effect, inputs, out, frames);
                    }
                }
            });
            EXPECT_EQ(made, 0) << "mode " << mode << " at " << rate << " Hz";
        }
    }
}

TEST_F(Allocation, NoneWhileProcessingSinglePrecision) { processEveryMode<float>(effect); }
TEST_F(Allocation, NoneWhileProcessingDoublePrecision) { processEveryMode<double>(effect); }

TEST_F(Allocation, NoneForTheChunkAfterTheFirstRequest) {
    void* data = nullptr;
    ASSERT_EQ(effect->dispatcher(effect, effGetChunk, 0, 0, &data, 0.0f), 4);
    EXPECT_EQ(counted([&] {
        for (int i = 0; i < 100; ++i) {
            float value = static_cast<float>(i) / 100.0f;
            effect->dispatcher(effect, effSetChunk, 0, sizeof value, &value, 0.0f);
            effect->dispatcher(effect, effGetChunk, i % 2, 0, &data, 0.0f);
        }
    }), 0);
}

// The CLAP module's process, with mode changes inside blocks, in both precisions.
TEST(ClapAllocation, NoneWhileProcessing) {
    std::string error;
    auto plugin = chost::Plugin::load(VELLICOR_CLAP_PATH, error);
    ASSERT_TRUE(plugin && plugin->activate(48000.0) && plugin->startProcessing()) << error;
    constexpr int kFrames = 2048;
    std::vector<float> l(kFrames), r(kFrames);
    std::vector<double> l64(kFrames), r64(kFrames);
    float* data32[2] = {l.data(), r.data()};
    double* data64[2] = {l64.data(), r64.data()};
    clap_audio_buffer_t single{data32, nullptr, 2, 0, 0}, twice{nullptr, data64, 2, 0, 0};
    for (int mode = 0; mode < kNumModes; ++mode) {
        const chost::EventList events({{0, double(mode)}, {700, double(16 - mode)}, {1500, NAN}});
        for (clap_audio_buffer_t* audio : {&single, &twice}) {
            const clap_process_t record{-1, kFrames, nullptr, audio, audio, 1, 1, events.events(), nullptr};
            EXPECT_EQ(counted([&] { plugin->process(record); }), 0) << "mode " << mode;
        }
    }
}

// Every Monitor value a host may send, at ordinary and absurd rates, out of place and in
// place; the first count proves the counter sees the LV2 binary's allocations.
TEST(Lv2Allocation, NoneInRun) {
    std::string error;
    auto library = lv2host::Library::load(VELLICOR_LV2_BINARY, "urn:quillotone:vellicor", error);
    ASSERT_TRUE(library) << error;
    constexpr int kFrames = 2048;
    std::vector<float> inL(kFrames), inR(kFrames), outL(kFrames), outR(kFrames);
    testkit::programme(inL.data(), inR.data(), kFrames, 0);
    inL[100] = NAN;
    for (double rate : {44100.0, 192000.0, 0.0, 1e300, double(NAN)}) {
        std::unique_ptr<lv2host::Instance> plugin;
        EXPECT_GE(counted([&] { plugin = lv2host::Instance::create(library, rate, VELLICOR_LV2_BUNDLE); }), 1);
        ASSERT_TRUE(plugin);
        float control = 0.0f;
        plugin->connect(4, &control);
        for (float value : {0.0f, 2.0f, 4.0f, 7.4f, 12.0f, 13.0f, 16.0f, -1.0f, 99.0f, float(NAN)}) {
            control = value;
            const long made = counted([&] {
                for (std::uint32_t frames : {1u, 64u, 2048u}) {
                    plugin->run(inL.data(), inR.data(), outL.data(), outR.data(), frames);
                    plugin->run(inL.data(), inR.data(), inL.data(), inR.data(), frames);
                }
            });
            EXPECT_EQ(made, 0) << "Monitor " << value << " at " << rate << " Hz";
        }
    }
}

}  // namespace
