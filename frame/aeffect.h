// The effect record shared with the host, the host callback and the numbers of the
// VST 2.4 effect interface that this frame speaks. The host reads the record in place,
// so its layout is fixed and checked below for both pointer widths.
#pragma once

#include <cstddef>
#include <cstdint>

using int32 = std::int32_t;
using VstIntPtr = std::intptr_t;  // pointer-sized: dispatcher values and results

struct AEffect;

// Effect -> host.
using audioMasterCallback = VstIntPtr (*)(AEffect* effect, int32 opcode, int32 index,
                                          VstIntPtr value, void* ptr, float opt);

// Host -> effect entries held in the record.
using AEffectDispatcherProc = VstIntPtr (*)(AEffect* effect, int32 opcode, int32 index,
                                            VstIntPtr value, void* ptr, float opt);
using AEffectProcessProc = void (*)(AEffect* effect, float** inputs, float** outputs,
                                    int32 sampleFrames);
using AEffectProcessDoubleProc = void (*)(AEffect* effect, double** inputs, double** outputs,
                                          int32 sampleFrames);
using AEffectSetParameterProc = void (*)(AEffect* effect, int32 index, float parameter);
using AEffectGetParameterProc = float (*)(AEffect* effect, int32 index);

// Four characters packed with the first one in the most significant byte.
constexpr int32 fourCharCode(char a, char b, char c, char d) {
    return static_cast<int32>((static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 24) |
                              (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 16) |
                              (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 8) |
                              static_cast<std::uint32_t>(static_cast<unsigned char>(d)));
}

constexpr int32 kEffectMagic = fourCharCode('V', 's', 't', 'P');
constexpr int32 kVstVersion = 2400;

struct AEffect {
    int32 magic;
    AEffectDispatcherProc dispatcher;
    AEffectProcessProc process;  // accumulating; never offered
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    int32 numPrograms;
    int32 numParams;
    int32 numInputs;
    int32 numOutputs;
    int32 flags;
    VstIntPtr resvd1;
    VstIntPtr resvd2;
    int32 initialDelay;
    int32 realQualities;
    int32 offQualities;
    float ioRatio;
    void* object;  // the AudioEffect that owns this record
    void* user;    // the host's
    int32 uniqueID;
    int32 version;
    AEffectProcessProc processReplacing;
    AEffectProcessDoubleProc processDoubleReplacing;
    char future[56];
};

// Checked for the layout hosts compiled against, at either pointer width.
#define VELLICOR_RECORD_OFFSET(field, at32, at64) \
    static_assert(offsetof(AEffect, field) == (sizeof(void*) == 8 ? (at64) : (at32)), #field)
static_assert(sizeof(void*) == 4 || sizeof(void*) == 8, "4- or 8-byte pointers only");
VELLICOR_RECORD_OFFSET(magic, 0, 0);
VELLICOR_RECORD_OFFSET(dispatcher, 4, 8);
VELLICOR_RECORD_OFFSET(process, 8, 16);
VELLICOR_RECORD_OFFSET(setParameter, 12, 24);
VELLICOR_RECORD_OFFSET(getParameter, 16, 32);
VELLICOR_RECORD_OFFSET(numPrograms, 20, 40);
VELLICOR_RECORD_OFFSET(numParams, 24, 44);
VELLICOR_RECORD_OFFSET(numInputs, 28, 48);
VELLICOR_RECORD_OFFSET(numOutputs, 32, 52);
VELLICOR_RECORD_OFFSET(flags, 36, 56);
VELLICOR_RECORD_OFFSET(resvd1, 40, 64);
VELLICOR_RECORD_OFFSET(resvd2, 44, 72);
VELLICOR_RECORD_OFFSET(initialDelay, 48, 80);
VELLICOR_RECORD_OFFSET(realQualities, 52, 84);
VELLICOR_RECORD_OFFSET(offQualities, 56, 88);
VELLICOR_RECORD_OFFSET(ioRatio, 60, 92);
VELLICOR_RECORD_OFFSET(object, 64, 96);
VELLICOR_RECORD_OFFSET(user, 68, 104);
VELLICOR_RECORD_OFFSET(uniqueID, 72, 112);
VELLICOR_RECORD_OFFSET(version, 76, 116);
VELLICOR_RECORD_OFFSET(processReplacing, 80, 120);
VELLICOR_RECORD_OFFSET(processDoubleReplacing, 84, 128);
VELLICOR_RECORD_OFFSET(future, 88, 136);
#undef VELLICOR_RECORD_OFFSET
static_assert(sizeof(AEffect) == (sizeof(void*) == 8 ? 192 : 144), "record size");

// Bits of AEffect::flags.
enum VstAEffectFlags : int32 {
    effFlagsHasEditor = 1 << 0,
    effFlagsHasClip = 1 << 1,
    effFlagsHasVu = 1 << 2,
    effFlagsCanMono = 1 << 3,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
    effFlagsNoSoundInStop = 1 << 9,
    effFlagsExtIsAsync = 1 << 10,
    effFlagsExtHasBuffer = 1 << 11,
    effFlagsCanDoubleReplacing = 1 << 12,
};

// Host -> effect opcodes (dispatcher).
enum AEffectOpcodes : int32 {
    effOpen = 0,
    effClose,
    effSetProgram,
    effGetProgram,
    effSetProgramName,
    effGetProgramName,
    effGetParamLabel,
    effGetParamDisplay,
    effGetParamName,
    effGetVu,
    effSetSampleRate,
    effSetBlockSize,
    effMainsChanged,
    effEditGetRect,
    effEditOpen,
    effEditClose,
    effEditDraw,
    effEditMouse,
    effEditKey,
    effEditIdle,
    effEditTop,
    effEditSleep,
    effIdentify,
    effGetChunk,
    effSetChunk,
    effProcessEvents,  // 25: first opcode of the extended dispatcher
    effCanBeAutomated,
    effString2Parameter,
    effGetNumProgramCategories,
    effGetProgramNameIndexed,
    effCopyProgram,
    effConnectInput,
    effConnectOutput,
    effGetInputProperties,
    effGetOutputProperties,
    effGetPlugCategory,
    effGetCurrentPosition,
    effGetDestinationBuffer,
    effOfflineNotify,
    effOfflinePrepare,
    effOfflineRun,
    effProcessVarIo,
    effSetSpeakerArrangement,
    effSetBlockSizeAndSampleRate,
    effSetBypass,
    effGetEffectName,
    effGetErrorText,
    effGetVendorString,
    effGetProductString,
    effGetVendorVersion,
    effVendorSpecific,
    effCanDo,
    effGetTailSize,
    effIdle,
    effGetIcon,
    effSetViewPosition,
    effGetParameterProperties,
    effKeysRequired,
    effGetVstVersion,
    effEditKeyDown,
    effEditKeyUp,
    effSetEditKnobMode,
    effGetMidiProgramName,
    effGetCurrentMidiProgram,
    effGetMidiProgramCategory,
    effHasMidiProgramsChanged,
    effGetMidiKeyName,
    effBeginSetProgram,
    effEndSetProgram,
    effGetSpeakerArrangement,
    effShellGetNextPlugin,
    effStartProcess,
    effStopProcess,
    effSetTotalSampleToProcess,
    effSetPanLaw,
    effBeginLoadBank,
    effBeginLoadProgram,
    effSetProcessPrecision,
    effGetNumMidiInputChannels,
    effGetNumMidiOutputChannels,  // 79: last opcode the frame answers
};
static_assert(effGetChunk == 23 && effSetChunk == 24 && effProcessEvents == 25);
static_assert(effGetVstVersion == 58 && effGetNumMidiOutputChannels == 79);

// Effect -> host opcodes (audioMasterCallback).
enum AudioMasterOpcodes : int32 {
    audioMasterAutomate = 0,
    audioMasterVersion,
    audioMasterCurrentId,
    audioMasterIdle,
    audioMasterPinConnected,
    audioMasterWantMidi = 6,
    audioMasterGetTime,
    audioMasterProcessEvents,
    audioMasterTempoAt = 10,
    audioMasterGetNumAutomatableParameters,
    audioMasterGetParameterQuantization,
    audioMasterIOChanged,
    audioMasterNeedIdle,
    audioMasterSizeWindow,
    audioMasterGetSampleRate,
    audioMasterGetBlockSize,
    audioMasterGetInputLatency,
    audioMasterGetOutputLatency,
    audioMasterGetPreviousPlug,
    audioMasterGetNextPlug,
    audioMasterWillReplaceOrAccumulate,
    audioMasterGetCurrentProcessLevel,
    audioMasterGetAutomationState,
    audioMasterOfflineStart,
    audioMasterOfflineRead,
    audioMasterOfflineWrite,
    audioMasterOfflineGetCurrentPass,
    audioMasterOfflineGetCurrentMetaPass,
    audioMasterSetOutputSampleRate,
    audioMasterGetOutputSpeakerArrangement,
    audioMasterGetVendorString,
    audioMasterGetProductString,
    audioMasterGetVendorVersion,
    audioMasterVendorSpecific,
    audioMasterCanDo = 37,
    audioMasterGetLanguage,
    audioMasterOpenWindow,
    audioMasterCloseWindow,
    audioMasterGetDirectory,
    audioMasterUpdateDisplay,
    audioMasterBeginEdit,
    audioMasterEndEdit,
    audioMasterOpenFileSelector,
    audioMasterCloseFileSelector,
    audioMasterGetChunkFile = 48,
    audioMasterGetInputSpeakerArrangement,
};
static_assert(audioMasterGetSampleRate == 16 && audioMasterVendorSpecific == 35);
static_assert(audioMasterCloseFileSelector == 46 && audioMasterGetInputSpeakerArrangement == 49);

enum VstPlugCategory : int32 {
    kPlugCategUnknown = 0,
    kPlugCategEffect = 1,
    kPlugCategSynth = 2,
};

// Records the frame only passes through between host and effect: declared, never read.
struct VstEvents;
struct VstTimeInfo;
struct VstPinProperties;
struct VstParameterProperties;
struct VstPatchChunkInfo;
struct VstVariableIo;
struct VstFileSelect;
struct VstOfflineTask;
struct VstAudioFile;
struct VstWindow;
struct MidiProgramName;
struct MidiProgramCategory;
struct MidiKeyName;
enum VstOfflineOption : int32 {};

// Built by the extended dispatcher for the editor's key handlers.
struct VstKeyCode {
    int32 character;
    unsigned char virt;      // virtual-key code
    unsigned char modifier;  // modifier set
};
