// The extended effect: opcodes 25 to 79, resume and the defaults that need more than
// one line.
#include "frame/audioeffectx.h"

namespace {
// The editor key handlers take the modifier set as the low byte of an integer that the
// host sends as a float; a float no int32 can hold gives no modifiers rather than an
// undefined conversion.
unsigned char modifierByte(float opt) {
    if (!(opt >= -2147483648.0f && opt < 2147483648.0f)) return 0;
    return static_cast<unsigned char>(static_cast<int32>(opt));
}

VstKeyCode keyCode(int32 index, VstIntPtr value, float opt) {
    VstKeyCode key{};
    key.character = index;
    key.virt = static_cast<unsigned char>(value);
    key.modifier = modifierByte(opt);
    return key;
}
}  // namespace

VstIntPtr AudioEffectX::dispatcher(int32 opcode, int32 index, VstIntPtr value, void* ptr,
                                   float opt) {
    auto text = static_cast<char*>(ptr);
    switch (opcode) {
        case effProcessEvents: return processEvents(static_cast<VstEvents*>(ptr));
        case effCanBeAutomated: return canParameterBeAutomated(index);
        case effString2Parameter: return string2parameter(index, text);
        case effGetNumProgramCategories: return getNumCategories();
        case effGetProgramNameIndexed:
            return getProgramNameIndexed(static_cast<int32>(value), index, text);
        case effCopyProgram: return copyProgram(index);
        // Connection changes are acknowledged whatever the effect makes of them.
        case effConnectInput: inputConnected(index, value != 0); return 1;
        case effConnectOutput: outputConnected(index, value != 0); return 1;
        case effGetInputProperties:
            return getInputProperties(index, static_cast<VstPinProperties*>(ptr));
        case effGetOutputProperties:
            return getOutputProperties(index, static_cast<VstPinProperties*>(ptr));
        case effGetPlugCategory: return getPlugCategory();
        case effGetCurrentPosition: return reportCurrentPosition();
        case effGetDestinationBuffer:
            return reinterpret_cast<VstIntPtr>(reportDestinationBuffer());
        case effOfflineNotify:
            return offlineNotify(static_cast<VstAudioFile*>(ptr), static_cast<int32>(value),
                                 index != 0);
        case effOfflinePrepare:
            return offlinePrepare(static_cast<VstOfflineTask*>(ptr), static_cast<int32>(value));
        case effOfflineRun:
            return offlineRun(static_cast<VstOfflineTask*>(ptr), static_cast<int32>(value));
        case effProcessVarIo: return processVariableIo(static_cast<VstVariableIo*>(ptr));
        case effSetSpeakerArrangement:
            return setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                         static_cast<VstSpeakerArrangement*>(ptr));
        case effSetBlockSizeAndSampleRate:
            setBlockSizeAndSampleRate(static_cast<int32>(value), opt);
            return 1;
        case effSetBypass: return setBypass(value != 0);
        case effGetEffectName: return getEffectName(text);
        case effGetErrorText: return getErrorText(text);
        case effGetVendorString: return getVendorString(text);
        case effGetProductString: return getProductString(text);
        case effGetVendorVersion: return getVendorVersion();
        case effVendorSpecific: return vendorSpecific(index, value, ptr, opt);
        case effCanDo: return canDo(text);
        case effGetTailSize: return getGetTailSize();
        case effIdle: return fxIdle();
        case effGetIcon: return reinterpret_cast<VstIntPtr>(getIcon());
        case effSetViewPosition: return setViewPosition(index, static_cast<int32>(value));
        case effGetParameterProperties:
            return getParameterProperties(index, static_cast<VstParameterProperties*>(ptr));
        // Hosts read this answer inverted: 1 means the effect needs no keys.
        case effKeysRequired: return keysRequired() ? 0 : 1;
        case effGetVstVersion: return getVstVersion();
        case effEditKeyDown: {
            if (!editor) return 0;
            VstKeyCode key = keyCode(index, value, opt);
            return editor->onKeyDown(key);
        }
        case effEditKeyUp: {
            if (!editor) return 0;
            VstKeyCode key = keyCode(index, value, opt);
            return editor->onKeyUp(key);
        }
        case effSetEditKnobMode: return editor ? editor->setKnobMode(value) : 0;
        case effGetMidiProgramName:
            return getMidiProgramName(index, static_cast<MidiProgramName*>(ptr));
        case effGetCurrentMidiProgram:
            return getCurrentMidiProgram(index, static_cast<MidiProgramName*>(ptr));
        case effGetMidiProgramCategory:
            return getMidiProgramCategory(index, static_cast<MidiProgramCategory*>(ptr));
        case effHasMidiProgramsChanged: return hasMidiProgramsChanged(index);
        case effGetMidiKeyName: return getMidiKeyName(index, static_cast<MidiKeyName*>(ptr));
        case effBeginSetProgram: return beginSetProgram();
        case effEndSetProgram: return endSetProgram();
        case effGetSpeakerArrangement:
            return getSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement**>(value),
                                         static_cast<VstSpeakerArrangement**>(ptr));
        case effShellGetNextPlugin: return getNextShellPlugin(text);
        case effStartProcess: return startProcess();
        case effStopProcess: return stopProcess();
        case effSetTotalSampleToProcess: return setTotalSampleToProcess(static_cast<int32>(value));
        case effSetPanLaw: return setPanLaw(static_cast<int32>(value), opt);
        case effBeginLoadBank: return beginLoadBank(static_cast<VstPatchChunkInfo*>(ptr));
        case effBeginLoadProgram: return beginLoadProgram(static_cast<VstPatchChunkInfo*>(ptr));
        case effSetProcessPrecision: return setProcessPrecision(static_cast<int32>(value));
        case effGetNumMidiInputChannels: return getNumMidiInputChannels();
        case effGetNumMidiOutputChannels: return getNumMidiOutputChannels();
        default: return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

// [main-thread] Switching on: a synth, or an effect that takes MIDI, asks for events.
void AudioEffectX::resume() noexcept {
    if (!(cEffect.flags & effFlagsIsSynth)) {
        char word[] = "receiveVstMidiEvent";  // canDo takes a writable text
        if (canDo(word) != 1) return;
    }
    wantEvents(1);
}

void AudioEffectX::wantEvents(int32 filter) noexcept { callHost(audioMasterWantMidi, 0, filter); }

bool AudioEffectX::getSpeakerArrangement(VstSpeakerArrangement** input,
                                         VstSpeakerArrangement** output) noexcept {
    if (input) *input = nullptr;
    if (output) *output = nullptr;
    return false;
}

int32 AudioEffectX::getPlugCategory() noexcept {
    return (cEffect.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}

// Stores both directly: an effect's setBlockSize/setSampleRate overrides are not run.
void AudioEffectX::setBlockSizeAndSampleRate(int32 newBlockSize, float newSampleRate) noexcept {
    blockSize = newBlockSize;
    sampleRate.store(newSampleRate, std::memory_order_relaxed);
}
