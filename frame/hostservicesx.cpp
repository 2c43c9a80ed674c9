// Extended host services: thin wrappers around the host callback. Without a callback
// callHost answers 0, which every wrapper turns into its neutral default.
#include "frame/audioeffectx.h"

namespace {
template <typename T>
T* asPointer(VstIntPtr answer) {
    return reinterpret_cast<T*>(answer);
}
}  // namespace

VstTimeInfo* AudioEffectX::getTimeInfo(int32 filter) noexcept {
    return asPointer<VstTimeInfo>(callHost(audioMasterGetTime, 0, filter));
}

// Hosts answer exactly 1 when they took the events.
bool AudioEffectX::sendVstEventsToHost(VstEvents* events) noexcept {
    return callHost(audioMasterProcessEvents, 0, 0, events) == 1;
}

int32 AudioEffectX::tempoAt(int32 pos) noexcept {
    return static_cast<int32>(callHost(audioMasterTempoAt, 0, pos));
}

int32 AudioEffectX::getNumAutomatableParameters() noexcept {
    return static_cast<int32>(callHost(audioMasterGetNumAutomatableParameters));
}

int32 AudioEffectX::getParameterQuantization() noexcept {
    return static_cast<int32>(callHost(audioMasterGetParameterQuantization));
}

bool AudioEffectX::ioChanged() noexcept { return callHost(audioMasterIOChanged) != 0; }
bool AudioEffectX::needIdle() noexcept { return callHost(audioMasterNeedIdle) != 0; }

bool AudioEffectX::sizeWindow(int32 width, int32 height) noexcept {
    return callHost(audioMasterSizeWindow, width, height) != 0;
}

// The host's value is taken only when it is a usable one.
double AudioEffectX::updateSampleRate() noexcept {
    const VstIntPtr rate = callHost(audioMasterGetSampleRate);
    if (rate > 0) sampleRate.store(static_cast<float>(rate), std::memory_order_relaxed);
    return sampleRate.load(std::memory_order_relaxed);
}

int32 AudioEffectX::updateBlockSize() noexcept {
    const VstIntPtr size = callHost(audioMasterGetBlockSize);
    if (size > 0) blockSize = static_cast<int32>(size);
    return blockSize;
}

int32 AudioEffectX::getInputLatency() noexcept {
    return static_cast<int32>(callHost(audioMasterGetInputLatency));
}

int32 AudioEffectX::getOutputLatency() noexcept {
    return static_cast<int32>(callHost(audioMasterGetOutputLatency));
}

// Neither sends its argument: the host answers for the neighbour it knows.
AEffect* AudioEffectX::getPreviousPlug(int32) noexcept {
    return asPointer<AEffect>(callHost(audioMasterGetPreviousPlug));
}

AEffect* AudioEffectX::getNextPlug(int32) noexcept {
    return asPointer<AEffect>(callHost(audioMasterGetNextPlug));
}

int32 AudioEffectX::willProcessReplacing() noexcept {
    return static_cast<int32>(callHost(audioMasterWillReplaceOrAccumulate));
}

int32 AudioEffectX::getCurrentProcessLevel() noexcept {
    return static_cast<int32>(callHost(audioMasterGetCurrentProcessLevel));
}

int32 AudioEffectX::getAutomationState() noexcept {
    return static_cast<int32>(callHost(audioMasterGetAutomationState));
}

bool AudioEffectX::offlineStart(VstAudioFile* ptr, int32 numAudioFiles,
                                int32 numNewAudioFiles) noexcept {
    return callHost(audioMasterOfflineStart, numNewAudioFiles, numAudioFiles, ptr) != 0;
}

bool AudioEffectX::offlineRead(VstOfflineTask* offline, VstOfflineOption option,
                               bool readSource) noexcept {
    return callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, offline) != 0;
}

bool AudioEffectX::offlineWrite(VstOfflineTask* offline, VstOfflineOption option) noexcept {
    return callHost(audioMasterOfflineWrite, 0, option, offline) != 0;
}

int32 AudioEffectX::offlineGetCurrentPass() noexcept {
    return callHost(audioMasterOfflineGetCurrentPass) != 0;
}

int32 AudioEffectX::offlineGetCurrentMetaPass() noexcept {
    return callHost(audioMasterOfflineGetCurrentMetaPass) != 0;
}

void AudioEffectX::setOutputSamplerate(float samplerate) noexcept {
    callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, samplerate);
}

VstSpeakerArrangement* AudioEffectX::getOutputSpeakerArrangement() noexcept {
    return asPointer<VstSpeakerArrangement>(callHost(audioMasterGetOutputSpeakerArrangement));
}

VstSpeakerArrangement* AudioEffectX::getInputSpeakerArrangement() noexcept {
    return asPointer<VstSpeakerArrangement>(callHost(audioMasterGetInputSpeakerArrangement));
}

bool AudioEffectX::getHostVendorString(char* text) noexcept {
    return callHost(audioMasterGetVendorString, 0, 0, text) != 0;
}

bool AudioEffectX::getHostProductString(char* text) noexcept {
    return callHost(audioMasterGetProductString, 0, 0, text) != 0;
}

int32 AudioEffectX::getHostVendorVersion() noexcept {
    return static_cast<int32>(callHost(audioMasterGetVendorVersion));
}

VstIntPtr AudioEffectX::hostVendorSpecific(int32 lArg1, VstIntPtr lArg2, void* ptrArg,
                                           float floatArg) noexcept {
    return callHost(audioMasterVendorSpecific, lArg1, lArg2, ptrArg, floatArg);
}

// Hosts answer 1 (yes), -1 (no) or 0 (don't know); only a yes is a yes.
bool AudioEffectX::canHostDo(char* text) noexcept {
    return callHost(audioMasterCanDo, 0, 0, text) > 0;
}

int32 AudioEffectX::getHostLanguage() noexcept {
    return static_cast<int32>(callHost(audioMasterGetLanguage));
}

void* AudioEffectX::openWindow(VstWindow* window) noexcept {
    return asPointer<void>(callHost(audioMasterOpenWindow, 0, 0, window));
}

bool AudioEffectX::closeWindow(VstWindow* window) noexcept {
    return callHost(audioMasterCloseWindow, 0, 0, window) != 0;
}

void* AudioEffectX::getDirectory() noexcept {
    return asPointer<void>(callHost(audioMasterGetDirectory));
}

bool AudioEffectX::updateDisplay() noexcept { return callHost(audioMasterUpdateDisplay) != 0; }

bool AudioEffectX::beginEdit(int32 index) noexcept {
    return callHost(audioMasterBeginEdit, index) != 0;
}

bool AudioEffectX::endEdit(int32 index) noexcept {
    return callHost(audioMasterEndEdit, index) != 0;
}

// These three need something for the host to work on; without it the host is not asked.
bool AudioEffectX::openFileSelector(VstFileSelect* select) noexcept {
    return select && callHost(audioMasterOpenFileSelector, 0, 0, select) != 0;
}

bool AudioEffectX::closeFileSelector(VstFileSelect* select) noexcept {
    return select && callHost(audioMasterCloseFileSelector, 0, 0, select) != 0;
}

bool AudioEffectX::getChunkFile(void* nativePath) noexcept {
    return nativePath && callHost(audioMasterGetChunkFile, 0, 0, nativePath) != 0;
}
