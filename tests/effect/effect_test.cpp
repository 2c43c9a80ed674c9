// What a host sees of the built module: identity, parameter and its texts, saved state,
// capabilities, and the hostile calls the processing must survive.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "effect/output_stage.h"
#include "host/vst_host.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

std::unique_ptr<vhost::Plugin> loadVellicor() {
    std::string error;
    auto plugin = vhost::Plugin::load(VELLICOR_MODULE_PATH, error);
    EXPECT_TRUE(plugin) << error;
    return plugin;
}

TEST(Module, IdentityAsAHostSeesIt) {
    auto p = loadVellicor();
    ASSERT_TRUE(p);
    const AEffect* e = p->effect();
    EXPECT_EQ(std::make_tuple(e->magic, e->numInputs, e->numOutputs, e->numPrograms, e->numParams),
              std::make_tuple(kEffectMagic, 2, 2, 0, 1));
    EXPECT_EQ(e->uniqueID, fourCharCode('v', 'l', 'c', 'j'));
    EXPECT_EQ(e->flags, effFlagsCanReplacing | effFlagsCanDoubleReplacing | effFlagsProgramChunks);
    EXPECT_EQ(p->text(effGetEffectName), "Vellicor");
    EXPECT_EQ(p->text(effGetVendorString), "quillotone");
    EXPECT_EQ(p->text(effGetProductString), "quillotone Vellicor");
    EXPECT_EQ(p->dispatch(effGetVendorString, 0, 0, nullptr), 0) << "null buffer: nothing written";
    EXPECT_EQ(p->dispatch(effGetVendorVersion), 1000);
    EXPECT_EQ(p->dispatch(effGetPlugCategory), kPlugCategEffect);
    EXPECT_EQ(p->dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(p->text(effGetParamName, 0, 9), "Monitor");
    EXPECT_EQ(p->text(effGetParamLabel, 0, 9), "");
    EXPECT_EQ(p->text(effGetProgramName, 0, 25), "Default");
    char longName[] = "abcdefghijklmnopqrstuvwxyz0123";  // cut to 24 characters
    p->dispatch(effSetProgramName, 0, 0, longName);
    EXPECT_EQ(p->text(effGetProgramName, 0, 25), "abcdefghijklmnopqrstuvwx");
    for (int32 index : {1, -1}) {  // other parameters have empty texts
        EXPECT_EQ(p->text(effGetParamName, index, 9), "");
        EXPECT_EQ(p->text(effGetParamDisplay, index, 9), "");
        EXPECT_EQ(p->getParameter(index), 0.0f);
    }
    for (int32 opcode : {effGetParamName, effGetParamDisplay, effGetParamLabel, effGetProgramName, effSetProgramName})
        p->dispatch(opcode, 0, 0, nullptr);  // null buffers are ignored
    EXPECT_EQ(p->close(), 1) << "closed through the record";
    EXPECT_EQ(p->close(), 0) << "nothing left to close";
}

TEST(Module, ChunkRoundTripsAndRestoreClampsOrRefuses) {
    auto a = loadVellicor();
    auto b = loadVellicor();
    ASSERT_TRUE(a && b);
    a->setParameter(0, 0.7f);
    for (bool preset : {false, true}) {
        const std::vector<unsigned char> saved = a->chunk(preset);
        ASSERT_EQ(saved.size(), 4u);
        float value;
        std::memcpy(&value, saved.data(), 4);
        EXPECT_EQ(value, 0.7f) << "the parameter as a native float";
        b->setParameter(0, 0.0f);
        EXPECT_EQ(b->setChunk(saved.data(), saved.size(), preset), 0);
        EXPECT_EQ(b->getParameter(0), 0.7f);
    }
    EXPECT_EQ(a->dispatch(effGetChunk, 0, 0, nullptr), 0);
    // Restored values are clamped; a short, negative or missing chunk is not a saved state:
    // the current one stays.
    const std::tuple<float, VstIntPtr, float> restores[] = {{-0.5f, 4, 0.0f}, {1.5f, 4, 1.0f}, {kNaN, 4, 0.0f},
        {INFINITY, 4, 1.0f}, {0.25f, 4, 0.25f}, {0.75f, 3, 0.25f}, {0.75f, -1, 0.25f}};
    for (const auto& [value, bytes, restored] : restores) {
        unsigned char block[8] = {};
        std::memcpy(block, &value, 4);
        b->dispatch(effSetChunk, 0, bytes, block);
        EXPECT_EQ(b->getParameter(0), restored) << value << " in " << bytes << " bytes";
    }
    b->dispatch(effSetChunk, 0, 4, nullptr);
    EXPECT_EQ(b->getParameter(0), 0.25f);
}

TEST(Module, CapabilitiesAndNoMidiRequestOnResume) {
    auto p = loadVellicor();
    ASSERT_TRUE(p);
    auto canDo = [&](std::string word) { return p->dispatch(effCanDo, 0, 0, word.data()); };
    for (const char* yes : {"plugAsChannelInsert", "plugAsSend", "x2in2out"}) EXPECT_EQ(canDo(yes), 1) << yes;
    for (const char* no : {"X2in2out", "", "receiveVstMidiEvent", "x2in2out ", "bypass"}) EXPECT_EQ(canDo(no), -1) << no;
    EXPECT_EQ(p->dispatch(effCanDo, 0, 0, nullptr), -1);
    p->clearCalls();
    p->mainsChanged(true);
    p->mainsChanged(false);
    EXPECT_TRUE(p->calls().empty()) << "the effect asks the host for nothing on resume";
}

TEST(Processing, NullBuffersAreSurvived) {
    auto p = loadVellicor();
    ASSERT_TRUE(p);
    float l[4] = {1, 1, 1, 1}, r[4] = {1, 1, 1, 1};
    float* outputs[2] = {l, r};
    float* half[2] = {l, nullptr};
    p->processReplacing(nullptr, outputs, 4);
    EXPECT_EQ(l[3], 0.0f) << "no input: silence rather than what the buffers held";
    p->processReplacing(half, outputs, 4);
    p->processReplacing(outputs, nullptr, 4);
    p->processReplacing(outputs, half, 4);
}

// A NaN reaching the output stage leaves as step 0 rather than as the most negative step,
// which would sit on the output as a -256.0 level; beyond the range the steps saturate.
TEST(OutputStage, SaturatesAtTheStepRangeAndMapsNaNToZero) {
    EXPECT_EQ(saturateToInt32(std::nan("")), 0);
    EXPECT_EQ(saturateToInt32(2147483648.0), INT32_MAX);
    EXPECT_EQ(saturateToInt32(-2147483649.0), INT32_MIN);
    EXPECT_EQ(saturateToInt32(-2147483648.0), INT32_MIN);
}

}  // namespace
