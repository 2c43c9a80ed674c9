// Many instances in one process share nothing but the process's rand() sequence, which
// seeds each one's noise: interleaved, each gives bit for bit what it gives alone, through
// either plug-in entry.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "host/lv2_host.h"
#include "host/vst_host.h"
#include "tests/support/testkit.h"

namespace {

constexpr int kInstances = 64;
constexpr int kBlocks = 24;

// Instance k: its own mode (all seventeen appear), rate and seed; through the VST module
// or the LV2 plug-in (single precision only, the Monitor port a hair off the mode number).
struct VstEntry {
    using Instance = std::unique_ptr<vhost::Plugin>;
    std::shared_ptr<vhost::Module> module;
    explicit VstEntry(std::string& error) : module(vhost::Module::load(VELLICOR_MODULE_PATH, error)) {}
    explicit operator bool() const { return module != nullptr; }
    Instance create(int k) {
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
    static void run(Instance& plugin, Sample** in, Sample** out, int n) {
        if constexpr (sizeof(Sample) == sizeof(float)) plugin->processReplacing(in, out, n);
        else plugin->processDoubleReplacing(in, out, n);
    }
    static bool doubles(int k, int j) { return (k + j) % 3 == 0; }
    // Switched off and on and asked for texts between blocks.
    static void aside(Instance& plugin) {
        plugin->mainsChanged(false);
        plugin->mainsChanged(true);
        plugin->text(effGetParamDisplay);
        plugin->chunk();
    }
};

struct Lv2Entry {
    struct Slot {
        std::unique_ptr<lv2host::Instance> plugin;
        float control;
    };
    using Instance = std::unique_ptr<Slot>;
    std::shared_ptr<lv2host::Library> library;
    explicit Lv2Entry(std::string& error)
        : library(lv2host::Library::load(VELLICOR_LV2_BINARY, "urn:quillotone:vellicor", error)) {}
    explicit operator bool() const { return library != nullptr; }
    Instance create(int k) {
        std::srand(1000u + static_cast<unsigned>(k));
        auto slot = std::make_unique<Slot>();
        slot->plugin = lv2host::Instance::create(library, 8000.0 + 2950.0 * k, VELLICOR_LV2_BUNDLE);
        if (!slot->plugin) throw std::runtime_error("instantiation refused");
        slot->control = static_cast<float>(k % kNumModes) + (k % 2 ? 0.3f : -0.2f);
        slot->plugin->connect(4, &slot->control);
        return slot;
    }
    static void run(Instance& slot, float** in, float** out, int n) {
        slot->plugin->run(in[0], in[1], out[0], out[1], static_cast<std::uint32_t>(n));
    }
    static void run(Instance&, double**, double**, int) {}
    static bool doubles(int, int) { return false; }
    static void aside(Instance& slot) { slot->plugin->connect(4, &slot->control); }
};

template <typename Entry, typename Sample>
void process(typename Entry::Instance& plugin, int k, int j, std::vector<unsigned char>& out) {
    const int n = 1 + (k * 37 + j * 101) % 500;  // block sizes from 1 to 500
    std::vector<Sample> l(n), r(n), oL(n), oR(n);
    testkit::programme(l.data(), r.data(), n, static_cast<long>(j) * 500 + k * 17);
    if (j % 5 == 4) {  // every fifth block hostile
        l[0] = static_cast<Sample>(NAN);
        r[n / 2] = static_cast<Sample>(1e30);
    }
    Sample* in[2] = {l.data(), r.data()};
    Sample* o[2] = {oL.data(), oR.data()};
    Entry::run(plugin, in, o, n);
    for (const auto* channel : {&oL, &oR}) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(channel->data());
        out.insert(out.end(), bytes, bytes + n * sizeof(Sample));
    }
}

// Block j of instance k, in single or double precision, appended to `out`.
template <typename Entry>
void runBlock(typename Entry::Instance& plugin, int k, int j, std::vector<unsigned char>& out) {
    if (Entry::doubles(k, j)) process<Entry, double>(plugin, k, j, out);
    else process<Entry, float>(plugin, k, j, out);
}

template <typename Entry>
class ManyInstances : public ::testing::Test {};
using Entries = ::testing::Types<VstEntry, Lv2Entry>;
TYPED_TEST_SUITE(ManyInstances, Entries);

TYPED_TEST(ManyInstances, InterleavedGiveWhatEachGivesAlone) {
    using Entry = TypeParam;
    std::string error;
    Entry entry(error);
    ASSERT_TRUE(entry) << error;
    std::vector<std::vector<unsigned char>> alone(kInstances), together(kInstances);
    for (int k = 0; k < kInstances; ++k) {
        auto plugin = entry.create(k);
        for (int j = 0; j < kBlocks; ++j) runBlock<Entry>(plugin, k, j, alone[k]);
    }
    // All alive at once, created in reverse order, processed round-robin; half of them
    // also busy with other requests between blocks.
    std::vector<typename Entry::Instance> plugins(kInstances);
    for (int k = kInstances - 1; k >= 0; --k) plugins[k] = entry.create(k);
    for (int j = 0; j < kBlocks; ++j) {
        for (int k = 0; k < kInstances; ++k) {
            runBlock<Entry>(plugins[k], k, j, together[k]);
            if (k % 2) Entry::aside(plugins[k]);
        }
    }
    for (int k = 0; k < kInstances; ++k)
        EXPECT_TRUE(alone[k] == together[k]) << "instance " << k << " differs beside the others";
}

}  // namespace
