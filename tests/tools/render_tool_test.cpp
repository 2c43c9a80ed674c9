// The renderer as a user runs it: its files must hold exactly what the effect produces when
// a host feeds it the same samples, and every failure must leave nothing behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <sndfile.h>

#include "host/vst_host.h"
#include "tool_run.h"

using namespace rendertest;

namespace {

constexpr int kCansB = 13;

float modeValue(int mode) { return static_cast<float>((mode + 0.5) / 16.999); }

// Noise, a sine and a silent stretch; 4000 frames do not fill the last block of 300.
std::vector<float> testProgramme(int channels, int frames = 4000) {
    std::vector<float> samples;
    std::uint32_t noise = 12345;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) {
            noise = noise * 1664525u + 1013904223u;
            float v = 0;
            if (i < 1500) v = (noise >> 8) / 16777216.0f - 0.5f;
            else if (i < 3000) v = 0.3f * std::sin(0.05f * i * (c + 1));
            samples.push_back(v);
        }
    return samples;
}

// What the host library gets from the module for the same input, blocks and setting.
template <typename T>
std::vector<T> processDirectly(const std::vector<double>& interleaved, int channels, int rate,
                               int block, float value) {
    vhost::HostSettings settings;
    settings.sampleRate = rate;
    settings.blockSize = block;
    std::srand(1);  // the tool starts every instance from the same generator state
    std::string error;
    auto plugin = vhost::Plugin::load(VELLICOR_MODULE, error, settings);
    EXPECT_TRUE(plugin) << error;
    if (!plugin) return {};
    plugin->open();
    plugin->setSampleRate(static_cast<float>(rate));
    plugin->setBlockSize(block);
    plugin->setParameter(0, value);
    plugin->mainsChanged(true);
    const std::size_t frames = interleaved.size() / channels;
    std::vector<T> out;
    std::vector<T> inL(block), inR(block), outL(block), outR(block);
    T* inputs[2] = {inL.data(), inR.data()};
    T* outputs[2] = {outL.data(), outR.data()};
    for (std::size_t start = 0; start < frames; start += block) {
        int n = static_cast<int>(std::min<std::size_t>(block, frames - start));
        for (int i = 0; i < n; ++i) {
            // The file's samples are floats; as T they are the same values.
            inL[i] = static_cast<T>(static_cast<float>(interleaved[(start + i) * channels]));
            inR[i] = static_cast<T>(
                static_cast<float>(interleaved[(start + i) * channels + channels - 1]));
        }
        if constexpr (std::is_same_v<T, float>) plugin->processReplacing(inputs, outputs, n);
        else plugin->processDoubleReplacing(inputs, outputs, n);
        for (int i = 0; i < n; ++i) {
            out.push_back(outL[i]);
            out.push_back(outR[i]);
        }
    }
    return out;
}

template <typename T>
void expectSameSamples(const std::vector<T>& expected, const std::vector<double>& actual) {
    ASSERT_EQ(expected.size(), actual.size());
    std::size_t differing = 0, first = 0;
    for (std::size_t i = 0; i < expected.size(); ++i)
        if (static_cast<T>(actual[i]) != expected[i] || std::signbit(static_cast<T>(actual[i])) !=
                                                           std::signbit(expected[i]))
            if (differing++ == 0) first = i;
    EXPECT_EQ(differing, 0u) << "first difference at sample " << first;
}

std::vector<unsigned char> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

TEST(RenderTool, FloatAndDoubleRendersEqualTheHostLibraryBitForBit) {
    TempDir dir;
    writeAudio(dir / "in.wav", 2, 44100, testProgramme(2), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    const Audio input = readAudio(dir / "in.wav");
    for (int mode : {2, kCansB, 4}) {  // Peaks and Cans B carry delay lines, Subs clips
        SCOPED_TRACE("mode " + std::to_string(mode));
        RunResult single = runTool({"--mode", std::to_string(mode), "--block", "300", "--quiet",
                                    dir / "in.wav", dir / "float.wav"}, dir);
        ASSERT_EQ(single.status, 0) << single.err;
        Audio out = readAudio(dir / "float.wav");
        EXPECT_EQ(out.channels, 2);
        EXPECT_EQ(out.rate, 44100);
        EXPECT_EQ(out.format & SF_FORMAT_SUBMASK, SF_FORMAT_FLOAT);
        expectSameSamples(processDirectly<float>(input.samples, 2, 44100, 300, modeValue(mode)),
                          out.samples);

        RunResult twice = runTool({"--mode", std::to_string(mode), "--block", "300", "--double",
                                   "--format", "double", dir / "in.wav", dir / "double.wav"}, dir);
        ASSERT_EQ(twice.status, 0) << twice.err;
        expectSameSamples(processDirectly<double>(input.samples, 2, 44100, 300, modeValue(mode)),
                          readAudio(dir / "double.wav").samples);
    }
}

TEST(RenderTool, MonoInputFeedsBothInputsAndGivesAStereoFile) {
    TempDir dir;
    // 16-bit PCM at another rate: the output keeps the rate and carries the plug-in's floats.
    writeAudio(dir / "mono.wav", 1, 22050, testProgramme(1), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    RunResult run = runTool({"--mode", "aurat", dir / "mono.wav", dir / "out.wav"}, dir);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Aurat"), std::string::npos) << run.out;
    Audio out = readAudio(dir / "out.wav");
    EXPECT_EQ(out.channels, 2);
    EXPECT_EQ(out.rate, 22050);
    expectSameSamples(processDirectly<float>(readAudio(dir / "mono.wav").samples, 1, 22050, 512,
                                             modeValue(8)),
                      out.samples);
}

TEST(RenderTool, SavedStateRestoresTheSameRender) {
    TempDir dir;
    writeAudio(dir / "in.wav", 2, 48000, testProgramme(2), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    RunResult saved = runTool({"--mode", "Cans B", "--save-state", dir / "cans-b.state",
                               dir / "in.wav", dir / "a.wav"}, dir);
    ASSERT_EQ(saved.status, 0) << saved.err;
    float value = modeValue(kCansB);
    std::vector<unsigned char> expected(4);
    std::memcpy(expected.data(), &value, 4);
    EXPECT_EQ(fileBytes(dir / "cans-b.state"), expected);

    RunResult restored = runTool({"--state", dir / "cans-b.state", "--save-state",
                                  dir / "again.state", dir / "in.wav", dir / "b.wav"}, dir);
    ASSERT_EQ(restored.status, 0) << restored.err;
    EXPECT_NE(restored.out.find("Cans B"), std::string::npos) << restored.out;
    EXPECT_EQ(readAudio(dir / "a.wav").samples, readAudio(dir / "b.wav").samples);
    EXPECT_EQ(fileBytes(dir / "again.state"), expected);

    // A state from elsewhere is clamped by the effect, as a host's restore would be.
    float tooHigh = 1.5f, one = 1.0f;
    std::ofstream(dir / "high.state", std::ios::binary).write(reinterpret_cast<char*>(&tooHigh), 4);
    RunResult clamped = runTool({"--state", dir / "high.state", "--save-state",
                                 dir / "clamped.state", dir / "in.wav", dir / "c.wav"}, dir);
    ASSERT_EQ(clamped.status, 0) << clamped.err;
    EXPECT_NE(clamped.out.find("V Trick"), std::string::npos) << clamped.out;
    std::vector<unsigned char> oneBytes(4);
    std::memcpy(oneBytes.data(), &one, 4);
    EXPECT_EQ(fileBytes(dir / "clamped.state"), oneBytes);
}

TEST(RenderTool, AllModesWritesOneFilePerModeLikeSingleRenders) {
    TempDir dir;
    writeAudio(dir / "in.wav", 2, 44100, testProgramme(2), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    RunResult all = runTool({"--all-modes", dir / "in.wav", dir / "modes"}, dir);
    ASSERT_EQ(all.status, 0) << all.err;
    const std::vector<std::string> names = {
        "00-out24.wav",   "01-out16.wav",   "02-peaks.wav",  "03-slew.wav",   "04-subs.wav",
        "05-mono.wav",    "06-side.wav",    "07-vinyl.wav",  "08-aurat.wav",  "09-monorat.wav",
        "10-monolat.wav", "11-phone.wav",   "12-cans-a.wav", "13-cans-b.wav", "14-cans-c.wav",
        "15-cans-d.wav",  "16-v-trick.wav"};
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "modes"))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, names);
    EXPECT_EQ(lines(all.out), 2 + 17);  // header, units, a row per mode

    // A mode's file does not depend on the modes rendered before it.
    ASSERT_EQ(runTool({"--mode", "13", dir / "in.wav", dir / "single.wav"}, dir).status, 0);
    EXPECT_EQ(readAudio(dir / "modes/13-cans-b.wav").samples, readAudio(dir / "single.wav").samples);
}

TEST(RenderTool, DemoRendersTheProgrammeInEveryMode) {
    TempDir dir;
    RunResult demo = runTool({"--demo", dir / "demo", "--format", "24"}, dir);
    ASSERT_EQ(demo.status, 0) << demo.err;
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "demo")) {
        ++count;
        Audio audio = readAudio(entry.path().string());
        EXPECT_EQ(audio.channels, 2);
        EXPECT_EQ(audio.rate, 48000);
        EXPECT_EQ(audio.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
        EXPECT_EQ(audio.samples.size(), 2u * 480000);
    }
    EXPECT_EQ(count, 18u);  // the programme and seventeen modes
    for (const char* name : {"(input)", "Out24", "Peaks", "MonoLat", "Cans D", "V Trick"})
        EXPECT_NE(demo.out.find(name), std::string::npos) << name;
}

TEST(RenderTool, WritesTheContainerItsExtensionNames) {
    TempDir dir;
    writeAudio(dir / "in.aiff", 2, 44100, testProgramme(2), SF_FORMAT_AIFF | SF_FORMAT_PCM_24);
    RunResult run = runTool({"--format", "24", dir / "in.aiff", dir / "out.flac"}, dir);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readAudio(dir / "out.flac").format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
}

struct FailureCase {
    const char* what;
    std::vector<std::string> args;  // "IN" and "OUT" stand for the folders' paths
    std::string message;
    off_t maxFileBytes = 0;
};

TEST(RenderTool, EveryFailureSaysWhyFailsAndLeavesNoFile) {
    TempDir in, out;
    writeAudio(in / "in.wav", 2, 44100, testProgramme(2, 44100), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    writeAudio(in / "three.wav", 3, 44100, testProgramme(3), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    std::ofstream(in / "text.wav") << "not audio at all\n";
    std::ofstream(in / "short.state") << "ab";
    const std::string I = in.path(), O = out.path();
    const std::vector<FailureCase> cases = {
        {"missing input", {I + "/none.wav", O + "/o.wav"}, "cannot open " + I + "/none.wav: No such file"},
        {"unreadable input", {I + "/text.wav", O + "/o.wav"}, "cannot read " + I + "/text.wav: "},
        {"too many channels", {I + "/three.wav", O + "/o.wav"}, "has 3 channels"},
        {"unknown mode name", {"--mode", "Banana", I + "/in.wav", O + "/o.wav"}, "unknown mode \"Banana\""},
        {"mode number too high", {"--mode", "17", I + "/in.wav", O + "/o.wav"}, "unknown mode \"17\""},
        {"module not found", {"--plugin", I + "/none.so", I + "/in.wav", O + "/o.wav"}, "module " + I + "/none.so not found"},
        {"module without entry", {"--plugin", NO_ENTRY_MODULE, I + "/in.wav", O + "/o.wav"}, "has no VSTPluginMain entry"},
        {"entry returns null", {"--plugin", NULL_MODULE, I + "/in.wav", O + "/o.wav"}, "entry returned no effect"},
        {"not 2-in/2-out", {"--plugin", MONO_MODULE, I + "/in.wav", O + "/o.wav"}, "has 1 inputs and 1 outputs"},
        {"short state", {"--state", I + "/short.state", I + "/in.wav", O + "/o.wav"}, "holds 2 bytes"},
        {"unknown file type", {I + "/in.wav", O + "/o.xyz"}, "unknown file type"},
        {"float into FLAC", {I + "/in.wav", O + "/o.flac"}, "cannot hold 32-bit float"},
        {"output folder missing", {I + "/in.wav", O + "/no/o.wav"}, "cannot create " + O + "/no/o.wav"},
        {"device full", {I + "/in.wav", "/dev/full"}, "No space left on device"},
        {"file size limit", {I + "/in.wav", O + "/o.wav"}, "cannot write " + O + "/o.wav: File too large", 64 * 1024},
        {"state not writable", {"--save-state", O + "/no/s.state", I + "/in.wav", O + "/o.wav"}, "cannot create " + O + "/no/s.state"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.what);
        RunResult run = runTool(c.args, out, c.maxFileBytes);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(lines(run.err), 1) << run.err;
        EXPECT_EQ(run.out, "");  // no summary for a render that did not happen
        EXPECT_TRUE(out.files().empty()) << out.files().front();
    }
}

TEST(RenderTool, UsageMistakesAreToldApartFromFailures) {
    TempDir dir;
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{}, {"--block", "0", "a", "b"}, {"--bogus"},
                                               {"--mode", "1", "--state", "s", "a", "b"},
                                               {"--demo", "d", "--response", "r.csv"}}) {
        RunResult run = runTool(args, dir);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_NE(run.err.find("--help"), std::string::npos);
    }
    EXPECT_TRUE(dir.files().empty());
}

}  // namespace
