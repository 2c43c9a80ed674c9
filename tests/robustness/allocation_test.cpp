// Processing must not allocate: a host's audio thread cannot wait on the heap. Counts every
// operator new and malloc in the process while the loaded module processes, in every mode,
// in both precisions, and while it hands out its chunk.
//
// The module is loaded with dlopen; its references to operator new and malloc resolve to
// the definitions below, which this executable exports. The first test proves the counter
// sees the module's allocations.
#include <gtest/gtest.h>

#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "host/vst_host.h"
#include "tests/robustness/robustness_util.h"

extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void* __libc_memalign(std::size_t, std::size_t);
extern "C" void __libc_free(void*);

namespace {
std::atomic<bool> counting{false};
std::atomic<long> mallocCalls{0};
std::atomic<long> newCalls{0};

void countMalloc() {
    if (counting.load(std::memory_order_relaxed)) mallocCalls.fetch_add(1, std::memory_order_relaxed);
}

void* newBlock(std::size_t size) {
    if (counting.load(std::memory_order_relaxed)) newCalls.fetch_add(1, std::memory_order_relaxed);
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    return p;
}
}  // namespace

extern "C" {
void* malloc(std::size_t size) {
    countMalloc();
    return __libc_malloc(size);
}
void* calloc(std::size_t n, std::size_t size) {
    countMalloc();
    return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t size) {
    countMalloc();
    return __libc_realloc(p, size);
}
void* memalign(std::size_t alignment, std::size_t size) {
    countMalloc();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) { return memalign(alignment, size); }
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    *out = memalign(alignment, size);
    return *out ? 0 : ENOMEM;
}
void free(void* p) { __libc_free(p); }
}

void* operator new(std::size_t size) { return newBlock(size); }
void* operator new[](std::size_t size) { return newBlock(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return newBlock(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

struct Count {
    long news;
    long mallocs;
};

// Runs `work` with the counters on; returns what it allocated.
template <typename Work>
Count counted(Work&& work) {
    const long n0 = newCalls.load(), m0 = mallocCalls.load();
    counting.store(true);
    work();
    counting.store(false);
    return {newCalls.load() - n0, mallocCalls.load() - m0};
}

VstIntPtr hostCallback(AEffect*, int32 opcode, int32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? kVstVersion : 0;
}

class Allocation : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        module = vhost::Module::load(VELLICOR_MODULE_PATH, error);
        ASSERT_TRUE(module) << error;
        effect = module->entry()(&hostCallback);
        ASSERT_TRUE(effect);
    }
    void TearDown() override {
        if (effect) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    }
    std::shared_ptr<vhost::Module> module;
    AEffect* effect = nullptr;
};

TEST_F(Allocation, CounterSeesTheModulesAllocations) {
    // Creating an effect inside the module allocates the object and its capability set.
    AEffect* second = nullptr;
    const Count created = counted([&] { second = module->entry()(&hostCallback); });
    ASSERT_TRUE(second);
    EXPECT_GE(created.news, 2);
    EXPECT_GE(created.mallocs, created.news);  // operator new goes through malloc
    second->dispatcher(second, effClose, 0, 0, nullptr, 0.0f);
    // And a libc-internal allocation reaches the replaced malloc too.
    char* copy = nullptr;
    const Count duplicated = counted([&] { copy = strdup("Vellicor"); });
    std::free(copy);
    EXPECT_GE(duplicated.mallocs, 1);
}

template <typename Sample>
void processAllModes(AEffect* effect) {
    constexpr int kFrames = 2048;
    std::vector<Sample> inL(kFrames), inR(kFrames), outL(kFrames), outR(kFrames);
    robust::programme(inL.data(), inR.data(), kFrames, 0);
    inL[100] = static_cast<Sample>(NAN);
    inR[200] = static_cast<Sample>(INFINITY);
    Sample* inputs[2] = {inL.data(), inR.data()};
    Sample* outputs[2] = {outL.data(), outR.data()};
    Sample* inPlace[2] = {inL.data(), inR.data()};
    const float rates[] = {44100.0f, 48000.0f, 192000.0f, 1e9f, 0.0f, NAN};
    for (int mode = -1; mode <= kNumModes; ++mode) {
        for (float rate : rates) {
            const Count c = counted([&] {
                effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, rate);
                effect->setParameter(effect, 0, robust::valueFor(mode));
                for (int frames : {1, 64, kFrames}) {
                    if constexpr (sizeof(Sample) == sizeof(float)) {
                        effect->processReplacing(effect, inputs, outputs, frames);
                        effect->processReplacing(effect, inPlace, inPlace, frames);
                    } else {
                        effect->processDoubleReplacing(effect, inputs, outputs, frames);
                        effect->processDoubleReplacing(effect, inPlace, inPlace, frames);
                    }
                }
            });
            EXPECT_EQ(c.news, 0) << "mode " << mode << " at " << rate << " Hz";
            EXPECT_EQ(c.mallocs, 0) << "mode " << mode << " at " << rate << " Hz";
        }
    }
}

TEST_F(Allocation, NoneWhileProcessingSinglePrecision) { processAllModes<float>(effect); }
TEST_F(Allocation, NoneWhileProcessingDoublePrecision) { processAllModes<double>(effect); }

TEST_F(Allocation, NoneForTheChunkAfterTheFirstRequest) {
    void* first = nullptr;
    ASSERT_EQ(effect->dispatcher(effect, effGetChunk, 0, 0, &first, 0.0f), 4);
    const Count c = counted([&] {
        for (int i = 0; i < 100; ++i) {
            float value = static_cast<float>(i) / 100.0f;
            effect->dispatcher(effect, effSetChunk, 0, sizeof value, &value, 0.0f);
            void* data = nullptr;
            effect->dispatcher(effect, effGetChunk, i % 2, 0, &data, 0.0f);
        }
    });
    EXPECT_EQ(c.news, 0);
    EXPECT_EQ(c.mallocs, 0);
}

}  // namespace
