// A host's audio thread processes while its other threads change the parameter, the
// sample rate and block size, restore and read the chunk, read the parameter texts and
// switch the effect off and on. Under ThreadSanitizer this must report no race, and every
// output block must be finite.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "host/lv2_host.h"
#include "host/vst_host.h"

namespace {

// Calls `step(i)` with a rising i until `stop` is set.
template <typename Step>
std::thread loop(std::atomic<bool>& stop, Step step) {
    return std::thread([&stop, step]() mutable {
        for (unsigned i = 0; !stop.load(std::memory_order_relaxed); ++i) step(i);
    });
}

// One block of a sine pair; false when any output sample is not finite.
template <typename Sample>
bool processFinite(AEffect* effect) {
    constexpr int kFrames = 256;
    Sample l[kFrames], r[kFrames], oL[kFrames], oR[kFrames];
    for (int i = 0; i < kFrames; ++i) l[i] = Sample(0.6 * std::sin(0.03 * i)), r[i] = Sample(0.4 * std::cos(0.011 * i));
    Sample* in[2] = {l, r};
    Sample* out[2] = {oL, oR};
    if constexpr (sizeof(Sample) == sizeof(float)) effect->processReplacing(effect, in, out, kFrames);
    else effect->processDoubleReplacing(effect, in, out, kFrames);
    return std::all_of(oL, oL + kFrames, [](Sample x) { return std::isfinite(x); }) &&
           std::all_of(oR, oR + kFrames, [](Sample x) { return std::isfinite(x); });
}

TEST(Contended, ProcessingBesideEveryControlRequest) {
    std::string error;
    auto plugin = vhost::Plugin::load(VELLICOR_MODULE_PATH, error);
    ASSERT_TRUE(plugin) << error;
    AEffect* effect = plugin->effect();
    plugin->open();
    plugin->mainsChanged(true);
    std::atomic<bool> stop{false};
    long blocks = 0, nonFinite = 0;
    std::thread audio([&] {
        for (const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
             std::chrono::steady_clock::now() < end; ++blocks)
            nonFinite += !(blocks % 2 ? processFinite<float>(effect) : processFinite<double>(effect));
        stop.store(true);
    });

    const float values[] = {0.0f, 0.1f, 0.25f, 0.5f, 0.72f, 0.9f, 1.0f, NAN, INFINITY, -3.0f, 7.0f};
    const float rates[] = {44100.0f, 48000.0f, 96000.0f, 0.0f, -1.0f, NAN, 1e9f, 1.0f, 192000.0f};
    std::thread parameter = loop(stop, [&](unsigned i) {
        effect->setParameter(effect, 0, values[i % 11]);
        (void)effect->getParameter(effect, 0);
    });
    std::thread rate = loop(stop, [&](unsigned i) {
        const float r = rates[i % 9];
        if (i % 3 == 0) effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, r);
        else if (i % 3 == 1) effect->dispatcher(effect, effSetBlockSize, 0, 64 << (i % 6), nullptr, 0.0f);
        else effect->dispatcher(effect, effSetBlockSizeAndSampleRate, 0, 512, nullptr, r);
    });
    std::thread chunk = loop(stop, [&](unsigned i) {
        float restored = values[(i * 7) % 11], saved;
        effect->dispatcher(effect, effSetChunk, i % 2, sizeof restored, &restored, 0.0f);
        void* data = nullptr;
        if (effect->dispatcher(effect, effGetChunk, i % 2, 0, &data, 0.0f) == 4 && data)
            std::memcpy(&saved, data, sizeof saved);
    });
    std::thread texts = loop(stop, [&](unsigned i) {
        char text[65];
        const int32 opcodes[] = {effGetParamDisplay, effGetParamName, effGetParamLabel};
        effect->dispatcher(effect, opcodes[i % 3], 0, 0, text, 0.0f);
        char word[] = "x2in2out";
        effect->dispatcher(effect, effCanDo, 0, 0, word, 0.0f);
    });
    std::thread mains = loop(stop, [&](unsigned i) {
        effect->dispatcher(effect, effMainsChanged, 0, i % 2, nullptr, 0.0f);
        if (i % 2) std::this_thread::yield();
    });
    for (std::thread* t : {&audio, &parameter, &rate, &chunk, &texts, &mains}) t->join();
    EXPECT_GT(blocks, 10);
    EXPECT_EQ(nonFinite, 0);
}

// LV2 hosts run instances on several threads at once and make and free others beside them;
// each thread's instance comes and goes with the mode on its port changing between runs.
TEST(Contended, Lv2InstancesOnManyThreads) {
    std::string error;
    auto library = lv2host::Library::load(VELLICOR_LV2_BINARY, "urn:quillotone:vellicor", error);
    ASSERT_TRUE(library) << error;
    std::atomic<bool> stop{false};
    std::atomic<long> nonFinite{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.push_back(loop(stop, [&, t](unsigned i) {
            auto plugin = lv2host::Instance::create(library, 44100.0 * (1 + t), VELLICOR_LV2_BUNDLE);
            float control = 0.0f, l[256], r[256];
            plugin->connect(4, &control);
            for (int block = 0; block < 34; ++block) {
                control = static_cast<float>((block + i + t) % 17);
                for (int k = 0; k < 256; ++k) l[k] = float(0.6 * std::sin(0.03 * k)), r[k] = float(0.4 * std::cos(0.011 * k));
                plugin->run(l, r, l, r, 256);
                nonFinite += !std::all_of(l, l + 256, [](float x) { return std::isfinite(x); });
            }
        }));
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    stop.store(true);
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(nonFinite.load(), 0);
}

}  // namespace
