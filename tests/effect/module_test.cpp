// What a host sees of the built module: identity, parameter texts, chunk, capabilities.
#include <gtest/gtest.h>

#include <cstring>

#include "frame/audioeffectx.h"
#include "host/vst_host.h"

namespace {

std::unique_ptr<vhost::Plugin> loadVellicor() {
    std::string error;
    auto plugin = vhost::Plugin::load(VELLICOR_MODULE_PATH, error);
    EXPECT_TRUE(plugin) << error;
    return plugin;
}

TEST(Module, IdentityAsAHostSeesIt) {
    auto p = loadVellicor();
    ASSERT_TRUE(p);
    AEffect* e = p->effect();
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->numPrograms, 0);
    EXPECT_EQ(e->numParams, 1);
    EXPECT_EQ(e->uniqueID, fourCharCode('v', 'l', 'c', 'j'));
    EXPECT_EQ(e->flags, effFlagsCanReplacing | effFlagsCanDoubleReplacing | effFlagsProgramChunks);
    EXPECT_EQ(p->text(effGetEffectName), "Vellicor");
    EXPECT_EQ(p->text(effGetVendorString), "quillotone");
    EXPECT_EQ(p->text(effGetProductString), "quillotone Vellicor");
    EXPECT_EQ(p->dispatch(effGetVendorString, 0, 0, nullptr), 0) << "null buffer: nothing written";
    EXPECT_EQ(p->dispatch(effGetVendorVersion), 1000);
    EXPECT_EQ(p->dispatch(effGetPlugCategory), 1);
    EXPECT_EQ(p->dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(p->text(effGetParamName, 0, 9), "Monitor");
    EXPECT_EQ(p->text(effGetParamLabel, 0, 9), "");
    EXPECT_EQ(p->text(effGetParamDisplay, 0, 9), "Out24");
    EXPECT_EQ(p->text(effGetProgramName, 0, 25), "Default");
    EXPECT_EQ(p->text(effGetParamDisplay, 3, 9), "") << "other indices get an empty text";
}

TEST(Module, ParameterAndDisplayThroughTheRecord) {
    auto p = loadVellicor();
    ASSERT_TRUE(p);
    p->setParameter(0, 0.8f);
    EXPECT_EQ(p->getParameter(0), 0.8f);
    EXPECT_EQ(p->text(effGetParamDisplay, 0, 9), "Cans B");
    p->setParameter(0, 1.0f);
    EXPECT_EQ(p->text(effGetParamDisplay, 0, 9), "V Trick");
}

TEST(Module, ChunkRoundTripsBetweenInstances) {
    auto a = loadVellicor();
    auto b = loadVellicor();
    ASSERT_TRUE(a && b);
    a->setParameter(0, 0.7f);
    for (bool preset : {false, true}) {
        std::vector<unsigned char> saved = a->chunk(preset);
        ASSERT_EQ(saved.size(), 4u);
        float value;
        std::memcpy(&value, saved.data(), 4);
        EXPECT_EQ(value, 0.7f);
        b->setParameter(0, 0.0f);
        EXPECT_EQ(b->setChunk(saved.data(), saved.size(), preset), 0);
        EXPECT_EQ(b->getParameter(0), 0.7f);
        EXPECT_EQ(b->text(effGetParamDisplay, 0, 9), "Phone");
    }
}

TEST(Module, CapabilitiesAndNoMidiRequestOnResume) {
    auto p = loadVellicor();
    ASSERT_TRUE(p);
    auto canDo = [&](const char* word) {
        std::string w = word;
        return p->dispatch(effCanDo, 0, 0, w.data());
    };
    EXPECT_EQ(canDo("plugAsChannelInsert"), 1);
    EXPECT_EQ(canDo("plugAsSend"), 1);
    EXPECT_EQ(canDo("x2in2out"), 1);
    EXPECT_EQ(canDo("receiveVstMidiEvent"), -1);
    EXPECT_EQ(canDo("bypass"), -1);
    p->clearCalls();
    p->mainsChanged(true);
    p->mainsChanged(false);
    EXPECT_TRUE(p->calls().empty()) << "the effect asks the host for nothing on resume";
}

TEST(Module, ProcessesThroughBothEntries) {
    auto p = loadVellicor();
    ASSERT_TRUE(p);
    p->setSampleRate(48000.0f);
    p->mainsChanged(true);
    float l[64], r[64];
    for (int i = 0; i < 64; ++i) l[i] = r[i] = 0.25f;
    float* io[2] = {l, r};
    p->processReplacing(io, io, 64);
    EXPECT_NEAR(l[63], 0.25f, 1e-6f);
    double dl[64], dr[64];
    for (int i = 0; i < 64; ++i) dl[i] = dr[i] = -0.5;
    double* dio[2] = {dl, dr};
    p->processDoubleReplacing(dio, dio, 64);
    EXPECT_NEAR(dr[63], -0.5, 1e-6);
    EXPECT_EQ(p->close(), 1);
}

}  // namespace
