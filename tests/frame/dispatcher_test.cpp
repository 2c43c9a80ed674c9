// The record, the two dispatchers, the record's entries and the flag setters, on an
// effect linked in directly.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "tests/frame/recording_host.h"

namespace frametest {
namespace {

using Log = std::vector<std::string>;

TEST(Record, FreshRecordHoldsItsDefaults) {
    HostedEffect h;
    const AEffect* e = h.effect->getAeffect();
    EXPECT_EQ(e->magic, 0x56737450);
    for (const void* entry : {(const void*)e->dispatcher, (const void*)e->process,
                              (const void*)e->setParameter, (const void*)e->getParameter,
                              (const void*)e->processReplacing, (const void*)e->processDoubleReplacing})
        EXPECT_NE(entry, nullptr);
    EXPECT_EQ(e->numPrograms, kTestPrograms);
    EXPECT_EQ(e->numParams, kTestParams);
    EXPECT_EQ(e->numInputs, 1);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags, effFlagsCanReplacing);
    EXPECT_EQ(e->resvd1 | e->resvd2 | e->initialDelay | e->realQualities | e->offQualities, 0);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_EQ(e->object, static_cast<AudioEffect*>(h.effect.get()));
    EXPECT_EQ(e->user, nullptr);
    EXPECT_EQ(e->uniqueID, 0x4E6F4566);
    EXPECT_EQ(e->version, 1);
    const char zeros[sizeof(e->future)] = {};
    EXPECT_EQ(std::memcmp(e->future, zeros, sizeof(zeros)), 0);
}

TEST(Dispatcher, BaseOpcodesReachTheirOperations) {
    HostedEffect h;
    h.dispatch(effOpen);
    h.dispatch(effMainsChanged, 0, 2);
    h.dispatch(effMainsChanged, 0, 0);
    // Sent to the object rather than through the record, close deletes nothing.
    EXPECT_EQ(h.dispatch(effClose), 0);
    EXPECT_EQ(h.effect->log, (Log{"open", "resume", "canDo receiveVstMidiEvent", "suspend", "close"}));
    EXPECT_EQ(h.host.lifecycleCount(kDestroyed), 0);

    h.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    h.dispatch(effSetBlockSize, 0, 256);
    EXPECT_EQ(h.effect->getSampleRate(), 48000.0f);
    EXPECT_EQ(h.effect->getBlockSize(), 256);
    EXPECT_EQ(h.dispatch(effSetBlockSizeAndSampleRate, 0, 64, nullptr, 22050.0f), 1);
    EXPECT_EQ(h.effect->getSampleRate(), 22050.0f);
    EXPECT_EQ(h.effect->getBlockSize(), 64);

    h.effect->parameters[0] = -0.5f;  // the VU level
    EXPECT_EQ(h.dispatch(effGetVu), -16383);
    h.effect->parameters[0] = 1e30f;  // clamped, not an undefined conversion
    EXPECT_EQ(h.dispatch(effGetVu), INT32_MAX);

    for (int32 opcode = effEditGetRect; opcode <= effEditSleep; ++opcode)
        EXPECT_EQ(h.dispatch(opcode, 1, 1, nullptr), 0) << "no editor, opcode " << opcode;
    for (int32 opcode : {effEditKeyDown, effEditKeyUp, effSetEditKnobMode})
        EXPECT_EQ(h.dispatch(opcode, 1, 1, nullptr), 0) << "no editor, opcode " << opcode;
}

TEST(Dispatcher, SpeakerArrangementQueryClearsEachGivenHandle) {
    HostedEffect h;
    VstSpeakerArrangement dummy{};
    VstSpeakerArrangement* input = &dummy;
    VstSpeakerArrangement* output = &dummy;
    EXPECT_EQ(h.dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&input), &output), 0);
    EXPECT_EQ(input, nullptr);
    EXPECT_EQ(output, nullptr);
    output = &dummy;
    EXPECT_EQ(h.dispatch(effGetSpeakerArrangement, 0, 0, &output), 0);  // null input skipped
    EXPECT_EQ(output, nullptr);
}

TEST(Dispatcher, ResumeAsksForEventsOnlyForSynthsAndMidiTakers) {
    HostedEffect h;
    for (int32 answer : {-1, 0}) {
        h.effect->canDoAnswer = answer;
        h.dispatch(effMainsChanged, 0, 1);
    }
    EXPECT_TRUE(h.host.services().empty());
    h.effect->canDoAnswer = 1;
    h.dispatch(effMainsChanged, 0, 1);
    ASSERT_EQ(h.host.services().size(), 1u);
    EXPECT_EQ(h.host.services()[0].opcode, audioMasterWantMidi);
    EXPECT_EQ(h.host.services()[0].value, 1);

    h.host.calls.clear();
    h.effect->log.clear();
    h.effect->canDoAnswer = -1;
    h.effect->isSynth(true);
    EXPECT_EQ(h.dispatch(effGetPlugCategory), kPlugCategSynth);
    h.dispatch(effMainsChanged, 0, 1);
    EXPECT_EQ(h.effect->log, Log{"resume"});  // a synth is not asked
    ASSERT_EQ(h.host.services().size(), 1u);
    EXPECT_EQ(h.host.services()[0].opcode, audioMasterWantMidi);
    h.effect->isSynth(false);
    EXPECT_EQ(h.dispatch(effGetPlugCategory), kPlugCategUnknown);
}

class FakeEditor : public AEffEditor {
public:
    FakeEditor(Log& log, VstKeyCode& key) : log_(log), key_(key) {}
    ~FakeEditor() override { log_.push_back("destroyed"); }
    bool getRect(void*) noexcept override { return true; }
    bool open(void*) noexcept override { return true; }
    void close() noexcept override { log_.push_back("close"); }
    void idle() noexcept override {}
    void draw(void*) noexcept override {}
    int32 mouse(int32 x, VstIntPtr y) noexcept override { return x * 10 + int32(y); }
    int32 key(VstIntPtr keyCode) noexcept override { return int32(keyCode); }
    void top() noexcept override {}
    void sleep() noexcept override {}
    bool onKeyDown(VstKeyCode& k) noexcept override { return key_ = k, true; }
    bool onKeyUp(VstKeyCode& k) noexcept override { return key_ = k, true; }
    bool setKnobMode(VstIntPtr mode) noexcept override { return mode == 2; }

private:
    Log& log_;
    VstKeyCode& key_;
};

TEST(Dispatcher, EditorOpcodesReachAnAttachedEditorWhichTheEffectOwns) {
    Log log;
    VstKeyCode key{};
    {
        HostedEffect h;
        h.effect->getAeffect()->flags = ~effFlagsHasEditor;
        h.effect->setEditor(new FakeEditor(log, key));
        EXPECT_EQ(h.effect->getAeffect()->flags, ~0);
        EXPECT_EQ(h.dispatch(effEditGetRect), 1);
        EXPECT_EQ(h.dispatch(effEditMouse, 3, 4), 34);
        EXPECT_EQ(h.dispatch(effEditKey, 0, 65), 65);
        EXPECT_EQ(h.dispatch(effEditClose), 0);
        EXPECT_EQ(h.dispatch(effEditKeyDown, 'a', 0x1234, nullptr, 258.9f), 1);
        EXPECT_EQ(key.character, 'a');
        EXPECT_EQ(key.virt, 0x34);
        EXPECT_EQ(key.modifier, 2);  // 258 truncated, low byte
        EXPECT_EQ(h.dispatch(effEditKeyUp, 'b', 1, nullptr, 1e20f), 1);
        EXPECT_EQ(key.modifier, 0);  // no int32 holds it
        EXPECT_EQ(h.dispatch(effSetEditKnobMode, 0, 2), 1);
        EXPECT_EQ(log, Log{"close"});
        h.effect->getAeffect()->flags = effFlagsHasEditor;
        delete h.effect->getEditor();  // detaching hands the editor back
        h.effect->setEditor(nullptr);
        EXPECT_EQ(h.effect->getAeffect()->flags, 0);
        h.effect->setEditor(new FakeEditor(log, key));
    }
    EXPECT_EQ(log, (Log{"close", "destroyed", "destroyed"}));
}

TEST(Flags, EachSetterTouchesOnlyItsOwnBit) {
    const std::pair<void (AudioEffectX::*)(bool), int32> setters[] = {
        {&AudioEffect::hasClip, effFlagsHasClip},
        {&AudioEffect::hasVu, effFlagsHasVu},
        {&AudioEffect::canMono, effFlagsCanMono},
        {&AudioEffect::canProcessReplacing, effFlagsCanReplacing},
        {&AudioEffect::programsAreChunks, effFlagsProgramChunks},
        {&AudioEffectX::isSynth, effFlagsIsSynth},
        {&AudioEffectX::noTail, effFlagsNoSoundInStop},
        {&AudioEffectX::wantAsyncOperation, effFlagsExtIsAsync},
        {&AudioEffectX::hasExternalBuffer, effFlagsExtHasBuffer},
        {&AudioEffect::canDoubleReplacing, effFlagsCanDoubleReplacing},
    };
    HostedEffect h;
    int32& flags = h.effect->getAeffect()->flags;
    for (int32 background : {0, ~0}) {
        for (const auto& [set, bit] : setters) {
            flags = background;
            ((*h.effect).*set)(true);
            EXPECT_EQ(flags, background | bit);
            ((*h.effect).*set)(false);
            EXPECT_EQ(flags, background & ~bit);
        }
    }
}

// An effect whose dispatcher throws: the host must get an answer, never the exception.
class ThrowingEffect : public TestEffect {
public:
    using TestEffect::TestEffect;
    VstIntPtr dispatcher(int32 opcode, int32 index, VstIntPtr value, void* ptr, float opt) override {
        if (opcode == effGetVendorVersion || opcode == effClose) throw std::runtime_error("no");
        return TestEffect::dispatcher(opcode, index, value, ptr, opt);
    }
};

TEST(Entries, NoExceptionReachesTheHost) {
    RecordingHost host;
    AEffect* e = (new ThrowingEffect(&RecordingHost::callback))->getAeffect();
    EXPECT_EQ(e->dispatcher(e, effGetVendorVersion, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(e->dispatcher(e, effGetVstVersion, 0, 0, nullptr, 0.0f), 2400);
    // The host lets go of the record on close whatever happens, so the object goes too.
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(host.lifecycleCount(kDestroyed), 1);
}

}  // namespace
}  // namespace frametest
