// The renderer as a user runs it: its files must hold exactly what the effect produces when
// a host feeds it the same samples, and every failure must leave nothing behind.
#include <gtest/gtest.h>
#include <sndfile.hh>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>

#include "host/vst_host.h"

namespace {

float modeValue(int mode) { return static_cast<float>((mode + 0.5) / 16.999); }

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::string contents(const std::string& path) {
    return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}

std::string floatBytes(float value) { return std::string(reinterpret_cast<const char*>(&value), 4); }

std::set<std::string> filesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename());
    return names;
}

// Channels, rate, libsndfile format word and frames of an audio file.
std::tuple<int, int, int, long> describe(const std::string& path) {
    const SndfileHandle file(path);
    return {file.channels(), file.samplerate(), file.format(), file.frames()};
}

std::vector<double> samples(const std::string& path) {
    SndfileHandle file(path);
    if (!file.rawHandle()) throw std::runtime_error("cannot read " + path);
    std::vector<double> interleaved(file.frames() * file.channels());
    file.readf(interleaved.data(), file.frames());
    return interleaved;
}

// Noise, a sine and a silent stretch; 4000 frames do not fill the last block of 300.
void writeInput(const std::string& path, int channels, int rate, int format) {
    std::vector<float> samples;
    std::minstd_rand noise(12345);
    for (int i = 0; i < 4000 * channels; ++i) {
        const int frame = i / channels, channel = i % channels;
        const float sine = 0.3f * std::sin(0.05f * frame * (channel + 1));
        samples.push_back(frame < 1500 ? noise() / 2147483647.0f - 0.5f : frame < 3000 ? sine : 0.0f);
    }
    SndfileHandle(path, SFM_WRITE, format, channels, rate).writef(samples.data(), 4000);
}

// What the tool wrote must be, bit for bit and the sign of a zero too, what the host library
// gets from the module for the same input file (its first and last channel), blocks and mode.
template <typename T>
void expectHostsRender(const std::string& inputFile, int block, int mode, const std::vector<double>& written) {
    const auto [channels, rate, format, frames] = describe(inputFile);
    const std::vector<double> input = samples(inputFile);
    ASSERT_EQ(written.size(), 2u * frames);
    std::srand(1);  // the tool starts every instance from the same generator state
    std::string error;
    auto plugin = vhost::Plugin::load(VELLICOR_MODULE_PATH, error, {kVstVersion, rate, block});
    ASSERT_TRUE(plugin) << error;
    plugin->open();
    plugin->setSampleRate(static_cast<float>(rate));
    plugin->setBlockSize(block);
    plugin->setParameter(0, modeValue(mode));
    plugin->mainsChanged(true);
    std::vector<T> inL(block), inR(block), outL(block), outR(block);
    T *inputs[2] = {inL.data(), inR.data()}, *outputs[2] = {outL.data(), outR.data()};
    for (sf_count_t start = 0; start < frames; start += block) {
        const int n = static_cast<int>(std::min<sf_count_t>(block, frames - start));
        for (int i = 0; i < n; ++i) {  // the file's samples are floats
            inL[i] = static_cast<float>(input[(start + i) * channels]);
            inR[i] = static_cast<float>(input[(start + i) * channels + channels - 1]);
        }
        if constexpr (std::is_same_v<T, float>) plugin->processReplacing(inputs, outputs, n);
        else plugin->processDoubleReplacing(inputs, outputs, n);
        for (int i = 0; i < n; ++i)
            ASSERT_TRUE(sameBits(outL[i], written[2 * (start + i)]) && sameBits(outR[i], written[2 * (start + i) + 1]))
                << "first difference at frame " << start + i;
    }
}

// Each test runs inside a fresh folder that holds a stereo float input, in.wav; the folder
// goes with everything in it at the end.
struct RenderTool : testing::Test {
    RenderTool() {
        if (!mkdtemp(dir.data())) throw std::runtime_error("mkdtemp failed");
        std::filesystem::current_path(dir);
        writeInput("in.wav", 2, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    }
    ~RenderTool() override {
        std::error_code ignored;
        std::filesystem::current_path(home, ignored);
        std::filesystem::remove_all(dir, ignored);
    }

    // Runs the tool, which must exit with status, and keeps what it prints in out and err;
    // blocks > 0 limits any file it writes to that many 512-byte blocks, as a nearly full disk
    // would.
    void run(const std::vector<std::string>& args, int status = 0, int blocks = 0) {
        std::string command = (blocks ? "ulimit -f " + std::to_string(blocks) + "; " : "") + "exec '" RENDER_TOOL "'";
        for (const std::string& arg : args) command += " '" + arg + "'";  // no argument holds a quote mark
        const int code = std::system((command + " >.out 2>.err").c_str());
        out = contents(".out");
        err = contents(".err");
        EXPECT_EQ(WIFEXITED(code) ? WEXITSTATUS(code) : -1, status) << err;
    }

    // Runs the tool, which must succeed, and reads back the file it wrote, named last.
    std::vector<double> render(const std::vector<std::string>& args) {
        run(args);
        return samples(args.back());
    }

    const std::filesystem::path home = std::filesystem::current_path();
    std::string dir = std::filesystem::temp_directory_path() / "vellicor-render-test.XXXXXX", out, err;
};

TEST_F(RenderTool, RendersEqualTheHostLibraryBitForBit) {
    for (const char* mode : {"2", "13", "4"}) {  // Peaks and Cans B carry delay lines, Subs clips
        SCOPED_TRACE(std::string("mode ") + mode);
        const auto single = render({"--mode", mode, "--block", "300", "--quiet", "in.wav", "f.wav"});
        expectHostsRender<float>("in.wav", 300, std::atoi(mode), single);
        const auto twice =
            render({"--mode", mode, "--block", "300", "--double", "--format", "double", "in.wav", "d.wav"});
        expectHostsRender<double>("in.wav", 300, std::atoi(mode), twice);
    }
    // Mono 16-bit input at another rate feeds both inputs; the output keeps the rate and is
    // 32-bit float by default.
    writeInput("mono.wav", 1, 22050, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    expectHostsRender<float>("mono.wav", 512, 8, render({"--mode", "aurat", "mono.wav", "m.wav"}));
    EXPECT_NE(out.find("Aurat"), std::string::npos) << out;
    EXPECT_EQ(describe("m.wav"), std::make_tuple(2, 22050, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 4000L));
    // The container follows the extension.
    writeInput("in.aiff", 2, 44100, SF_FORMAT_AIFF | SF_FORMAT_PCM_24);
    run({"--format", "24", "in.aiff", "o.flac"});
    EXPECT_EQ(std::get<2>(describe("o.flac")), SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
}

TEST_F(RenderTool, SavedStateRestoresTheSameRender) {
    const auto saved = render({"--mode", "Cans B", "--save-state", "b.state", "in.wav", "a.wav"});
    EXPECT_EQ(contents("b.state"), floatBytes(modeValue(13)));
    EXPECT_EQ(render({"--state", "b.state", "--save-state", "again.state", "in.wav", "b.wav"}), saved);
    EXPECT_NE(out.find("Cans B"), std::string::npos) << out;
    EXPECT_EQ(contents("again.state"), floatBytes(modeValue(13)));
    // A state from elsewhere is clamped by the effect, as a host's restore would be.
    std::ofstream("high.state", std::ios::binary) << floatBytes(1.5f);
    run({"--state", "high.state", "--save-state", "clamped.state", "in.wav", "c.wav"});
    EXPECT_NE(out.find("V Trick"), std::string::npos) << out;
    EXPECT_EQ(contents("clamped.state"), floatBytes(1.0f));
}

TEST_F(RenderTool, AllModesAndDemoWriteOneFilePerMode) {
    run({"--all-modes", "in.wav", "modes"});
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2 + 17);  // header, units, a row per mode
    EXPECT_EQ(filesIn("modes"),
              (std::set<std::string>{"00-out24.wav", "01-out16.wav", "02-peaks.wav", "03-slew.wav", "04-subs.wav",
                                     "05-mono.wav", "06-side.wav", "07-vinyl.wav", "08-aurat.wav", "09-monorat.wav",
                                     "10-monolat.wav", "11-phone.wav", "12-cans-a.wav", "13-cans-b.wav",
                                     "14-cans-c.wav", "15-cans-d.wav", "16-v-trick.wav"}));
    // A mode's file does not depend on the modes rendered before it.
    EXPECT_EQ(render({"--mode", "13", "in.wav", "single.wav"}), samples("modes/13-cans-b.wav"));

    run({"--demo", "demo", "--format", "24"});
    for (const char* name : {"(input)", "Out24", "Peaks", "MonoLat", "Cans D", "V Trick"})
        EXPECT_NE(out.find(name), std::string::npos) << name;
    EXPECT_EQ(filesIn("demo").size(), 18u);  // the programme and seventeen modes
    for (const std::string& file : filesIn("demo"))
        EXPECT_EQ(describe("demo/" + file), std::make_tuple(2, 48000, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 480000L));
}

TEST_F(RenderTool, EveryFailureSaysWhyFailsAndLeavesNoFile) {
    writeInput("three.wav", 3, 44100, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    std::ofstream("text.wav") << "not audio at all\n";
    std::ofstream("short.state") << "ab";
    std::filesystem::create_directory("out");
    const char *in = "in.wav", *o = "out/o.wav";
    // A usage mistake exits with 2 and adds a line that points to --help.
    const struct { std::vector<std::string> args; std::string message; int status = 1, blocks = 0; } cases[] = {
        {{"none.wav", o}, "cannot open none.wav: No such file"}, {{"text.wav", o}, "cannot read text.wav: "},
        {{"three.wav", o}, "has 3 channels"}, {{"--state", "short.state", in, o}, "holds 2 bytes"},
        {{"--mode", "Banana", in, o}, "unknown mode \"Banana\""}, {{"--mode", "17", in, o}, "unknown mode \"17\""},
        {{"--plugin", "none.so", in, o}, "module none.so not found"},
        {{"--plugin", NO_ENTRY_MODULE, in, o}, "has no VSTPluginMain entry"},
        {{"--plugin", NULL_MODULE, in, o}, "entry returned no effect"},
        {{"--plugin", MONO_MODULE, in, o}, "has 1 inputs and 1 outputs"},
        {{in, "out/o.xyz"}, "unknown file type"}, {{in, "out/o.flac"}, "cannot hold 32-bit float"},
        {{in, "out/no/o.wav"}, "cannot create out/no/o.wav"}, {{in, "/dev/full"}, "No space left on device"},
        {{in, o}, "cannot write out/o.wav: File too large", 1, 32},
        {{"--save-state", "out/no/s.state", in, o}, "cannot create out/no/s.state"},
        {{}, "--help", 2}, {{"--block", "0", "a", "b"}, "--help", 2}, {{"--bogus"}, "--help", 2},
        {{"--mode", "1", "--state", "s", "a", "b"}, "--help", 2}, {{"--demo", "d", "--response", "r.csv"}, "--help", 2},
        {{"--all-modes", "--save-state", "s", "a", "b"}, "--help", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        run(c.args, c.status, c.blocks);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), c.status) << err;
        EXPECT_EQ(out, "");  // no summary for a render that did not happen
        EXPECT_EQ(filesIn("out"), std::set<std::string>{});
    }
}

}  // namespace
