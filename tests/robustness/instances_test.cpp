// Many instances in one process share nothing but the process's rand() sequence, which
// seeds each one's noise: interleaved, each gives bit for bit what it gives alone.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "host/vst_host.h"
#include "tests/support/testkit.h"

namespace {

constexpr int kInstances = 64;
constexpr int kBlocks = 24;

// Instance k: its own mode (all seventeen appear), rate and seed.
std::unique_ptr<vhost::Plugin> create(const std::shared_ptr<vhost::Module>& module, int k) {
    std::string error;
    std::srand(1000u + static_cast<unsigned>(k));
    auto plugin = vhost::Plugin::create(module->entry(), error, {}, module);
    if (!plugin) throw std::runtime_error(error);
    plugin->open();
    plugin->setSampleRate(8000.0f + 2950.0f * static_cast<float>(k));
    plugin->setParameter(0, testkit::valueFor(k % kNumModes));
    plugin->mainsChanged(true);
    return plugin;
}

template <typename Sample>
void process(vhost::Plugin& plugin, int k, int j, std::vector<unsigned char>& out) {
    const int n = 1 + (k * 37 + j * 101) % 500;  // block sizes from 1 to 500
    std::vector<Sample> l(n), r(n), oL(n), oR(n);
    testkit::programme(l.data(), r.data(), n, static_cast<long>(j) * 500 + k * 17);
    if (j % 5 == 4) {  // every fifth block hostile
        l[0] = static_cast<Sample>(NAN);
        r[n / 2] = static_cast<Sample>(1e30);
    }
    Sample* in[2] = {l.data(), r.data()};
    Sample* o[2] = {oL.data(), oR.data()};
    if constexpr (sizeof(Sample) == sizeof(float)) plugin.processReplacing(in, o, n);
    else plugin.processDoubleReplacing(in, o, n);
    for (const auto* channel : {&oL, &oR}) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(channel->data());
        out.insert(out.end(), bytes, bytes + n * sizeof(Sample));
    }
}

// Block j of instance k, in single or double precision, appended to `out`.
void runBlock(vhost::Plugin& plugin, int k, int j, std::vector<unsigned char>& out) {
    if ((k + j) % 3 == 0) process<double>(plugin, k, j, out);
    else process<float>(plugin, k, j, out);
}

TEST(ManyInstances, InterleavedGiveWhatEachGivesAlone) {
    std::string error;
    auto module = vhost::Module::load(VELLICOR_MODULE_PATH, error);
    ASSERT_TRUE(module) << error;
    std::vector<std::vector<unsigned char>> alone(kInstances), together(kInstances);
    for (int k = 0; k < kInstances; ++k) {
        auto plugin = create(module, k);
        for (int j = 0; j < kBlocks; ++j) runBlock(*plugin, k, j, alone[k]);
    }
    // All alive at once, created in reverse order, processed round-robin; half of them
    // also switched off and on and asked for texts between blocks.
    std::vector<std::unique_ptr<vhost::Plugin>> plugins(kInstances);
    for (int k = kInstances - 1; k >= 0; --k) plugins[k] = create(module, k);
    for (int j = 0; j < kBlocks; ++j) {
        for (int k = 0; k < kInstances; ++k) {
            runBlock(*plugins[k], k, j, together[k]);
            if (k % 2) {
                plugins[k]->mainsChanged(false);
                plugins[k]->mainsChanged(true);
                plugins[k]->text(effGetParamDisplay);
                plugins[k]->chunk();
            }
        }
    }
    for (int k = 0; k < kInstances; ++k)
        EXPECT_TRUE(alone[k] == together[k]) << "instance " << k << " differs beside the others";
}

}  // namespace
