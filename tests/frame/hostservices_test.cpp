// Host services of both classes: what each sends, how each reads the answer, and the
// defaults without a host callback.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "tests/frame/recording_host.h"

namespace frametest {
namespace {

TEST(BaseServices, AskTheHostAndReadItsAnswer) {
    HostedEffect h;
    auto& answers = h.host.answers;
    EXPECT_EQ(h.effect->getMasterVersion(), 1);  // a host answering 0 counts as version 1
    answers[audioMasterVersion] = 2400;
    EXPECT_EQ(h.effect->getMasterVersion(), 2400);
    answers[audioMasterCurrentId] = 1234;
    EXPECT_EQ(h.effect->getCurrentUniqueId(), 1234);
    EXPECT_TRUE(h.effect->isInputConnected(3));  // the host answers 0 for a connected pin
    answers[audioMasterPinConnected] = 1;
    EXPECT_FALSE(h.effect->isOutputConnected(5));
    h.effect->masterIdle();

    // Automation changes the effect before the host hears of it.
    float valueWhenHostHeard = -1.0f;
    h.host.onCall = [&](const Call&) { valueWhenHostHeard = h.effect->parameters[1]; };
    h.effect->setParameterAutomated(1, 0.75f);
    EXPECT_EQ(valueWhenHostHeard, 0.75f);

    const auto calls = h.host.services();
    ASSERT_EQ(calls.size(), 7u);
    const std::pair<int32, VstIntPtr> pins[] = {{3, 0}, {5, 1}};  // (index, value) sent
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(calls[3 + i].opcode, audioMasterPinConnected);
        EXPECT_EQ(calls[3 + i].index, pins[i].first);
        EXPECT_EQ(calls[3 + i].value, pins[i].second);
    }
    EXPECT_EQ(calls[5].opcode, audioMasterIdle);
    EXPECT_EQ(calls[6].opcode, audioMasterAutomate);
    EXPECT_EQ(calls[6].index, 1);
    EXPECT_EQ(calls[6].opt, 0.75f);
    for (const Call& c : calls) EXPECT_EQ(c.effect, h.effect->getAeffect());
}

TEST(BaseServices, WithoutAHostReturnNeutralDefaults) {
    TestEffect effect(nullptr);
    EXPECT_EQ(effect.getMasterVersion(), 1);
    EXPECT_EQ(effect.getCurrentUniqueId(), 0);
    EXPECT_TRUE(effect.isInputConnected(0));
    EXPECT_TRUE(effect.isOutputConnected(0));
    effect.masterIdle();
    effect.setParameterAutomated(0, 0.5f);
    EXPECT_EQ(effect.parameters[0], 0.5f);
    effect.isSynth(true);
    effect.resume();  // wants events, but there is nobody to tell
}

// How an extended service turns the host's answer into its result.
enum class Reading { Value, NonZero, Positive, ExactlyOne };

struct Service {
    const char* name;
    std::function<VstIntPtr(AudioEffectX&)> call;
    Call sent;  // effect field unused
    Reading reading;
};

VstIntPtr asInt(const void* p) { return reinterpret_cast<VstIntPtr>(p); }

// Distinct non-null pointers the services pass through without reading.
template <typename T>
T* fake(int n) {
    return reinterpret_cast<T*>(static_cast<std::uintptr_t>(0x1000 + 0x10 * n));
}

std::vector<Service> extendedServices() {
    using R = Reading;
    auto* text = fake<char>(1);
    auto* events = fake<VstEvents>(2);
    auto* files = fake<VstAudioFile>(3);
    auto* task = fake<VstOfflineTask>(4);
    auto* window = fake<VstWindow>(5);
    auto* select = fake<VstFileSelect>(6);
    auto* path = fake<void>(7);
    const auto option = static_cast<VstOfflineOption>(9);
    return {
        {"getTimeInfo", [](AudioEffectX& e) { return asInt(e.getTimeInfo(77)); }, {nullptr, audioMasterGetTime, 0, 77, nullptr, 0}, R::Value},
        {"sendVstEventsToHost", [=](AudioEffectX& e) { return VstIntPtr(e.sendVstEventsToHost(events)); }, {nullptr, audioMasterProcessEvents, 0, 0, events, 0}, R::ExactlyOne},
        {"tempoAt", [](AudioEffectX& e) { return VstIntPtr(e.tempoAt(300)); }, {nullptr, audioMasterTempoAt, 0, 300, nullptr, 0}, R::Value},
        {"getNumAutomatableParameters", [](AudioEffectX& e) { return VstIntPtr(e.getNumAutomatableParameters()); }, {nullptr, audioMasterGetNumAutomatableParameters, 0, 0, nullptr, 0}, R::Value},
        {"getParameterQuantization", [](AudioEffectX& e) { return VstIntPtr(e.getParameterQuantization()); }, {nullptr, audioMasterGetParameterQuantization, 0, 0, nullptr, 0}, R::Value},
        {"ioChanged", [](AudioEffectX& e) { return VstIntPtr(e.ioChanged()); }, {nullptr, audioMasterIOChanged, 0, 0, nullptr, 0}, R::NonZero},
        {"needIdle", [](AudioEffectX& e) { return VstIntPtr(e.needIdle()); }, {nullptr, audioMasterNeedIdle, 0, 0, nullptr, 0}, R::NonZero},
        {"sizeWindow", [](AudioEffectX& e) { return VstIntPtr(e.sizeWindow(640, 480)); }, {nullptr, audioMasterSizeWindow, 640, 480, nullptr, 0}, R::NonZero},
        {"getInputLatency", [](AudioEffectX& e) { return VstIntPtr(e.getInputLatency()); }, {nullptr, audioMasterGetInputLatency, 0, 0, nullptr, 0}, R::Value},
        {"getOutputLatency", [](AudioEffectX& e) { return VstIntPtr(e.getOutputLatency()); }, {nullptr, audioMasterGetOutputLatency, 0, 0, nullptr, 0}, R::Value},
        {"getPreviousPlug", [](AudioEffectX& e) { return asInt(e.getPreviousPlug(4)); }, {nullptr, audioMasterGetPreviousPlug, 0, 0, nullptr, 0}, R::Value},
        {"getNextPlug", [](AudioEffectX& e) { return asInt(e.getNextPlug(4)); }, {nullptr, audioMasterGetNextPlug, 0, 0, nullptr, 0}, R::Value},
        {"willProcessReplacing", [](AudioEffectX& e) { return VstIntPtr(e.willProcessReplacing()); }, {nullptr, audioMasterWillReplaceOrAccumulate, 0, 0, nullptr, 0}, R::Value},
        {"getCurrentProcessLevel", [](AudioEffectX& e) { return VstIntPtr(e.getCurrentProcessLevel()); }, {nullptr, audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0}, R::Value},
        {"getAutomationState", [](AudioEffectX& e) { return VstIntPtr(e.getAutomationState()); }, {nullptr, audioMasterGetAutomationState, 0, 0, nullptr, 0}, R::Value},
        {"offlineStart", [=](AudioEffectX& e) { return VstIntPtr(e.offlineStart(files, 5, 2)); }, {nullptr, audioMasterOfflineStart, 2, 5, files, 0}, R::NonZero},
        {"offlineRead", [=](AudioEffectX& e) { return VstIntPtr(e.offlineRead(task, option, true)); }, {nullptr, audioMasterOfflineRead, 1, 9, task, 0}, R::NonZero},
        {"offlineWrite", [=](AudioEffectX& e) { return VstIntPtr(e.offlineWrite(task, option)); }, {nullptr, audioMasterOfflineWrite, 0, 9, task, 0}, R::NonZero},
        {"offlineGetCurrentPass", [](AudioEffectX& e) { return VstIntPtr(e.offlineGetCurrentPass()); }, {nullptr, audioMasterOfflineGetCurrentPass, 0, 0, nullptr, 0}, R::NonZero},
        {"offlineGetCurrentMetaPass", [](AudioEffectX& e) { return VstIntPtr(e.offlineGetCurrentMetaPass()); }, {nullptr, audioMasterOfflineGetCurrentMetaPass, 0, 0, nullptr, 0}, R::NonZero},
        {"setOutputSamplerate", [](AudioEffectX& e) { return e.setOutputSamplerate(96000.0f), VstIntPtr(0); }, {nullptr, audioMasterSetOutputSampleRate, 0, 0, nullptr, 96000.0f}, R::Value},
        {"getOutputSpeakerArrangement", [](AudioEffectX& e) { return asInt(e.getOutputSpeakerArrangement()); }, {nullptr, audioMasterGetOutputSpeakerArrangement, 0, 0, nullptr, 0}, R::Value},
        {"getHostVendorString", [=](AudioEffectX& e) { return VstIntPtr(e.getHostVendorString(text)); }, {nullptr, audioMasterGetVendorString, 0, 0, text, 0}, R::NonZero},
        {"getHostProductString", [=](AudioEffectX& e) { return VstIntPtr(e.getHostProductString(text)); }, {nullptr, audioMasterGetProductString, 0, 0, text, 0}, R::NonZero},
        {"getHostVendorVersion", [](AudioEffectX& e) { return VstIntPtr(e.getHostVendorVersion()); }, {nullptr, audioMasterGetVendorVersion, 0, 0, nullptr, 0}, R::Value},
        {"hostVendorSpecific", [=](AudioEffectX& e) { return e.hostVendorSpecific(11, 22, path, 0.5f); }, {nullptr, audioMasterVendorSpecific, 11, 22, path, 0.5f}, R::Value},
        {"canHostDo", [=](AudioEffectX& e) { return VstIntPtr(e.canHostDo(text)); }, {nullptr, audioMasterCanDo, 0, 0, text, 0}, R::Positive},
        {"getHostLanguage", [](AudioEffectX& e) { return VstIntPtr(e.getHostLanguage()); }, {nullptr, audioMasterGetLanguage, 0, 0, nullptr, 0}, R::Value},
        {"openWindow", [=](AudioEffectX& e) { return asInt(e.openWindow(window)); }, {nullptr, audioMasterOpenWindow, 0, 0, window, 0}, R::Value},
        {"closeWindow", [=](AudioEffectX& e) { return VstIntPtr(e.closeWindow(window)); }, {nullptr, audioMasterCloseWindow, 0, 0, window, 0}, R::NonZero},
        {"getDirectory", [](AudioEffectX& e) { return asInt(e.getDirectory()); }, {nullptr, audioMasterGetDirectory, 0, 0, nullptr, 0}, R::Value},
        {"updateDisplay", [](AudioEffectX& e) { return VstIntPtr(e.updateDisplay()); }, {nullptr, audioMasterUpdateDisplay, 0, 0, nullptr, 0}, R::NonZero},
        {"beginEdit", [](AudioEffectX& e) { return VstIntPtr(e.beginEdit(6)); }, {nullptr, audioMasterBeginEdit, 6, 0, nullptr, 0}, R::NonZero},
        {"endEdit", [](AudioEffectX& e) { return VstIntPtr(e.endEdit(6)); }, {nullptr, audioMasterEndEdit, 6, 0, nullptr, 0}, R::NonZero},
        {"openFileSelector", [=](AudioEffectX& e) { return VstIntPtr(e.openFileSelector(select)); }, {nullptr, audioMasterOpenFileSelector, 0, 0, select, 0}, R::NonZero},
        {"closeFileSelector", [=](AudioEffectX& e) { return VstIntPtr(e.closeFileSelector(select)); }, {nullptr, audioMasterCloseFileSelector, 0, 0, select, 0}, R::NonZero},
        {"getChunkFile", [=](AudioEffectX& e) { return VstIntPtr(e.getChunkFile(path)); }, {nullptr, audioMasterGetChunkFile, 0, 0, path, 0}, R::NonZero},
        {"getInputSpeakerArrangement", [](AudioEffectX& e) { return asInt(e.getInputSpeakerArrangement()); }, {nullptr, audioMasterGetInputSpeakerArrangement, 0, 0, nullptr, 0}, R::Value},
        {"wantEvents", [](AudioEffectX& e) { return e.wantEvents(3), VstIntPtr(0); }, {nullptr, audioMasterWantMidi, 0, 3, nullptr, 0}, R::Value},
    };
}

VstIntPtr expectedResult(const Service& s, VstIntPtr answer) {
    if (s.sent.opcode == audioMasterSetOutputSampleRate || s.sent.opcode == audioMasterWantMidi)
        return 0;  // no result
    switch (s.reading) {
        case Reading::Value: return answer;
        case Reading::NonZero: return answer != 0;
        case Reading::Positive: return answer > 0;
        case Reading::ExactlyOne: return answer == 1;
    }
    return -999;
}

auto arguments(const Call& c) { return std::make_tuple(c.opcode, c.index, c.value, c.ptr, c.opt); }

TEST(ExtendedServices, SendTheirArgumentsAndReadTheAnswer) {
    for (const Service& s : extendedServices()) {
        for (VstIntPtr answer : {VstIntPtr(0), VstIntPtr(1), VstIntPtr(-1), VstIntPtr(2), VstIntPtr(0x7000)}) {
            HostedEffect h;
            h.host.calls.clear();
            h.host.answers[s.sent.opcode] = answer;
            EXPECT_EQ(s.call(*h.effect), expectedResult(s, answer)) << s.name << " answer " << answer;
            const auto calls = h.host.services();
            ASSERT_EQ(calls.size(), 1u) << s.name;
            EXPECT_EQ(calls[0].effect, h.effect->getAeffect()) << s.name;
            EXPECT_EQ(arguments(calls[0]), arguments(s.sent)) << s.name;
        }
    }
}

TEST(ExtendedServices, WithoutAHostMakeNoCallAndReturnZero) {
    TestEffect effect(nullptr);
    for (const Service& s : extendedServices()) EXPECT_EQ(s.call(effect), 0) << s.name;
    EXPECT_EQ(effect.updateSampleRate(), 44100.0);
    EXPECT_EQ(effect.updateBlockSize(), 1024);
}

TEST(ExtendedServices, FileServicesWithoutSubjectDoNotAskTheHost) {
    HostedEffect h;
    h.host.calls.clear();
    for (int32 opcode : {audioMasterOpenFileSelector, audioMasterCloseFileSelector, audioMasterGetChunkFile})
        h.host.answers[opcode] = 1;
    EXPECT_FALSE(h.effect->openFileSelector(nullptr));
    EXPECT_FALSE(h.effect->closeFileSelector(nullptr));
    EXPECT_FALSE(h.effect->getChunkFile(nullptr));
    EXPECT_TRUE(h.host.services().empty());
}

TEST(ExtendedServices, SampleRateAndBlockSizeTakeOnlyUsableAnswers) {
    HostedEffect h;
    h.host.answers[audioMasterGetSampleRate] = 48000;
    EXPECT_EQ(h.effect->updateSampleRate(), 48000.0);
    EXPECT_EQ(h.effect->getSampleRate(), 48000.0f);
    h.host.answers[audioMasterGetSampleRate] = 0;
    EXPECT_EQ(h.effect->updateSampleRate(), 48000.0);
    h.host.answers[audioMasterGetSampleRate] = -96000;
    EXPECT_EQ(h.effect->updateSampleRate(), 48000.0);

    h.host.answers[audioMasterGetBlockSize] = 128;
    EXPECT_EQ(h.effect->updateBlockSize(), 128);
    h.host.answers[audioMasterGetBlockSize] = -1;
    EXPECT_EQ(h.effect->updateBlockSize(), 128);
    EXPECT_EQ(h.effect->getBlockSize(), 128);
}

}  // namespace
}  // namespace frametest
