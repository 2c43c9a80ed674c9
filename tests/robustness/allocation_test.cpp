// Processing must not allocate: a host's audio thread cannot wait on the heap. Counts every
// malloc in the process while the loaded modules process in every mode
// and both precisions, and while the VST module hands out its chunk.
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

}  // namespace
