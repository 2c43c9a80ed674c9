#include "vst/vellicor.h"

#include <cmath>
#include <cstring>

#include "effect/monitor_mode.h"

namespace {

constexpr int32 kParameterTextLength = 8;
constexpr int32 kProgramNameLength = 24;
constexpr int32 kIdentityLength = 64;

// strncpy-style copy of at most maxLength characters, always terminated.
// A null destination is ignored and reported as nothing written.
bool copyText(char* destination, const char* source, std::size_t maxLength) noexcept {
    if (!destination) return false;
    std::strncpy(destination, source, maxLength);
    destination[maxLength] = '\0';
    return true;
}

}  // namespace

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    return new Vellicor(audioMaster);
}

Vellicor::Vellicor(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, 0, 1), programName{} {
    setNumInputs(2);
    setNumOutputs(2);
    setUniqueID(kUniqueId);
    canProcessReplacing(true);
    canDoubleReplacing(true);
    programsAreChunks(true);
    copyText(programName, "Default", kProgramNameLength);
}

Vellicor::~Vellicor() = default;

// [audio-thread] The rate and the parameter are read once per block.
void Vellicor::processReplacing(float** inputs, float** outputs, int32 sampleFrames) noexcept {
    processor.process(inputs, outputs, sampleFrames, getSampleRate(),
                      monitorValue.load(std::memory_order_relaxed));
}

void Vellicor::processDoubleReplacing(double** inputs, double** outputs,
                                      int32 sampleFrames) noexcept {
    processor.process(inputs, outputs, sampleFrames, getSampleRate(),
                      monitorValue.load(std::memory_order_relaxed));
}

void Vellicor::setParameter(int32 index, float value) noexcept {
    if (index == 0) monitorValue.store(value, std::memory_order_relaxed);
}

float Vellicor::getParameter(int32 index) noexcept {
    return index == 0 ? monitorValue.load(std::memory_order_relaxed) : 0.0f;
}

void Vellicor::setProgramName(char* name) noexcept {
    if (name) copyText(programName, name, kProgramNameLength);
}

void Vellicor::getProgramName(char* name) noexcept {
    copyText(name, programName, kProgramNameLength);
}

// Text requests the effect has nothing for still get an empty string: the host's buffer
// may be uninitialised.
void Vellicor::getParameterLabel(int32 index, char* label) noexcept {
    if (label) std::memset(label, 0, kParameterTextLength + 1);
    (void)index;
}

void Vellicor::getParameterDisplay(int32 index, char* text) noexcept {
    const char* name = index == 0 ? monitorModeName(monitorModeOf(getParameter(0))) : nullptr;
    copyText(text, name ? name : "", kParameterTextLength);
}

void Vellicor::getParameterName(int32 index, char* text) noexcept {
    copyText(text, index == 0 ? "Monitor" : "", kParameterTextLength);
}

int32 Vellicor::getChunk(void** data, bool isPreset) noexcept {
    (void)isPreset;
    if (!data) return 0;
    const float value = monitorValue.load(std::memory_order_relaxed);
    std::memcpy(chunkBlock, &value, kChunkSize);
    *data = chunkBlock;
    return kChunkSize;
}

int32 Vellicor::setChunk(void* data, int32 byteSize, bool isPreset) noexcept {
    (void)isPreset;
    // A short or missing chunk is not a saved state: keep the current one.
    if (!data || byteSize < kChunkSize) return 0;
    float value;
    std::memcpy(&value, data, kChunkSize);
    if (std::isnan(value)) value = 0.0f;
    else if (value < 0.0f) value = 0.0f;
    else if (value > 1.0f) value = 1.0f;
    monitorValue.store(value, std::memory_order_relaxed);
    return 0;
}

bool Vellicor::getEffectName(char* name) noexcept {
    return copyText(name, "Vellicor", kIdentityLength);
}

bool Vellicor::getVendorString(char* text) noexcept {
    return copyText(text, "quillotone", kIdentityLength);
}

bool Vellicor::getProductString(char* text) noexcept {
    return copyText(text, "quillotone Vellicor", kIdentityLength);
}

int32 Vellicor::getVendorVersion() noexcept { return 1000; }

int32 Vellicor::canDo(char* text) noexcept {
    if (!text) return -1;
    for (const char* capability : kCapabilities)
        if (std::strcmp(text, capability) == 0) return 1;
    return -1;
}

int32 Vellicor::getPlugCategory() noexcept { return kPlugCategEffect; }
