// Replays the recorded processing vectors through the built module, as a host drives it,
// and requires every output sample bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "host/vst_host.h"
#include "tests/support/vectors.h"

namespace {

std::shared_ptr<vhost::Module> loadedModule() {
    static std::shared_ptr<vhost::Module> module = [] {
        std::string error;
        auto m = vhost::Module::load(VELLICOR_MODULE_PATH, error);
        if (!m) ADD_FAILURE() << error;
        return m;
    }();
    return module;
}

template <typename Sample>
std::vector<double> replay(vhost::Plugin& plugin, const vectors::Vector& v) {
    std::vector<Sample> inL(v.frames), inR(v.frames), outL(v.frames), outR(v.frames);
    for (long i = 0; i < v.frames; ++i) {
        inL[i] = static_cast<Sample>(v.input[2 * i]);
        inR[i] = static_cast<Sample>(v.input[2 * i + 1]);
    }
    long at = 0;
    for (const vectors::Block& block : v.blocks) {
        plugin.setSampleRate(block.sampleRate);
        plugin.setParameter(0, block.parameter);
        Sample* inputs[2] = {inL.data() + at, inR.data() + at};
        Sample* outputs[2] = {outL.data() + at, outR.data() + at};
        if constexpr (sizeof(Sample) == sizeof(float))
            plugin.processReplacing(inputs, outputs, block.frames);
        else
            plugin.processDoubleReplacing(inputs, outputs, block.frames);
        at += block.frames;
    }
    std::vector<double> out(2 * v.frames);
    for (long i = 0; i < v.frames; ++i) {
        out[2 * i] = outL[i];
        out[2 * i + 1] = outR[i];
    }
    return out;
}

bool sameBits(double a, double b, bool isDouble) {
    if (isDouble) return std::memcmp(&a, &b, sizeof a) == 0;
    const float fa = static_cast<float>(a), fb = static_cast<float>(b);
    return std::memcmp(&fa, &fb, sizeof fa) == 0;
}

class VectorReplay : public ::testing::TestWithParam<std::string> {};

TEST_P(VectorReplay, MatchesBitForBit) {
    auto module = loadedModule();
    ASSERT_TRUE(module);
    const vectors::Vector v = vectors::read(VELLICOR_VECTORS_DIR, GetParam());
    long planned = 0;
    for (const auto& b : v.blocks) planned += b.frames;
    ASSERT_EQ(planned, v.frames) << "block plan does not cover the input";

    std::srand(v.seed);
    std::string error;
    auto plugin = vhost::Plugin::create(module->entry(), error, {}, module);
    ASSERT_TRUE(plugin) << error;
    const std::vector<double> out =
        v.isDouble ? replay<double>(*plugin, v) : replay<float>(*plugin, v);

    long mismatches = 0;
    std::ostringstream first;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (sameBits(out[i], v.expected[i], v.isDouble)) continue;
        if (mismatches++ == 0)
            first << "frame " << i / 2 << (i % 2 ? " right" : " left") << ": got "
                  << std::hexfloat << out[i] << ", expected " << v.expected[i] << " (input "
                  << v.input[i] << ")";
    }
    EXPECT_EQ(mismatches, 0) << first.str();
}

std::vector<std::string> vectorNames() {
    auto names = vectors::list(VELLICOR_VECTORS_DIR);
    if (names.empty()) names.push_back("README");  // reported as missing below
    return names;
}

INSTANTIATE_TEST_SUITE_P(Vectors, VectorReplay, ::testing::ValuesIn(vectorNames()),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace
