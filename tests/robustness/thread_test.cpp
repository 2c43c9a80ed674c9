// A host's audio thread processes while its other threads change the parameter, the
// sample rate and block size, restore and read the chunk, read the parameter texts and
// switch the effect off and on. Under ThreadSanitizer this must report no race, and every
// output block must be finite.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "host/vst_host.h"

namespace {

using Clock = std::chrono::steady_clock;

class Contended : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        plugin = vhost::Plugin::load(VELLICOR_MODULE_PATH, error);
        ASSERT_TRUE(plugin) << error;
        effect = plugin->effect();
        plugin->open();
        plugin->mainsChanged(true);
    }
    std::unique_ptr<vhost::Plugin> plugin;
    AEffect* effect = nullptr;
};

// Calls `step(i)` with a rising i until `stop` is set.
template <typename Step>
std::thread loop(std::atomic<bool>& stop, Step step) {
    return std::thread([&stop, step]() mutable {
        for (unsigned i = 0; !stop.load(std::memory_order_relaxed); ++i) step(i);
    });
}

TEST_F(Contended, ProcessingBesideEveryControlRequest) {
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::atomic<long> nonFinite{0};

    std::thread audio([&] {
        constexpr int kFrames = 256;
        std::vector<float> fl(kFrames), fr(kFrames), fo0(kFrames), fo1(kFrames);
        std::vector<double> dl(kFrames), dr(kFrames), do0(kFrames), do1(kFrames);
        for (int i = 0; i < kFrames; ++i) {
            dl[i] = fl[i] = static_cast<float>(0.6 * std::sin(0.03 * i));
            dr[i] = fr[i] = static_cast<float>(0.4 * std::cos(0.011 * i));
        }
        float* fin[2] = {fl.data(), fr.data()};
        float* fout[2] = {fo0.data(), fo1.data()};
        double* din[2] = {dl.data(), dr.data()};
        double* dout[2] = {do0.data(), do1.data()};
        const auto end = Clock::now() + std::chrono::milliseconds(1500);
        for (long b = 0; Clock::now() < end; ++b) {
            bool finite = true;
            if (b % 2) {
                effect->processReplacing(effect, fin, fout, kFrames);
                for (int i = 0; i < kFrames; ++i) finite = finite && std::isfinite(fo0[i]) && std::isfinite(fo1[i]);
            } else {
                effect->processDoubleReplacing(effect, din, dout, kFrames);
                for (int i = 0; i < kFrames; ++i) finite = finite && std::isfinite(do0[i]) && std::isfinite(do1[i]);
            }
            if (!finite) nonFinite.fetch_add(1);
            blocks.fetch_add(1);
        }
        stop.store(true);
    });

    const float values[] = {0.0f, 0.1f, 0.25f, 0.5f, 0.72f, 0.9f, 1.0f, NAN, INFINITY, -3.0f, 7.0f};
    std::thread parameter = loop(stop, [&](unsigned i) {
        effect->setParameter(effect, 0, values[i % (sizeof values / sizeof values[0])]);
        (void)effect->getParameter(effect, 0);
    });
    const float rates[] = {44100.0f, 48000.0f, 96000.0f, 0.0f, -1.0f, NAN, 1e9f, 1.0f, 192000.0f};
    std::thread rate = loop(stop, [&](unsigned i) {
        const float r = rates[i % (sizeof rates / sizeof rates[0])];
        switch (i % 3) {
            case 0: effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, r); break;
            case 1: effect->dispatcher(effect, effSetBlockSize, 0, 64 << (i % 6), nullptr, 0.0f); break;
            default: effect->dispatcher(effect, effSetBlockSizeAndSampleRate, 0, 512, nullptr, r);
        }
    });
    std::thread chunk = loop(stop, [&](unsigned i) {
        float restored = values[(i * 7) % (sizeof values / sizeof values[0])];
        effect->dispatcher(effect, effSetChunk, i % 2, sizeof restored, &restored, 0.0f);
        void* data = nullptr;
        const VstIntPtr bytes = effect->dispatcher(effect, effGetChunk, i % 2, 0, &data, 0.0f);
        float saved;
        if (bytes == 4 && data) std::memcpy(&saved, data, sizeof saved);
    });
    std::thread texts = loop(stop, [&](unsigned i) {
        char text[9 + 56];
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
    EXPECT_GT(blocks.load(), 10);
    EXPECT_EQ(nonFinite.load(), 0);
}

}  // namespace
