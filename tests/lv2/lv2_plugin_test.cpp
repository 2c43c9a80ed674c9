// The LV2 plug-in against the VST module, both loaded as hosts load them: from a fresh
// instance, mode k gives the module's output at Monitor k/16 bit for bit, at any rate and
// whatever the block sizes; control values that are no mode get the nearest one; ports
// left unconnected are neither read nor written; and the caller's floating-point state
// comes back (VELLICOR_HOST_FP).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "host/lv2_host.h"
#include "host/vst_host.h"
#include "tests/support/testkit.h"

namespace {

constexpr const char* kUri = "urn:quillotone:vellicor";
constexpr int kFrames = 6000;
constexpr unsigned kSeed = 4242;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct Stereo {
    std::vector<float> l, r;
    explicit Stereo(int n = kFrames, float fill = 0.0f) : l(n, fill), r(n, fill) {}
    bool operator==(const Stereo& o) const {
        return std::memcmp(l.data(), o.l.data(), l.size() * sizeof(float)) == 0 &&
               std::memcmp(r.data(), o.r.data(), r.size() * sizeof(float)) == 0;
    }
};

// The programme with a few hostile samples, so the guards are part of what is compared.
Stereo programme() {
    Stereo in;
    testkit::programme(in.l.data(), in.r.data(), kFrames, 0);
    in.l[1000] = kNaN;
    in.r[2000] = INFINITY;
    in.l[3000] = 1e-40f;
    return in;
}

std::shared_ptr<lv2host::Library> library() {
    static std::string error;
    static const auto loaded = lv2host::Library::load(VELLICOR_LV2_BINARY, kUri, error);
    EXPECT_TRUE(loaded) << error;
    return loaded;
}

std::unique_ptr<lv2host::Instance> instance(double rate) {
    std::srand(kSeed);  // the core seeds its noise words from rand()
    auto made = lv2host::Instance::create(library(), rate, VELLICOR_LV2_BUNDLE);
    EXPECT_TRUE(made);
    return made;
}

// The VST module at Monitor k/16, in 512-frame blocks.
Stereo vstReference(int mode, float rate, const Stereo& in) {
    setFloatingPointState(testkit::hostFloatingPointState());
    std::srand(kSeed);
    std::string error;
    auto plugin = vhost::Plugin::load(VELLICOR_MODULE_PATH, error);
    EXPECT_TRUE(plugin) << error;
    Stereo out;
    if (!plugin) return out;
    plugin->open();
    plugin->setSampleRate(rate);
    plugin->setParameter(0, monitorValueOfMode(mode));
    plugin->mainsChanged(true);
    for (int at = 0; at < kFrames; at += 512) {
        float* i[2] = {const_cast<float*>(in.l.data()) + at, const_cast<float*>(in.r.data()) + at};
        float* o[2] = {out.l.data() + at, out.r.data() + at};
        plugin->processReplacing(i, o, std::min(512, kFrames - at));
    }
    return out;
}

// The LV2 plug-in with `control` on its Monitor port, in blocks of changing sizes; in and
// out the same buffers when `inPlace`.
Stereo lv2Render(float control, double rate, const Stereo& in, bool inPlace = false) {
    setFloatingPointState(testkit::hostFloatingPointState());
    auto plugin = instance(rate);
    Stereo out = in;
    Stereo source = in;
    if (!plugin) return out;
    plugin->connect(4, &control);
    const std::uint32_t sizes[] = {1, 0, 37, 512, 1999, 64, 4096};
    for (std::uint32_t at = 0, k = 0; at < kFrames; ++k) {
        const std::uint32_t n = std::min<std::uint32_t>(sizes[k % 7], kFrames - at);
        Stereo& from = inPlace ? out : source;
        const FloatingPointState callers = currentFloatingPointState();
        plugin->run(from.l.data() + at, from.r.data() + at, out.l.data() + at, out.r.data() + at, n);
        EXPECT_TRUE(currentFloatingPointState() == callers) << "the caller's floating-point state not given back";
        at += n;
    }
    return out;
}

// Absurd rates too: the plug-in is told them as a float, as the VST module is.
TEST(Lv2Plugin, EveryModeAtEveryRateIsTheVstModules) {
    const Stereo in = programme();
    const struct { double lv2; float vst; } rates[] = {
        {44100, 44100}, {48000, 48000}, {96000, 96000}, {22050, 22050}, {0, 0},   {1, 1},
        {-48000, -48000}, {1e9, 1e9f}, {1e300, INFINITY}, {-INFINITY, -INFINITY}, {NAN, kNaN}};
    for (const auto& rate : rates)
        for (int mode = 0; mode < kNumModes; ++mode)
            EXPECT_TRUE(lv2Render(static_cast<float>(mode), rate.lv2, in, mode % 2) ==
                        vstReference(mode, rate.vst, in))
                << "mode " << mode << " at " << rate.lv2 << " Hz";
}

TEST(Lv2Plugin, ControlValuesThatAreNoModeGetTheNearest) {
    const Stereo in = programme();
    const struct { float control; int mode; } cases[] = {
        {4.4f, 4},   {12.5f, 13},  {-0.4f, 0},  {-3.0f, 0},      {16.49f, 16}, {17.0f, 16},
        {1e30f, 16}, {-INFINITY, 0}, {INFINITY, 16}, {kNaN, 0}};
    for (const auto& c : cases)
        EXPECT_TRUE(lv2Render(c.control, 48000.0, in) == vstReference(c.mode, 48000.0f, in))
            << "control " << c.control << " should run mode " << c.mode;
}

TEST(Lv2Plugin, UnconnectedPortsAreNeitherReadNorWritten) {
    const Stereo in = programme();
    float control = 13.0f;
    {  // no control: "Out24"
        auto plugin = instance(48000.0);
        Stereo out;
        for (int at = 0; at < kFrames; at += 1000)
            plugin->run(const_cast<float*>(in.l.data()) + at, const_cast<float*>(in.r.data()) + at,
                        out.l.data() + at, out.r.data() + at, 1000);
        EXPECT_TRUE(out == vstReference(kModeOut24, 48000.0f, in));
    }
    // An output missing: nothing written anywhere. An input missing: silence.
    auto plugin = instance(48000.0);
    plugin->connect(4, &control);
    Stereo in2 = in, out(kFrames, 0.25f);
    plugin->run(in2.l.data(), in2.r.data(), nullptr, out.r.data(), kFrames);
    plugin->run(in2.l.data(), in2.r.data(), out.l.data(), nullptr, kFrames);
    EXPECT_TRUE(out == Stereo(kFrames, 0.25f));
    plugin->run(in2.l.data(), nullptr, out.l.data(), out.r.data(), kFrames);
    EXPECT_TRUE(out == Stereo(kFrames, 0.0f));
    EXPECT_TRUE(in2 == in) << "inputs written";
}

// Deactivated and activated again, an instance starts afresh.
TEST(Lv2Plugin, ActivatedAgainGivesWhatAFreshInstanceGives) {
    const Stereo in = programme();
    for (int mode : {kModePeaks, kModeSubs, kModeCansD}) {
        float control = static_cast<float>(mode);
        auto plugin = instance(48000.0);
        plugin->connect(4, &control);
        Stereo out;
        plugin->run(const_cast<float*>(in.l.data()), const_cast<float*>(in.r.data()), out.l.data(), out.r.data(), kFrames);
        plugin->restart();
        plugin->run(const_cast<float*>(in.l.data()), const_cast<float*>(in.r.data()), out.l.data(), out.r.data(), kFrames);
        EXPECT_TRUE(out == lv2Render(control, 48000.0, in)) << "mode " << mode;
    }
}

// A host may give one channel's input buffer as the other's output.
TEST(Lv2Plugin, CrossedBuffersGiveWhatSeparateOnesGive) {
    const Stereo in = programme();
    for (int mode = 0; mode < kNumModes; ++mode) {
        float control = static_cast<float>(mode);
        auto plugin = instance(48000.0);
        plugin->connect(4, &control);
        Stereo shared = in;  // left in is right out and the other way round
        plugin->run(shared.l.data(), shared.r.data(), shared.r.data(), shared.l.data(), kFrames);
        std::swap(shared.l, shared.r);
        EXPECT_TRUE(shared == lv2Render(control, 48000.0, in)) << "mode " << mode;
    }
}

}  // namespace
