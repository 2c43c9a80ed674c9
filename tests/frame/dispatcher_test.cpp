// The record, the two dispatchers, the record's entries and the flag setters, on an
// effect linked in directly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "tests/frame/test_effect.h"

namespace frametest {
namespace {

using Log = std::vector<std::string>;

TEST(Record, FreshRecordHoldsItsDefaults) {
    HostedEffect h;
    const AEffect* e = h.effect.getAeffect();
    EXPECT_EQ(std::make_tuple(e->magic, e->numPrograms, e->numParams, e->numInputs, e->numOutputs, e->flags),
              std::make_tuple(0x56737450, kTestPrograms, kTestParams, 1, 2, int32(effFlagsCanReplacing)));
    EXPECT_EQ(std::make_tuple(e->ioRatio, e->uniqueID, e->version),
              std::make_tuple(1.0f, fourCharCode('N', 'o', 'E', 'f'), 1));
    // Hosts read the reserved fields too.
    EXPECT_EQ(e->user, nullptr);
    EXPECT_EQ(e->resvd1 | e->resvd2 | e->initialDelay | e->realQualities | e->offQualities, 0);
    const char zeros[sizeof(e->future)] = {};
    EXPECT_EQ(std::memcmp(e->future, zeros, sizeof(zeros)), 0);
    // The other entries are called by the module tests.
    EXPECT_NE(e->processDoubleReplacing, nullptr);
}

TEST(Dispatcher, BaseOpcodesReachTheirOperations) {
    HostedEffect h;
    h.dispatch(effOpen);
    h.dispatch(effMainsChanged, 0, 2);  // any value but 0 switches on
    h.dispatch(effMainsChanged, 0, 0);
    // Sent to the object rather than through the record, close deletes nothing.
    EXPECT_EQ(h.dispatch(effClose), 0);
    EXPECT_EQ(h.effect.log, (Log{"open", "resume", "canDo receiveVstMidiEvent", "suspend", "close"}));

    h.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    h.dispatch(effSetBlockSize, 0, 256);
    EXPECT_EQ(std::make_pair(h.effect.getSampleRate(), h.effect.getBlockSize()), std::make_pair(48000.0f, 256));
    EXPECT_EQ(h.dispatch(effSetBlockSizeAndSampleRate, 0, 64, nullptr, 22050.0f), 1);
    EXPECT_EQ(std::make_pair(h.effect.getSampleRate(), h.effect.getBlockSize()), std::make_pair(22050.0f, 64));

    // The level on the host's integer scale, truncated; clamped where no integer holds it.
    const std::pair<float, VstIntPtr> levels[] = {
        {-0.5f, -16383}, {1e30f, INT32_MAX}, {-1e30f, -INT32_MAX}, {NAN, 0}};
    for (const auto& [level, answer] : levels) {
        h.effect.parameters[0] = level;
        EXPECT_EQ(h.dispatch(effGetVu), answer) << level;
    }

    // The arrangement query clears the handles it is given.
    VstSpeakerArrangement dummy{};
    VstSpeakerArrangement *input = &dummy, *output = &dummy;
    EXPECT_EQ(h.dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&input), &output), 0);
    EXPECT_TRUE(input == nullptr && output == nullptr);
    EXPECT_EQ(h.dispatch(effGetSpeakerArrangement), 0);  // none given: nothing to clear
}

TEST(Dispatcher, ResumeAsksForEventsOnlyForSynthsAndMidiTakers) {
    HostedEffect h;
    for (int32 answer : {-1, 0, 1}) {  // no, don't know, yes
        h.effect.canDoAnswer = answer;
        h.dispatch(effMainsChanged, 0, 1);
    }
    h.effect.isSynth(true);
    EXPECT_EQ(h.dispatch(effGetPlugCategory), kPlugCategSynth);
    h.effect.log.clear();
    h.dispatch(effMainsChanged, 0, 1);
    EXPECT_EQ(h.effect.log, Log{"resume"});  // a synth is not asked
    // Events wanted, as opcode 6 with filter 1, for the yes and for the synth.
    ASSERT_EQ(h.calls.size(), 2u);
    for (const Call& c : h.calls) EXPECT_EQ(std::make_pair(c.opcode, c.value), std::make_pair(6, VstIntPtr(1)));
}

// Logs the calls that answer nothing and the key codes it is given; its other answers tell
// which call reached it and with what.
class FakeEditor : public AEffEditor {
public:
    explicit FakeEditor(Log& log) : log_(log) {}
    ~FakeEditor() override { log_.push_back("destroyed"); }
    bool getRect(void*) noexcept override { return true; }
    bool open(void*) noexcept override { return true; }
    void close() noexcept override { log_.push_back("close"); }
    void idle() noexcept override { log_.push_back("idle"); }
    void draw(void*) noexcept override { log_.push_back("draw"); }
    int32 mouse(int32 x, VstIntPtr y) noexcept override { return x * 10 + int32(y); }
    int32 key(VstIntPtr keyCode) noexcept override { return int32(keyCode); }
    void top() noexcept override { log_.push_back("top"); }
    void sleep() noexcept override { log_.push_back("sleep"); }
    bool onKeyDown(VstKeyCode& k) noexcept override { return logKey("down", k); }
    bool onKeyUp(VstKeyCode& k) noexcept override { return logKey("up", k); }
    bool setKnobMode(VstIntPtr mode) noexcept override { return mode == 2; }

private:
    bool logKey(const char* what, const VstKeyCode& k) {
        log_.push_back(std::string(what) + " " + std::to_string(k.character) + " " +
                       std::to_string(k.virt) + " " + std::to_string(k.modifier));
        return true;
    }
    Log& log_;
};

// Without an editor each of these answers 0; the module tests send them all.
TEST(Dispatcher, EditorOpcodesReachAnAttachedEditorWhichTheEffectOwns) {
    Log log;
    {
        HostedEffect h;
        h.effect.getAeffect()->flags = ~effFlagsHasEditor;
        h.effect.setEditor(new FakeEditor(log));
        EXPECT_EQ(h.effect.getAeffect()->flags, ~0);
        EXPECT_EQ(h.dispatch(effEditGetRect), 1);
        EXPECT_EQ(h.dispatch(effEditOpen), 1);
        EXPECT_EQ(h.dispatch(effEditMouse, 3, 4), 34);
        EXPECT_EQ(h.dispatch(effEditKey, 0, 65), 65);
        EXPECT_EQ(h.dispatch(effSetEditKnobMode, 0, 2), 1);
        // The modifiers are the low byte of opt truncated, none when no int32 holds it.
        EXPECT_EQ(h.dispatch(effEditKeyDown, 'a', 0x1234, nullptr, 258.9f), 1);
        EXPECT_EQ(h.dispatch(effEditKeyUp, 'b', 1, nullptr, 1e20f), 1);
        for (int32 opcode : {effEditDraw, effEditIdle, effEditTop, effEditSleep, effEditClose}) h.dispatch(opcode);
        EXPECT_EQ(log, (Log{"down 97 52 2", "up 98 1 0", "draw", "idle", "top", "sleep", "close"}));
        delete h.effect.getEditor();  // detaching hands the editor back
        h.effect.setEditor(nullptr);
        EXPECT_EQ(h.effect.getAeffect()->flags, ~effFlagsHasEditor);
        log.clear();
        h.effect.setEditor(new FakeEditor(log));
    }
    EXPECT_EQ(log, Log{"destroyed"});
}

TEST(Flags, EachSetterTouchesOnlyItsOwnBit) {
    const std::pair<void (AudioEffectX::*)(bool), int32> setters[] = {
        {&AudioEffect::hasClip, effFlagsHasClip}, {&AudioEffect::hasVu, effFlagsHasVu},
        {&AudioEffect::canMono, effFlagsCanMono}, {&AudioEffect::canProcessReplacing, effFlagsCanReplacing},
        {&AudioEffect::programsAreChunks, effFlagsProgramChunks}, {&AudioEffectX::isSynth, effFlagsIsSynth},
        {&AudioEffectX::noTail, effFlagsNoSoundInStop}, {&AudioEffectX::wantAsyncOperation, effFlagsExtIsAsync},
        {&AudioEffectX::hasExternalBuffer, effFlagsExtHasBuffer},
        {&AudioEffect::canDoubleReplacing, effFlagsCanDoubleReplacing}};
    HostedEffect h;
    int32& flags = h.effect.getAeffect()->flags;
    for (int32 background : {0, ~0}) {
        for (const auto& [set, bit] : setters) {
            flags = background;
            (h.effect.*set)(true);
            EXPECT_EQ(flags, background | bit);
            (h.effect.*set)(false);
            EXPECT_EQ(flags, background & ~bit);
        }
    }
}

// An effect whose dispatcher throws: the host must get an answer, never the exception.
class ThrowingEffect : public TestEffect {
public:
    using TestEffect::TestEffect;
    ~ThrowingEffect() override { destroyed = true; }
    VstIntPtr dispatcher(int32, int32, VstIntPtr, void*, float) override { throw std::runtime_error("no"); }
    static inline bool destroyed = false;
};

TEST(Entries, NoExceptionReachesTheHost) {
    AEffect* e = (new ThrowingEffect(nullptr))->getAeffect();
    EXPECT_EQ(e->dispatcher(e, effGetVendorVersion, 0, 0, nullptr, 0.0f), 0);
    // The host lets go of the record on close whatever happens, so the object goes too.
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_TRUE(ThrowingEffect::destroyed);
}

}  // namespace
}  // namespace frametest
