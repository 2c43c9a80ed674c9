// The test effect built as a loadable module and driven as a host drives it.
#include <gtest/gtest.h>

#include <algorithm>

#include "host/vst_host.h"
#include "tests/frame/test_effect.h"

namespace frametest {
namespace {

int lifecycleCount(const std::vector<vhost::HostCall>& calls, VstIntPtr which) {
    return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const vhost::HostCall& c) {
        return c.opcode == audioMasterVendorSpecific && c.index == kLifecycleMarker &&
               c.value == which;
    }));
}

std::unique_ptr<vhost::Plugin> loadTestModule(vhost::HostSettings settings = {}) {
    std::string error;
    auto plugin = vhost::Plugin::load(FRAME_TEST_MODULE, error, settings);
    EXPECT_TRUE(plugin) << error;
    return plugin;
}

TEST(Module, HandsTheHostARecordAfterTheVersionQuery) {
    vhost::HostSettings settings;
    settings.versionAnswer = 1;  // any non-zero answer will do
    auto plugin = loadTestModule(settings);
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->effect()->magic, kEffectMagic);
    const auto calls = plugin->calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].opcode, audioMasterVersion);
    EXPECT_EQ(calls[0].effect, nullptr);
}

// What a host gets from the extended dispatcher when the effect overrides nothing there.
VstIntPtr extendedDefault(int32 opcode) {
    switch (opcode) {
        case effCanBeAutomated:
        case effGetNumProgramCategories:
        case effConnectInput:
        case effConnectOutput:
        case effKeysRequired:
        case effSetBlockSizeAndSampleRate: return 1;
        case effGetVstVersion: return 2400;
        case effGetCurrentMidiProgram: return -1;
        case effSetTotalSampleToProcess: return 4096;  // the value sent
        case effCanDo: return -1;                      // the test effect's own answer
        default: return 0;
    }
}

TEST(Module, AnswersAsAHostExpects) {
    auto plugin = loadTestModule();
    ASSERT_TRUE(plugin);
    for (int32 opcode = effProcessEvents; opcode <= effGetNumMidiOutputChannels; ++opcode) {
        // value doubles as a handle for the arrangement query; keep that one null.
        const VstIntPtr value = opcode == effGetSpeakerArrangement ? 0 : 4096;
        EXPECT_EQ(plugin->dispatch(opcode, 0, value, nullptr, 22050.0f), extendedDefault(opcode))
            << "opcode " << opcode;
    }
    EXPECT_EQ(plugin->dispatch(effIdentify), fourCharCode('N', 'v', 'E', 'f'));

    plugin->setParameter(0, 0.5f);
    EXPECT_EQ(plugin->getParameter(0), 0.5f);
    EXPECT_EQ(plugin->dispatch(effGetVu), 16383);

    // Index 0 asks for the bank, any other for a program; the sizes tell them apart.
    EXPECT_EQ(plugin->chunk(false).size(), static_cast<std::size_t>(kBankChunkBytes));
    void* data = nullptr;
    for (int32 index : {1, 7}) EXPECT_EQ(plugin->dispatch(effGetChunk, index, 0, &data), kPresetChunkBytes);

    plugin->dispatch(effSetProgram, 0, kTestPrograms - 1);
    EXPECT_EQ(plugin->dispatch(effGetProgram), kTestPrograms - 1);
    plugin->dispatch(effSetProgram, 0, kTestPrograms);  // at the count: ignored
    EXPECT_EQ(plugin->dispatch(effGetProgram), kTestPrograms - 1);
    plugin->dispatch(effSetProgram, 0, -1);  // signed comparison: passed on
    EXPECT_EQ(plugin->dispatch(effGetProgram), -1);

    float in[4] = {1, 2, 3, 4}, left[4] = {}, right[4] = {};
    float* inputs[] = {in};
    float* outputs[] = {left, right};
    plugin->processReplacing(inputs, outputs, 4);
    EXPECT_EQ(right[3], 4.0f);
}

TEST(Module, EveryOpcodeIsAnsweredWithoutHarm) {
    auto plugin = loadTestModule();
    ASSERT_TRUE(plugin);
    alignas(std::max_align_t) char buffer[512] = {};
    for (int32 opcode = -2; opcode <= 100; ++opcode) {
        if (opcode == effClose) continue;
        const VstIntPtr answer = plugin->dispatch(opcode, 1, 0, buffer, 1.0f);
        if (opcode < 0 || opcode > effGetNumMidiOutputChannels) {
            EXPECT_EQ(answer, 0) << opcode;
        }
    }
    EXPECT_TRUE(plugin->isOpen());
    EXPECT_EQ(lifecycleCount(plugin->calls(), kDestroyed), 0);
}

TEST(Module, CloseThroughTheRecordDestroysTheObjectOnce) {
    auto plugin = loadTestModule();
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->close(), 1);
    EXPECT_FALSE(plugin->isOpen());
    EXPECT_EQ(plugin->close(), 0);  // the host has nothing left to close
    const auto calls = plugin->calls();
    EXPECT_EQ(lifecycleCount(calls, kConstructed), 1);
    EXPECT_EQ(lifecycleCount(calls, kDestroyed), 1);
}

// A host callback of our own, to see what happens when the entry gives nothing back.
struct EntryWitness {
    static inline VstIntPtr versionAnswer = kVstVersion;
    static inline VstIntPtr constructionAnswer = 0;
    static inline int constructed = 0;
    static inline int destroyed = 0;
    static VstIntPtr host(AEffect*, int32 opcode, int32 index, VstIntPtr value, void*, float) {
        if (opcode == audioMasterVersion) return versionAnswer;
        if (opcode == audioMasterVendorSpecific && index == kLifecycleMarker) {
            if (value == kConstructed) return ++constructed, constructionAnswer;
            if (value == kDestroyed) ++destroyed;
        }
        return 0;
    }
};

TEST(Module, EntryRefusesWithoutCreatingWhenTheHostHasNoVersion) {
    vhost::HostSettings settings;
    settings.versionAnswer = 0;
    std::string error;
    EXPECT_FALSE(vhost::Plugin::load(FRAME_TEST_MODULE, error, settings));

    auto module = vhost::Module::load(FRAME_TEST_MODULE, error);
    ASSERT_TRUE(module) << error;
    EntryWitness::versionAnswer = 0;
    EntryWitness::constructed = EntryWitness::destroyed = 0;
    EXPECT_EQ(module->entry()(&EntryWitness::host), nullptr);
    EXPECT_EQ(EntryWitness::constructed, 0);
    EntryWitness::versionAnswer = kVstVersion;
}

TEST(Module, AFailingConstructorGivesNullAndLeavesNothingBehind) {
    std::string error;
    auto module = vhost::Module::load(FRAME_TEST_MODULE, error);
    ASSERT_TRUE(module) << error;
    EntryWitness::constructed = EntryWitness::destroyed = 0;
    EntryWitness::constructionAnswer = kPleaseThrow;
    EXPECT_EQ(module->entry()(&EntryWitness::host), nullptr);
    EntryWitness::constructionAnswer = 0;
    EXPECT_EQ(EntryWitness::constructed, 1);
    // The effect's destructor does not run for an object never completed; the
    // sanitizer build's leak check covers its memory.
    EXPECT_EQ(EntryWitness::destroyed, 0);
}

}  // namespace
}  // namespace frametest
