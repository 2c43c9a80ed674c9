// Many instances in one process share nothing but the process's rand() sequence, which
// seeds each one's noise: interleaved, each gives bit for bit what it gives alone.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/vst_host.h"
#include "tests/robustness/robustness_util.h"

namespace {

constexpr int kInstances = 64;
constexpr int kBlocks = 24;

struct Instance {
    int mode;
    float rate;
    unsigned seed;
};

Instance instance(int k) {
    // Every instance its own mode (all seventeen appear) and its own rate.
    return {k % kNumModes, 8000.0f + 2950.0f * static_cast<float>(k), 1000u + static_cast<unsigned>(k)};
}

// Block j of instance k: a size between 1 and 500, a precision, and programme with the
// instance's own phase. Every fifth block holds hostile samples.
int blockSize(int k, int j) { return 1 + (k * 37 + j * 101) % 500; }
bool doubleBlock(int k, int j) { return (k + j) % 3 == 0; }

template <typename Sample>
void fill(std::vector<Sample>& l, std::vector<Sample>& r, int k, int j) {
    const int n = blockSize(k, j);
    l.resize(n);
    r.resize(n);
    robust::programme(l.data(), r.data(), n, static_cast<long>(j) * 500 + k * 17);
    if (j % 5 == 4) {
        l[0] = static_cast<Sample>(NAN);
        r[n / 2] = static_cast<Sample>(1e30);
    }
}

class Host {
public:
    Host() {
        std::string error;
        module_ = vhost::Module::load(VELLICOR_MODULE_PATH, error);
        if (!module_) throw std::runtime_error(error);
    }
    std::unique_ptr<vhost::Plugin> create(const Instance& in) {
        std::string error;
        std::srand(in.seed);
        auto plugin = vhost::Plugin::create(module_->entry(), error, {}, module_);
        if (!plugin) throw std::runtime_error(error);
        plugin->open();
        plugin->setSampleRate(in.rate);
        plugin->setParameter(0, robust::valueFor(in.mode));
        plugin->mainsChanged(true);
        return plugin;
    }

private:
    std::shared_ptr<vhost::Module> module_;
};

// Processes block j of instance k and appends both output channels' bytes to `out`.
void runBlock(vhost::Plugin& plugin, int k, int j, std::vector<unsigned char>& out) {
    auto append = [&out](const void* p, std::size_t bytes) {
        const auto* b = static_cast<const unsigned char*>(p);
        out.insert(out.end(), b, b + bytes);
    };
    if (doubleBlock(k, j)) {
        std::vector<double> l, r;
        fill(l, r, k, j);
        std::vector<double> oL(l.size()), oR(l.size());
        double* in[2] = {l.data(), r.data()};
        double* o[2] = {oL.data(), oR.data()};
        plugin.processDoubleReplacing(in, o, static_cast<int32>(l.size()));
        append(oL.data(), oL.size() * sizeof(double));
        append(oR.data(), oR.size() * sizeof(double));
    } else {
        std::vector<float> l, r;
        fill(l, r, k, j);
        std::vector<float> oL(l.size()), oR(l.size());
        float* in[2] = {l.data(), r.data()};
        float* o[2] = {oL.data(), oR.data()};
        plugin.processReplacing(in, o, static_cast<int32>(l.size()));
        append(oL.data(), oL.size() * sizeof(float));
        append(oR.data(), oR.size() * sizeof(float));
    }
}

TEST(ManyInstances, InterleavedGiveWhatEachGivesAlone) {
    Host host;
    std::vector<std::vector<unsigned char>> alone(kInstances);
    for (int k = 0; k < kInstances; ++k) {
        auto plugin = host.create(instance(k));
        for (int j = 0; j < kBlocks; ++j) runBlock(*plugin, k, j, alone[k]);
    }

    // All alive at once, created in reverse order, processed round-robin block by block;
    // half of them also switched off and on and asked for texts between blocks.
    std::vector<std::unique_ptr<vhost::Plugin>> plugins(kInstances);
    for (int k = kInstances - 1; k >= 0; --k) plugins[k] = host.create(instance(k));
    std::vector<std::vector<unsigned char>> together(kInstances);
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
    for (int k = 0; k < kInstances; ++k) {
        ASSERT_EQ(alone[k].size(), together[k].size());
        EXPECT_TRUE(alone[k] == together[k])
            << "instance " << k << " (mode " << instance(k).mode << ", " << instance(k).rate
            << " Hz) differs when run beside the others";
    }
}

}  // namespace
