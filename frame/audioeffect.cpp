// The base effect: the record, opcodes 0 to 24, flag setters, the base host services
// and the record's entries.
#include "frame/audioeffect.h"

#include <cstring>

namespace {
constexpr int32 kIdentifyAnswer = fourCharCode('N', 'v', 'E', 'f');
constexpr int32 kDefaultUniqueID = fourCharCode('N', 'o', 'E', 'f');

inline AudioEffect* objectOf(AEffect* e) { return static_cast<AudioEffect*>(e->object); }

// Writes an empty text, but never through a missing buffer.
inline void clearText(char* text) {
    if (text) text[0] = '\0';
}

// VU meter level as the host's integer scale, truncated toward zero. A level the
// integer cannot hold (NaN, infinite, absurdly large) is clamped instead of being
// converted, which would be undefined.
VstIntPtr vuToHost(float level) {
    const double scaled = static_cast<double>(level) * 32767.0;
    if (!(scaled == scaled)) return 0;
    constexpr double kLimit = 2147483647.0;
    if (scaled >= kLimit) return static_cast<VstIntPtr>(2147483647);
    if (scaled <= -kLimit) return -static_cast<VstIntPtr>(2147483647);
    return static_cast<VstIntPtr>(scaled);
}
}  // namespace

AudioEffect::AudioEffect(audioMasterCallback audioMaster, int32 numPrograms, int32 numParams)
    : audioMaster(audioMaster), numPrograms(numPrograms), numParams(numParams) {
    // Hosts read reserved fields too; start from all zero so none holds garbage.
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = &dispatchEffectClass;
    cEffect.process = &processClass;
    cEffect.setParameter = &setParameterClass;
    cEffect.getParameter = &getParameterClass;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = effFlagsCanReplacing;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = kDefaultUniqueID;
    cEffect.version = 1;
    cEffect.processReplacing = &processClassReplacing;
    cEffect.processDoubleReplacing = &processClassDoubleReplacing;
}

AudioEffect::~AudioEffect() { delete editor; }

VstIntPtr AudioEffect::dispatcher(int32 opcode, int32 index, VstIntPtr value, void* ptr,
                                  float opt) {
    switch (opcode) {
        case effOpen: open(); return 0;
        case effClose: close(); return 0;
        case effSetProgram:
            if (value < numPrograms) setProgram(static_cast<int32>(value));
            return 0;
        case effGetProgram: return getProgram();
        case effSetProgramName: setProgramName(static_cast<char*>(ptr)); return 0;
        case effGetProgramName: getProgramName(static_cast<char*>(ptr)); return 0;
        case effGetParamLabel: getParameterLabel(index, static_cast<char*>(ptr)); return 0;
        case effGetParamDisplay: getParameterDisplay(index, static_cast<char*>(ptr)); return 0;
        case effGetParamName: getParameterName(index, static_cast<char*>(ptr)); return 0;
        case effGetVu: return vuToHost(getVu());
        case effSetSampleRate: setSampleRate(opt); return 0;
        case effSetBlockSize: setBlockSize(static_cast<int32>(value)); return 0;
        case effMainsChanged:
            if (value == 0)
                suspend();
            else
                resume();
            return 0;
        case effEditGetRect: return editor ? editor->getRect(ptr) : 0;
        case effEditOpen: return editor ? editor->open(ptr) : 0;
        case effEditClose:
            if (editor) editor->close();
            return 0;
        case effEditDraw:
            if (editor) editor->draw(ptr);
            return 0;
        case effEditMouse: return editor ? editor->mouse(index, value) : 0;
        case effEditKey: return editor ? editor->key(value) : 0;
        case effEditIdle:
            if (editor) editor->idle();
            return 0;
        case effEditTop:
            if (editor) editor->top();
            return 0;
        case effEditSleep:
            if (editor) editor->sleep();
            return 0;
        case effIdentify: return kIdentifyAnswer;
        // Index 0 is the whole bank, any other a single program.
        case effGetChunk: return getChunk(static_cast<void**>(ptr), index != 0);
        case effSetChunk: return setChunk(ptr, static_cast<int32>(value), index != 0);
        default: return 0;
    }
}

void AudioEffect::setSampleRate(float newRate) noexcept {
    sampleRate.store(newRate, std::memory_order_relaxed);
}

void AudioEffect::setBlockSize(int32 newSize) noexcept { blockSize = newSize; }

void AudioEffect::setParameterAutomated(int32 index, float value) noexcept {
    // The effect's state changes before the host hears of it.
    setParameter(index, value);
    if (audioMaster) callHost(audioMasterAutomate, index, 0, nullptr, value);
}

void AudioEffect::getProgramName(char* name) noexcept { clearText(name); }
void AudioEffect::getParameterLabel(int32, char* label) noexcept { clearText(label); }
void AudioEffect::getParameterDisplay(int32, char* text) noexcept { clearText(text); }
void AudioEffect::getParameterName(int32, char* text) noexcept { clearText(text); }

void AudioEffect::canProcessReplacing(bool state) noexcept { setFlag(effFlagsCanReplacing, state); }
void AudioEffect::canDoubleReplacing(bool state) noexcept {
    setFlag(effFlagsCanDoubleReplacing, state);
}
void AudioEffect::programsAreChunks(bool state) noexcept { setFlag(effFlagsProgramChunks, state); }
void AudioEffect::hasVu(bool state) noexcept { setFlag(effFlagsHasVu, state); }
void AudioEffect::hasClip(bool state) noexcept { setFlag(effFlagsHasClip, state); }
void AudioEffect::canMono(bool state) noexcept { setFlag(effFlagsCanMono, state); }

void AudioEffect::setEditor(AEffEditor* newEditor) noexcept {
    editor = newEditor;
    setFlag(effFlagsHasEditor, newEditor != nullptr);
}

void AudioEffect::setFlag(int32 mask, bool state) noexcept {
    if (state)
        cEffect.flags |= mask;
    else
        cEffect.flags &= ~mask;
}

VstIntPtr AudioEffect::callHost(int32 opcode, int32 index, VstIntPtr value, void* ptr,
                                float opt) noexcept {
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

int32 AudioEffect::getMasterVersion() noexcept {
    // Hosts that do not say are taken to be version 1.
    const VstIntPtr version = callHost(audioMasterVersion);
    return version == 0 ? 1 : static_cast<int32>(version);
}

int32 AudioEffect::getCurrentUniqueId() noexcept {
    return static_cast<int32>(callHost(audioMasterCurrentId));
}

void AudioEffect::masterIdle() noexcept { callHost(audioMasterIdle); }

// The host answers 0 for a connected pin; without a host every pin counts as connected.
bool AudioEffect::isInputConnected(int32 input) noexcept {
    return callHost(audioMasterPinConnected, input, 0) == 0;
}

bool AudioEffect::isOutputConnected(int32 output) noexcept {
    return callHost(audioMasterPinConnected, output, 1) == 0;
}

// [main-thread] The host's control entry. Nothing thrown by an effect's dispatcher may
// unwind into the host's C code; such a request is answered 0.
VstIntPtr AudioEffect::dispatchEffectClass(AEffect* e, int32 opcode, int32 index,
                                           VstIntPtr value, void* ptr, float opt) noexcept {
    AudioEffect* effect = objectOf(e);
    if (opcode == effClose) {
        // The host lets go of the record now, so the object goes whatever close did.
        try {
            effect->dispatcher(opcode, index, value, ptr, opt);
        } catch (...) {
        }
        delete effect;
        return 1;
    }
    try {
        return effect->dispatcher(opcode, index, value, ptr, opt);
    } catch (...) {
        return 0;
    }
}

// [audio-thread] The processing entries forward without checks: one load, one call.
void AudioEffect::processClass(AEffect* e, float** inputs, float** outputs,
                               int32 sampleFrames) noexcept {
    objectOf(e)->process(inputs, outputs, sampleFrames);
}

void AudioEffect::processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                        int32 sampleFrames) noexcept {
    objectOf(e)->processReplacing(inputs, outputs, sampleFrames);
}

void AudioEffect::processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs,
                                              int32 sampleFrames) noexcept {
    objectOf(e)->processDoubleReplacing(inputs, outputs, sampleFrames);
}

// [any thread] Parameter entries.
void AudioEffect::setParameterClass(AEffect* e, int32 index, float value) noexcept {
    objectOf(e)->setParameter(index, value);
}

float AudioEffect::getParameterClass(AEffect* e, int32 index) noexcept {
    return objectOf(e)->getParameter(index);
}
