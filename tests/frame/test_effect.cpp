#include "tests/frame/test_effect.h"

#include <cstring>
#include <stdexcept>

namespace frametest {

TestEffect::TestEffect(audioMasterCallback host)
    : AudioEffectX(host, kTestPrograms, kTestParams) {
    if (hostVendorSpecific(kLifecycleMarker, kConstructed, nullptr, 0.0f) == kPleaseThrow)
        throw std::runtime_error("constructor asked to fail");
}

TestEffect::~TestEffect() { hostVendorSpecific(kLifecycleMarker, kDestroyed, nullptr, 0.0f); }

void TestEffect::processReplacing(float** inputs, float** outputs, int32 frames) noexcept {
    for (int32 i = 0; i < frames; ++i) {
        outputs[0][i] = inputs[0][i];
        outputs[1][i] = inputs[0][i];
    }
}

void TestEffect::setParameter(int32 index, float value) noexcept {
    log.push_back("setParameter " + std::to_string(index));
    if (index >= 0 && index < kTestParams) parameters[index] = value;
}

float TestEffect::getParameter(int32 index) noexcept {
    return index >= 0 && index < kTestParams ? parameters[index] : 0.0f;
}

// A bank and a program differ in size so that a host can tell which one it was given.
int32 TestEffect::getChunk(void** data, bool isPreset) noexcept {
    log.push_back(isPreset ? "getChunk preset" : "getChunk bank");
    if (!data) return 0;
    *data = chunk;
    return isPreset ? kPresetChunkBytes : kBankChunkBytes;
}

int32 TestEffect::setChunk(void* data, int32 byteSize, bool isPreset) noexcept {
    log.push_back(isPreset ? "setChunk preset" : "setChunk bank");
    if (!data || byteSize < 0) return 0;
    const auto bytes = static_cast<std::size_t>(byteSize);
    std::memcpy(chunk, data, bytes < sizeof(chunk) ? bytes : sizeof(chunk));
    return byteSize;
}

}  // namespace frametest
