// A minimal effect on the frame that records which of its operations the frame called,
// and reports its own construction and destruction to the host so that a host (or a
// test loading it as a module) can count live objects.
#pragma once

#include <string>
#include <vector>

#include "frame/audioeffectx.h"

namespace frametest {

// Host opcode audioMasterVendorSpecific with these indexes marks the object's lifecycle.
constexpr int32 kLifecycleMarker = fourCharCode('l', 'i', 'f', 'e');
constexpr VstIntPtr kConstructed = 1;
constexpr VstIntPtr kDestroyed = 2;
// A host answering this to the construction marker makes the constructor throw.
constexpr VstIntPtr kPleaseThrow = fourCharCode('t', 'h', 'r', 'o');

constexpr int32 kTestPrograms = 3;
constexpr int32 kTestParams = 2;
constexpr int32 kBankChunkBytes = 8;
constexpr int32 kPresetChunkBytes = 4;

class TestEffect : public AudioEffectX {
public:
    explicit TestEffect(audioMasterCallback host);
    ~TestEffect() override;

    void open() noexcept override { log.push_back("open"); }
    void close() noexcept override { log.push_back("close"); }
    void suspend() noexcept override { log.push_back("suspend"); }
    void resume() noexcept override {
        log.push_back("resume");
        AudioEffectX::resume();
    }
    void setProgram(int32 program) noexcept override {
        log.push_back("setProgram " + std::to_string(program));
        AudioEffectX::setProgram(program);
    }
    void processReplacing(float** inputs, float** outputs, int32 frames) noexcept override;
    void setParameter(int32 index, float value) noexcept override;
    float getParameter(int32 index) noexcept override;
    // The level shown on the VU meter is parameter 0.
    float getVu() noexcept override { return parameters[0]; }
    int32 getChunk(void** data, bool isPreset) noexcept override;
    int32 setChunk(void* data, int32 byteSize, bool isPreset) noexcept override;
    int32 canDo(char* text) noexcept override {
        log.push_back(std::string("canDo ") + (text ? text : "(null)"));
        return canDoAnswer;
    }

    std::vector<std::string> log;
    int32 canDoAnswer = -1;
    float parameters[kTestParams] = {};
    unsigned char chunk[kBankChunkBytes] = {};
};

}  // namespace frametest
