// Replays the recorded processing vectors through the built module, as a host drives it,
// and requires every output sample bit for bit (on Windows, see acceptable), on a thread in
// the floating-point state a host may leave (VELLICOR_HOST_FP) that each call must hand back. A vector NAME is a plan
// (NAME.txt: seed, precision, frames and the blocks, each with its parameter value and
// sample rate), its interleaved input (NAME.in) and the expected output (NAME.out),
// little-endian samples. A build whose extended type is double replays vectors-double.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "host/vst_host.h"
#include "tests/support/testkit.h"

namespace {

struct Block {
    int frames;
    float parameter, sampleRate;
};

struct Plan {
    unsigned seed = 0;
    bool isDouble = false;
    long frames = 0;
    std::vector<Block> blocks;
};

const std::string kVectors = std::string(VELLICOR_SHARED_DIR) + (kExtendedDigits == 64 ? "/vectors" : "/vectors-double");

std::string path(const std::string& name, const char* extension) { return kVectors + "/" + name + extension; }

Plan readPlan(const std::string& name) {
    Plan plan;
    std::ifstream file(path(name, ".txt"));
    for (std::string line; std::getline(file, line);) {
        std::istringstream words(line);
        std::string key, a, b, c;
        words >> key >> a >> b >> c;
        if (key == "seed") plan.seed = static_cast<unsigned>(std::stoul(a));
        else if (key == "precision") plan.isDouble = a == "double";
        else if (key == "frames") plan.frames = std::stol(a);
        else if (key == "block")  // C hexadecimal floats, NaN and infinities among them
            plan.blocks.push_back({std::atoi(a.c_str()), std::strtof(b.c_str(), nullptr), std::strtof(c.c_str(), nullptr)});
    }
    return plan;
}

std::string bytesOf(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The output a fresh effect gives for the vector's input, interleaved like the files.
template <typename Sample>
std::vector<Sample> replay(const Plan& plan, const std::string& input) {
    setFloatingPointState(testkit::hostFloatingPointState());
    std::srand(plan.seed);  // the effect seeds its noise words from rand()
    std::string error;
    auto plugin = vhost::Plugin::load(VELLICOR_MODULE_PATH, error);
    EXPECT_TRUE(plugin) << error;
    std::vector<Sample> interleaved(2 * plan.frames), in[2], out[2];
    std::memcpy(interleaved.data(), input.data(), std::min(input.size(), interleaved.size() * sizeof(Sample)));
    for (int c = 0; c < 2 && plugin; ++c) {
        for (long i = 0; i < plan.frames; ++i) in[c].push_back(interleaved[2 * i + c]);
        out[c].resize(plan.frames);
    }
    long at = 0;
    for (const Block& block : plan.blocks) {
        if (!plugin) break;
        plugin->setSampleRate(block.sampleRate);
        plugin->setParameter(0, block.parameter);
        Sample* inputs[2] = {in[0].data() + at, in[1].data() + at};
        Sample* outputs[2] = {out[0].data() + at, out[1].data() + at};
        const FloatingPointState callers = currentFloatingPointState();
        if constexpr (sizeof(Sample) == sizeof(float)) plugin->processReplacing(inputs, outputs, block.frames);
        else plugin->processDoubleReplacing(inputs, outputs, block.frames);
        EXPECT_TRUE(currentFloatingPointState() == callers) << "the caller's floating-point state not given back";
        at += block.frames;
    }
    for (long i = 0; i < plan.frames && plugin; ++i) interleaved[2 * i] = out[0][i], interleaved[2 * i + 1] = out[1][i];
    return interleaved;
}

// On Windows the noise words come from another rand() and sin, asin and tan from other
// math libraries, which differ in the last bit for some arguments (by far more beyond
// about ±pi). There a sample may lie within two steps of 2^-23 of the vector's, and a
// hostile vector's output need only be finite and within the output stage's range (2^31
// steps of 2^-15 at most).
template <typename Sample>
bool acceptable(Sample got, Sample wanted, bool hostile) {
#ifdef _WIN32
    if (hostile) return std::isfinite(got) && std::fabs(got) <= 65536.0;
    return std::fabs(static_cast<double>(got) - wanted) <= 2.0 / 8388608.0;
#else
    (void)hostile;
    return std::memcmp(&got, &wanted, sizeof got) == 0;
#endif
}

template <typename Sample>
void expectVector(const Plan& plan, const std::string& name) {
    const std::string input = bytesOf(path(name, ".in")), expected = bytesOf(path(name, ".out"));
    const std::size_t bytes = 2 * plan.frames * sizeof(Sample);
    ASSERT_EQ(input.size(), bytes) << name << ".in";
    ASSERT_EQ(expected.size(), bytes) << name << ".out";
    // On a thread of its own, as a host's audio thread (a new Windows thread starts with the
    // x87 at 53 bits), and on this one: the same bits.
    std::vector<Sample> out;
    std::thread([&] { out = replay<Sample>(plan, input); }).join();
    const std::vector<Sample> here = replay<Sample>(plan, input);
    ASSERT_EQ(out.size(), here.size());
    EXPECT_EQ(std::memcmp(out.data(), here.data(), out.size() * sizeof(Sample)), 0) << "another thread, other bits";
    long mismatches = 0;
    std::ostringstream first;
    for (std::size_t i = 0; i < out.size(); ++i) {
        Sample wanted, given;
        std::memcpy(&wanted, expected.data() + i * sizeof(Sample), sizeof(Sample));
        std::memcpy(&given, input.data() + i * sizeof(Sample), sizeof(Sample));
        if (!acceptable(out[i], wanted, name.find("hostile") != std::string::npos) && mismatches++ == 0)
            first << "frame " << i / 2 << (i % 2 ? " right" : " left") << ": got " << std::hexfloat
                  << out[i] << ", expected " << wanted << " (input " << given << ")";
    }
    EXPECT_EQ(mismatches, 0) << first.str();
}

class VectorReplay : public ::testing::TestWithParam<std::string> {};

TEST_P(VectorReplay, MatchesBitForBit) {
    const Plan plan = readPlan(GetParam());
    long planned = 0;
    for (const Block& b : plan.blocks) planned += b.frames;
    ASSERT_TRUE(plan.frames > 0 && planned == plan.frames) << "no plan, or one that does not cover the input";
    if (plan.isDouble) expectVector<double>(plan, GetParam());
    else expectVector<float>(plan, GetParam());
}

std::vector<std::string> vectorNames() {
    std::vector<std::string> names;
    std::error_code missing;
    for (const auto& entry : std::filesystem::directory_iterator(kVectors, missing))
        if (entry.path().extension() == ".txt") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    if (names.empty()) names.push_back("missing");  // fails as a vector without a plan
    return names;
}

INSTANTIATE_TEST_SUITE_P(Vectors, VectorReplay, ::testing::ValuesIn(vectorNames()), [](const auto& info) {
    std::string name = info.param;
    std::replace_if(name.begin(), name.end(), [](unsigned char c) { return !std::isalnum(c); }, '_');
    return name;
});

}  // namespace
