// Host services of both classes: what each sends, how each reads the answer, and what
// each gives without a host callback.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <tuple>

#include "tests/frame/test_effect.h"

namespace frametest {
namespace {

// The host may read the parameter back as soon as it hears.
TEST(Services, AutomationChangesTheEffectBeforeTheHostHears) {
    HostedEffect h;
    float valueWhenHostHeard = -1.0f;
    h.onCall = [&] { valueWhenHostHeard = h.effect.parameters[1]; };
    h.effect.setParameterAutomated(1, 0.75f);
    EXPECT_EQ(valueWhenHostHeard, 0.75f);
}

// The answers each service gets from the host, and what it gives for each. Hosts answer a
// question 1 (yes), -1 (no) or 0 (don't know), a pin query 0 for connected, and nothing at all
// when they do not know their version, rate or block size.
constexpr std::array<VstIntPtr, 4> kAnswers{0, 1, -1, 2};
using Results = std::array<VstIntPtr, kAnswers.size()>;
constexpr Results kValue{0, 1, -1, 2}, kNonZero{0, 1, 1, 1}, kPositive{0, 1, 0, 1},
    kExactlyOne{0, 1, 0, 0}, kIsZero{1, 0, 0, 0}, kZeroIsOne{1, 1, -1, 2}, kNothing{0, 0, 0, 0};

// A service, what it gives, and what it sends. Opcodes are numbers, as hosts know them;
// -1 where the host must not be asked at all.
struct Service {
    std::function<VstIntPtr(AudioEffectX&)> call;
    Results results;
    int32 opcode;
    int32 index = 0;
    VstIntPtr value = 0;
    void* ptr = nullptr;
    float opt = 0.0f;
};

// Calls a service with its arguments converted to its parameter types, so that one pointer
// serves as every kind of subject; gives the result as a number, 0 when there is none.
template <typename R, typename C, typename... P, typename... A>
std::function<VstIntPtr(AudioEffectX&)> service(R (C::*f)(P...) noexcept, A... args) {
    return [=](AudioEffectX& e) {
        if constexpr (std::is_void_v<R>) {
            (e.*f)(static_cast<P>(args)...);
            return VstIntPtr(0);
        } else {
            return VstIntPtr((e.*f)(static_cast<P>(args)...));
        }
    };
}

std::vector<Service> services() {
    using X = AudioEffectX;
    static char subject;  // passed through, never read
    void* const p = &subject;
    return {
        {service(&X::setParameterAutomated, 1, 0.75f), kNothing, 0, 1, 0, nullptr, 0.75f},
        {service(&X::getMasterVersion), kZeroIsOne, 1},
        {service(&X::getCurrentUniqueId), kValue, 2},
        {service(&X::masterIdle), kNothing, 3},
        {service(&X::isInputConnected, 3), kIsZero, 4, 3, 0},
        {service(&X::isOutputConnected, 5), kIsZero, 4, 5, 1},
        {service(&X::wantEvents, 3), kNothing, 6, 0, 3},
        {service(&X::getTimeInfo, 77), kValue, 7, 0, 77},
        {service(&X::sendVstEventsToHost, p), kExactlyOne, 8, 0, 0, p},
        {service(&X::tempoAt, 300), kValue, 10, 0, 300},
        {service(&X::getNumAutomatableParameters), kValue, 11},
        {service(&X::getParameterQuantization), kValue, 12},
        {service(&X::ioChanged), kNonZero, 13},
        {service(&X::needIdle), kNonZero, 14},
        {service(&X::sizeWindow, 640, 480), kNonZero, 15, 640, 480},
        {service(&X::updateSampleRate), {44100, 1, 44100, 2}, 16},  // else the effect's own
        {service(&X::updateBlockSize), {1024, 1, 1024, 2}, 17},
        {service(&X::getInputLatency), kValue, 18},
        {service(&X::getOutputLatency), kValue, 19},
        {service(&X::getPreviousPlug, 4), kValue, 20},  // the host knows the neighbour
        {service(&X::getNextPlug, 4), kValue, 21},
        {service(&X::willProcessReplacing), kValue, 22},
        {service(&X::getCurrentProcessLevel), kValue, 23},
        {service(&X::getAutomationState), kValue, 24},
        {service(&X::offlineStart, p, 5, 2), kNonZero, 25, 2, 5, p},
        {service(&X::offlineRead, p, 9, true), kNonZero, 26, 1, 9, p},
        {service(&X::offlineWrite, p, 9), kNonZero, 27, 0, 9, p},
        {service(&X::offlineGetCurrentPass), kNonZero, 28},
        {service(&X::offlineGetCurrentMetaPass), kNonZero, 29},
        {service(&X::setOutputSamplerate, 96000.0f), kNothing, 30, 0, 0, nullptr, 96000.0f},
        {service(&X::getOutputSpeakerArrangement), kValue, 31},
        {service(&X::getHostVendorString, p), kNonZero, 32, 0, 0, p},
        {service(&X::getHostProductString, p), kNonZero, 33, 0, 0, p},
        {service(&X::getHostVendorVersion), kValue, 34},
        {service(&X::hostVendorSpecific, 11, 22, p, 0.5f), kValue, 35, 11, 22, p, 0.5f},
        {service(&X::canHostDo, p), kPositive, 37, 0, 0, p},
        {service(&X::getHostLanguage), kValue, 38},
        {service(&X::openWindow, p), kValue, 39, 0, 0, p},
        {service(&X::closeWindow, p), kNonZero, 40, 0, 0, p},
        {service(&X::getDirectory), kValue, 41},
        {service(&X::updateDisplay), kNonZero, 42},
        {service(&X::beginEdit, 6), kNonZero, 43, 6},
        {service(&X::endEdit, 6), kNonZero, 44, 6},
        {service(&X::openFileSelector, p), kNonZero, 45, 0, 0, p},
        {service(&X::closeFileSelector, p), kNonZero, 46, 0, 0, p},
        {service(&X::getChunkFile, p), kNonZero, 48, 0, 0, p},
        // Without something to work on these do not ask the host.
        {service(&X::openFileSelector, nullptr), kNothing, -1},
        {service(&X::closeFileSelector, nullptr), kNothing, -1},
        {service(&X::getChunkFile, nullptr), kNothing, -1},
        {service(&X::getInputSpeakerArrangement), kValue, 49},
    };
}

// Without a host each gives what it gives when the host answers 0.
TEST(Services, SendTheirArgumentsAndReadTheAnswer) {
    TestEffect alone(nullptr);
    for (const Service& s : services()) {
        EXPECT_EQ(s.call(alone), s.results[0]) << "without a host, opcode " << s.opcode;
        for (std::size_t i = 0; i < kAnswers.size(); ++i) {
            HostedEffect h;
            h.answers[s.opcode] = kAnswers[i];
            EXPECT_EQ(s.call(h.effect), s.results[i]) << "opcode " << s.opcode << " answer " << kAnswers[i];
            ASSERT_EQ(h.calls.size(), s.opcode < 0 ? 0u : 1u) << s.opcode;
            if (h.calls.empty()) continue;
            const Call& c = h.calls[0];
            EXPECT_EQ(c.effect, h.effect.getAeffect());
            EXPECT_EQ(std::make_tuple(c.opcode, c.index, c.value, c.ptr, c.opt),
                      std::make_tuple(s.opcode, s.index, s.value, s.ptr, s.opt));
        }
    }
    EXPECT_EQ(alone.parameters[1], 0.75f);  // automation without a host still changes the effect
}

}  // namespace
}  // namespace frametest
