// A minimal effect on the frame that logs which of its operations the frame called, and an
// in-process host for the tests that link it in directly.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "frame/audioeffectx.h"
#include "host/vst_host.h"

namespace frametest {

// A host answering this to the module factory's vendor-specific question makes it throw.
constexpr VstIntPtr kPleaseThrow = fourCharCode('t', 'h', 'r', 'o');

constexpr int32 kTestPrograms = 3;
constexpr int32 kTestParams = 2;
// A bank and a program chunk differ in size, so a host can tell which one it was given.
constexpr int32 kBankChunkBytes = 8;
constexpr int32 kPresetChunkBytes = 4;

class TestEffect : public AudioEffectX {
public:
    explicit TestEffect(audioMasterCallback host) : AudioEffectX(host, kTestPrograms, kTestParams) {}

    void open() noexcept override { log.push_back("open"); }
    void close() noexcept override { log.push_back("close"); }
    void suspend() noexcept override { log.push_back("suspend"); }
    void resume() noexcept override {
        log.push_back("resume");
        AudioEffectX::resume();
    }
    // Copies the left input to both outputs.
    void processReplacing(float** inputs, float** outputs, int32 frames) noexcept override {
        for (int32 i = 0; i < frames; ++i) outputs[0][i] = outputs[1][i] = inputs[0][i];
    }
    void setParameter(int32 index, float value) noexcept override {
        if (index >= 0 && index < kTestParams) parameters[index] = value;
    }
    float getParameter(int32 index) noexcept override {
        return index >= 0 && index < kTestParams ? parameters[index] : 0.0f;
    }
    float getVu() noexcept override { return parameters[0]; }  // parameter 0 is the level
    int32 getChunk(void** data, bool isPreset) noexcept override {
        if (data) *data = chunk;
        return data ? (isPreset ? kPresetChunkBytes : kBankChunkBytes) : 0;
    }
    int32 canDo(char* text) noexcept override {
        log.push_back(std::string("canDo ") + (text ? text : "(null)"));
        return canDoAnswer;
    }

    std::vector<std::string> log;
    int32 canDoAnswer = -1;
    float parameters[kTestParams] = {};
    unsigned char chunk[kBankChunkBytes] = {};
};

using Call = vhost::HostCall;

// A TestEffect and a host that records what the effect asks and answers from a table by
// opcode, 0 for the rest. One lives at a time: the callback finds it through a static.
struct HostedEffect {
    HostedEffect() { current = this; }
    ~HostedEffect() { current = nullptr; }

    static VstIntPtr callback(AEffect* e, int32 opcode, int32 index, VstIntPtr value, void* ptr,
                              float opt) {
        current->calls.push_back(Call{e, opcode, index, value, ptr, opt});
        if (current->onCall) current->onCall();
        const auto answer = current->answers.find(opcode);
        return answer == current->answers.end() ? 0 : answer->second;
    }
    VstIntPtr dispatch(int32 opcode, int32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f) {
        return effect.dispatcher(opcode, index, value, ptr, opt);
    }

    TestEffect effect{&callback};
    std::vector<Call> calls;
    std::map<int32, VstIntPtr> answers;  // by opcode
    std::function<void()> onCall;

private:
    static inline HostedEffect* current = nullptr;
};

}  // namespace frametest
