// The CLAP module as a CLAP host sees it: descriptor and extensions, state, and its output
// held bit for bit to the VST module's for the same blocks, mode changes included.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "host/clap_host.h"
#include "host/vst_host.h"
#include "tests/support/testkit.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kRate = 48000.0;

// Each instance seeds its noise words from rand(), which both modules share: seeded alike,
// the two start alike.
std::unique_ptr<chost::Plugin> loadClap() {
    std::srand(1);
    std::string error;
    auto plugin = chost::Plugin::load(VELLICOR_CLAP_PATH, error);
    EXPECT_TRUE(plugin) << error;
    return plugin;
}

std::unique_ptr<chost::Plugin> runningClap() {
    auto plugin = loadClap();
    if (plugin) {
        EXPECT_TRUE(plugin->activate(kRate) && plugin->startProcessing());
    }
    return plugin;
}

std::unique_ptr<vhost::Plugin> runningVst() {
    std::srand(1);
    std::string error;
    auto plugin = vhost::Plugin::load(VELLICOR_MODULE_PATH, error);
    EXPECT_TRUE(plugin) << error;
    if (!plugin) return plugin;
    plugin->open();
    plugin->setSampleRate(static_cast<float>(kRate));
    plugin->setBlockSize(4096);
    plugin->mainsChanged(true);
    return plugin;
}

// A stereo programme block and a processed copy of it.
template <typename Sample>
struct Block {
    std::vector<Sample> l, r;
    Block(int frames, long first) : l(frames), r(frames) { testkit::programme(l.data(), r.data(), frames, first); }
    Sample* channels[2] = {};
    Sample** data() { return channels[0] = l.data(), channels[1] = r.data(), channels; }
    bool operator==(const Block& o) const {
        return l.size() == o.l.size() && std::memcmp(l.data(), o.l.data(), l.size() * sizeof(Sample)) == 0 &&
               std::memcmp(r.data(), o.r.data(), r.size() * sizeof(Sample)) == 0;
    }
};

// One VST block at a mode, over frames [from, to) of the block, in place.
template <typename Sample>
void vstPiece(vhost::Plugin& vst, Block<Sample>& block, int mode, int from, int to) {
    vst.setParameter(0, monitorValueOfMode(mode));
    Sample* piece[2] = {block.l.data() + from, block.r.data() + from};
    if constexpr (sizeof(Sample) == sizeof(double)) vst.processDoubleReplacing(piece, piece, to - from);
    else vst.processReplacing(piece, piece, to - from);
}

TEST(ClapModule, DescriptorAndExtensions) {
    auto p = loadClap();
    ASSERT_TRUE(p);
    const clap_plugin_descriptor_t* d = p->descriptor();
    EXPECT_STREQ(d->id, "com.quillotone.vellicor");
    EXPECT_STREQ(d->name, "Vellicor");
    EXPECT_STREQ(d->vendor, "quillotone");
    EXPECT_STREQ(d->version, VELLICOR_VERSION);
    std::set<std::string> features;
    for (const char* const* f = d->features; *f; ++f) features.insert(*f);
    EXPECT_EQ(features, (std::set<std::string>{"audio-effect", "utility", "stereo"}));

    const clap_plugin_audio_ports_t* ports = p->audioPorts();
    ASSERT_TRUE(ports);
    for (bool input : {true, false}) {
        clap_audio_port_info_t info;
        EXPECT_EQ(ports->count(p->plugin(), input), 1u);
        ASSERT_TRUE(ports->get(p->plugin(), 0, input, &info));
        EXPECT_EQ(info.channel_count, 2u);
        EXPECT_EQ(info.flags, uint32_t(CLAP_AUDIO_PORT_IS_MAIN | CLAP_AUDIO_PORT_SUPPORTS_64BITS));
        EXPECT_STREQ(info.port_type, CLAP_PORT_STEREO);
        EXPECT_EQ(info.in_place_pair, info.id) << "both ports have id 0";
        EXPECT_FALSE(ports->get(p->plugin(), 1, input, &info));
    }

    const clap_plugin_params_t* params = p->params();
    ASSERT_TRUE(params);
    clap_param_info_t info;
    EXPECT_EQ(params->count(p->plugin()), 1u);
    ASSERT_TRUE(params->get_info(p->plugin(), 0, &info));
    EXPECT_STREQ(info.name, "Monitor");
    EXPECT_EQ(info.flags, uint32_t(CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_ENUM | CLAP_PARAM_IS_AUTOMATABLE));
    EXPECT_EQ(std::make_tuple(info.min_value, info.max_value, info.default_value), std::make_tuple(0.0, 16.0, 0.0));
    EXPECT_FALSE(params->get_info(p->plugin(), 1, &info));
    EXPECT_EQ(p->value(), 0.0);
    EXPECT_EQ(p->value(1), -1.0) << "no parameter 1";

    char text[16];
    for (int mode = 0; mode < kNumModes; ++mode) {
        ASSERT_TRUE(params->value_to_text(p->plugin(), 0, mode, text, sizeof text));
        EXPECT_STREQ(text, monitorModeName(mode));
    }
    EXPECT_FALSE(params->value_to_text(p->plugin(), 0, 16, text, 7)) << "\"V Trick\" needs 8 bytes";
    const struct { const char* text; double value; } texts[] = {
        {"Cans B", 13}, {"cansb", 13}, {" v trick ", 16}, {"OUT24", 0}, {"0", 0}, {"16", 16}, {" 007", 7},
        {"17", -1}, {"-1", -1}, {"3.5", -1}, {"Cans E", -1}, {"", -1}, {"Cans Bx", -1}, {"99999999999", -1}};
    for (const auto& t : texts) {
        double value = -1;
        EXPECT_EQ(params->text_to_value(p->plugin(), 0, t.text, &value), t.value >= 0) << t.text;
        EXPECT_EQ(value, t.value) << t.text;
    }

    const auto* latency = p->extension<clap_plugin_latency_t>(CLAP_EXT_LATENCY);
    ASSERT_TRUE(latency);
    EXPECT_EQ(latency->get(p->plugin()), 0u);
    EXPECT_FALSE(p->extension<void>("clap.note-ports"));

    std::string error;
    EXPECT_FALSE(chost::Plugin::load(VELLICOR_CLAP_PATH, error, "com.quillotone.other"));
}

// Saved in one instance, restored in another; anything but the record is refused with the
// mode kept.
TEST(ClapModule, StateRoundTripsAndRefusesEverythingElse) {
    auto a = loadClap(), b = loadClap();
    ASSERT_TRUE(a && b);
    a->flush({{0, 13}});
    std::vector<unsigned char> saved;
    ASSERT_TRUE(a->saveState(saved));
    ASSERT_EQ(saved.size(), 16u);
    ASSERT_TRUE(b->loadState(saved, 1)) << "read a byte at a time";
    EXPECT_EQ(b->value(), 13.0);

    auto withMode = [&](double mode) {
        std::vector<unsigned char> bytes = saved;
        std::memcpy(bytes.data() + 8, &mode, 8);
        return bytes;
    };
    std::vector<unsigned char> longer = saved, badMagic = saved, badVersion = saved;
    longer.push_back(0);
    badMagic[0] = 'X';
    badVersion[4] = 2;
    const std::vector<std::vector<unsigned char>> bad = {
        {}, std::vector<unsigned char>(saved.begin(), saved.end() - 1), longer, badMagic, badVersion,
        withMode(17), withMode(-1), withMode(kNaN), withMode(2.5), withMode(1e300)};
    b->flush({{0, 5}});
    for (std::size_t i = 0; i < bad.size(); ++i) {
        EXPECT_FALSE(b->loadState(bad[i])) << "bad state " << i;
        EXPECT_EQ(b->value(), 5.0) << "bad state " << i;
    }
    ASSERT_TRUE(b->loadState(withMode(16)));
    EXPECT_EQ(b->value(), 16.0);
}

// Each mode, set before processing (through flush, as a host restoring a session does) or
// by an event at a block's start, renders what the VST module renders for the same blocks.
template <typename Sample>
void expectVstOutputPerMode() {
    const int sizes[] = {512, 1, 300, 64};
    for (int mode = 0; mode < kNumModes; ++mode) {
        auto clap = loadClap();
        auto vst = runningVst();
        ASSERT_TRUE(clap && vst);
        clap->flush({{0, double(mode)}});
        ASSERT_TRUE(clap->activate(kRate) && clap->startProcessing());
        long first = 0;
        for (int i = 0; i < 4; ++i) {
            const int now = i < 2 ? mode : (mode + 5 * i) % kNumModes;
            Block<Sample> a(sizes[i], first), b(sizes[i], first);
            first += sizes[i];
            const std::vector<chost::ParamChange> changes = {{0, double(now)}};
            ASSERT_EQ(clap->process(a.data(), a.data(), sizes[i], i ? changes : std::vector<chost::ParamChange>{}),
                      CLAP_PROCESS_CONTINUE);
            vstPiece(*vst, b, now, 0, sizes[i]);
            ASSERT_TRUE(a == b) << "mode " << mode << " block " << i;
        }
    }
}

TEST(ClapModule, FloatOutputIsTheVstModules) { expectVstOutputPerMode<float>(); }
TEST(ClapModule, DoubleOutputIsTheVstModules) { expectVstOutputPerMode<double>(); }

// Changes inside a block land on their samples: the block renders as the VST module renders
// the pieces between them. A repeat of the present mode does not split the block, and
// values out of range are held to the modes at the ends.
TEST(ClapModule, ChangesInsideABlockLandOnTheirSamples) {
    const struct {
        std::vector<chost::ParamChange> changes;
        std::vector<std::pair<int, int>> pieces;  // (start, mode) as the VST runs them
        double after;
    } cases[] = {
        {{{200, 13}}, {{0, 2}, {200, 13}}, 13},
        {{{1, 7}, {1, 9}, {511, 4}}, {{0, 2}, {1, 9}, {511, 4}}, 4},
        {{{100, 2}, {300, 40}}, {{0, 2}, {300, 16}}, 16},
        {{{0, kNaN}, {50, -3}, {60, 5.4}}, {{0, 0}, {60, 5}}, 5},
        {{{900, 8}}, {{0, 2}}, 8},  // past the end: for the next block
    };
    for (const auto& c : cases) {
        auto clap = runningClap();
        auto vst = runningVst();
        ASSERT_TRUE(clap && vst);
        Block<float> a(512, 0), b(512, 0);
        clap->flush({{0, 2}});
        ASSERT_EQ(clap->process(a.data(), a.data(), 512, c.changes), CLAP_PROCESS_CONTINUE);
        for (std::size_t i = 0; i < c.pieces.size(); ++i) {
            const int end = i + 1 < c.pieces.size() ? c.pieces[i + 1].first : 512;
            vstPiece(*vst, b, c.pieces[i].second, c.pieces[i].first, end);
        }
        EXPECT_TRUE(a == b) << "change at " << c.changes[0].time;
        EXPECT_EQ(clap->value(), c.after);
    }
}

// Calls out of order and malformed process records are refused, and leave the output alone.
TEST(ClapModule, WrongCallsAreRefused) {
    auto p = loadClap();
    ASSERT_TRUE(p);
    Block<float> block(64, 0);
    const Block<float> untouched = block;
    EXPECT_EQ(p->process(block.data(), block.data(), 64), CLAP_PROCESS_ERROR) << "before activate";
    EXPECT_FALSE(p->startProcessing()) << "before activate";
    EXPECT_FALSE(p->activate(0.0));
    EXPECT_FALSE(p->activate(kNaN));
    ASSERT_TRUE(p->activate(kRate));
    EXPECT_FALSE(p->activate(kRate)) << "second activate";
    EXPECT_EQ(p->process(block.data(), block.data(), 64), CLAP_PROCESS_ERROR) << "before start";
    ASSERT_TRUE(p->startProcessing());
    EXPECT_EQ(p->plugin()->process(p->plugin(), nullptr), CLAP_PROCESS_ERROR);

    float* both[2] = {block.l.data(), block.r.data()};
    float* oneNull[2] = {block.l.data(), nullptr};
    clap_audio_buffer_t good{both, nullptr, 2, 0, 0}, mono{both, nullptr, 1, 0, 0},
        nullChannel{oneNull, nullptr, 2, 0, 0}, noData{nullptr, nullptr, 2, 0, 0};
    const struct { const clap_audio_buffer_t* in; clap_audio_buffer_t* out; uint32_t ins, outs; } records[] = {
        {&good, &good, 0, 1}, {&good, &good, 1, 0}, {nullptr, &good, 1, 1}, {&good, nullptr, 1, 1},
        {&mono, &good, 1, 1}, {&good, &mono, 1, 1}, {&nullChannel, &good, 1, 1}, {&good, &nullChannel, 1, 1},
        {&noData, &good, 1, 1}, {&good, &noData, 1, 1}};
    for (const auto& r : records) {
        const clap_process_t record{-1, 64, nullptr, r.in, r.out, r.ins, r.outs, nullptr, nullptr};
        EXPECT_EQ(p->process(record), CLAP_PROCESS_ERROR) << (&r - records);
    }
    EXPECT_TRUE(block == untouched);
    const clap_process_t noEvents{-1, 64, nullptr, &good, &good, 1, 1, nullptr, nullptr};
    EXPECT_EQ(p->process(noEvents), CLAP_PROCESS_CONTINUE) << "no event queue: no changes";
    p->stopProcessing();
    p->deactivate();
    EXPECT_EQ(p->process(block.data(), block.data(), 64), CLAP_PROCESS_ERROR) << "after deactivate";
}

}  // namespace
