// The test effect built as a loadable module and driven as a host drives it.
#include <gtest/gtest.h>

#include <map>

#include "host/vst_host.h"
#include "tests/frame/test_effect.h"

namespace frametest {
namespace {

TEST(Module, AnswersAsAHostExpects) {
    std::string error;
    auto plugin = vhost::Plugin::load(FRAME_TEST_MODULE, error, {1});  // any version but 0 will do
    ASSERT_TRUE(plugin) << error;

    // Every opcode with a buffer behind ptr: the effect's own answers, the frame's defaults
    // where it overrides nothing, 0 for opcodes it does not know. value doubles as the input
    // handle of the arrangement query, so that one gets 0.
    const std::map<int32, VstIntPtr> answers = {
        {effIdentify, fourCharCode('N', 'v', 'E', 'f')}, {effGetChunk, kPresetChunkBytes}, {effCanBeAutomated, 1},
        {effGetNumProgramCategories, 1}, {effConnectInput, 1}, {effConnectOutput, 1}, {effKeysRequired, 1},
        {effSetBlockSizeAndSampleRate, 1}, {effGetVstVersion, 2400}, {effGetCurrentMidiProgram, -1},
        {effSetTotalSampleToProcess, 4096}, {effCanDo, -1}};  // canDo: the effect's own
    alignas(std::max_align_t) char buffer[512] = {};
    for (int32 opcode = -2; opcode <= 100; ++opcode) {
        if (opcode == effClose) continue;
        const VstIntPtr value = opcode == effGetSpeakerArrangement ? 0 : 4096;
        EXPECT_EQ(plugin->dispatch(opcode, 1, value, buffer, 22050.0f), answers.count(opcode) ? answers.at(opcode) : 0)
            << "opcode " << opcode;
    }
    // Index 0 asks for the bank, any other (1 above) for a program.
    EXPECT_EQ(plugin->chunk(false).size(), static_cast<std::size_t>(kBankChunkBytes));

    // Program numbers at or above the count are ignored; the comparison is signed, so -1 is taken.
    for (VstIntPtr program : {VstIntPtr(-1), VstIntPtr(kTestPrograms)})
        plugin->dispatch(effSetProgram, 0, program);
    EXPECT_EQ(plugin->dispatch(effGetProgram), -1);

    plugin->setParameter(1, 0.5f);
    EXPECT_EQ(plugin->getParameter(1), 0.5f);
    float in = 1.0f, left = 0.0f, right = 0.0f;
    float* inputs[] = {&in};
    float* outputs[] = {&left, &right};
    plugin->effect()->process(plugin->effect(), inputs, outputs, 1);  // not offered: does nothing
    EXPECT_EQ(right, 0.0f);
    plugin->processReplacing(inputs, outputs, 1);
    EXPECT_EQ(right, 1.0f);
}

// A host callback of our own, to see what happens when the entry gives nothing back.
struct EntryWitness {
    static inline VstIntPtr versionAnswer = 0;
    static inline VstIntPtr factoryAnswer = 0;
    static inline int factoryCalls = 0;
    static VstIntPtr host(AEffect*, int32 opcode, int32, VstIntPtr, void*, float) {
        if (opcode == audioMasterVersion) return versionAnswer;
        ++factoryCalls;  // the only other question is the factory's
        return factoryAnswer;
    }
};

TEST(Module, EntryGivesNullWithoutAHostOrAVersionOrWhenTheFactoryFails) {
    std::string error;
    auto module = vhost::Module::load(FRAME_TEST_MODULE, error);
    ASSERT_TRUE(module) << error;
    EXPECT_EQ(module->entry()(nullptr), nullptr);
    EXPECT_EQ(module->entry()(&EntryWitness::host), nullptr);  // the host answers version 0
    EXPECT_EQ(EntryWitness::factoryCalls, 0) << "refused before creating anything";

    EntryWitness::versionAnswer = kVstVersion;
    EntryWitness::factoryAnswer = kPleaseThrow;
    EXPECT_EQ(module->entry()(&EntryWitness::host), nullptr);
    EXPECT_EQ(EntryWitness::factoryCalls, 1);
}

}  // namespace
}  // namespace frametest
