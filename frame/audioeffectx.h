// The extended effect: opcodes 25 to 79, default answers to every extended request,
// the extended host services, speaker arrangements and the capability words.
// Adds no data members. All entries are [main-thread] unless marked.
#pragma once

#include "audioeffect.h"
#include "speaker.h"

namespace HostCanDos {
extern const char* canDoSendVstEvents;
extern const char* canDoSendVstMidiEvent;
extern const char* canDoSendVstTimeInfo;
extern const char* canDoReceiveVstEvents;
extern const char* canDoReceiveVstMidiEvent;
extern const char* canDoReportConnectionChanges;
extern const char* canDoAcceptIOChanges;
extern const char* canDoSizeWindow;
extern const char* canDoOffline;
extern const char* canDoOpenFileSelector;
extern const char* canDoCloseFileSelector;
extern const char* canDoStartStopProcess;
extern const char* canDoShellCategory;
extern const char* canDoSendVstMidiEventFlagIsRealtime;
}  // namespace HostCanDos

namespace PlugCanDos {
extern const char* canDoSendVstEvents;
extern const char* canDoSendVstMidiEvent;
extern const char* canDoReceiveVstEvents;
extern const char* canDoReceiveVstMidiEvent;
extern const char* canDoReceiveVstTimeInfo;
extern const char* canDoOffline;
extern const char* canDoMidiProgramNames;
extern const char* canDoBypass;
}  // namespace PlugCanDos

class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(audioMasterCallback audioMaster, int32 numPrograms, int32 numParams)
        : AudioEffect(audioMaster, numPrograms, numParams) {}
    ~AudioEffectX() override = default;

    VstIntPtr dispatcher(int32 opcode, int32 index, VstIntPtr value, void* ptr,
                         float opt) override;
    // Asks the host for events when the effect is a synth or wants MIDI.
    void resume() noexcept override;

    virtual bool canParameterBeAutomated(int32 index) noexcept { return (void)index, true; }
    virtual bool string2parameter(int32 index, char* text) noexcept { return (void)index, (void)text, false; }
    virtual bool getParameterProperties(int32 index, VstParameterProperties* p) noexcept { return (void)index, (void)p, false; }
    virtual bool beginEdit(int32 index) noexcept;
    virtual bool endEdit(int32 index) noexcept;
    virtual bool getProgramNameIndexed(int32 category, int32 index, char* text) noexcept { return (void)category, (void)index, (void)text, false; }
    virtual bool beginSetProgram() noexcept { return false; }
    virtual bool endSetProgram() noexcept { return false; }
    virtual int32 beginLoadBank(VstPatchChunkInfo* info) noexcept { return (void)info, 0; }
    virtual int32 beginLoadProgram(VstPatchChunkInfo* info) noexcept { return (void)info, 0; }
    virtual bool ioChanged() noexcept;
    virtual double updateSampleRate() noexcept;
    virtual int32 updateBlockSize() noexcept;
    virtual int32 getInputLatency() noexcept;
    virtual int32 getOutputLatency() noexcept;
    virtual bool getInputProperties(int32 index, VstPinProperties* p) noexcept { return (void)index, (void)p, false; }
    virtual bool getOutputProperties(int32 index, VstPinProperties* p) noexcept { return (void)index, (void)p, false; }
    virtual bool setSpeakerArrangement(VstSpeakerArrangement* input, VstSpeakerArrangement* output) noexcept { return (void)input, (void)output, false; }
    virtual bool getSpeakerArrangement(VstSpeakerArrangement** input, VstSpeakerArrangement** output) noexcept;
    virtual bool setBypass(bool onOff) noexcept { return (void)onOff, false; }
    virtual bool setPanLaw(int32 type, float value) noexcept { return (void)type, (void)value, false; }
    virtual bool setProcessPrecision(int32 precision) noexcept { return (void)precision, false; }
    virtual int32 getNumMidiInputChannels() noexcept { return 0; }
    virtual int32 getNumMidiOutputChannels() noexcept { return 0; }
    virtual VstTimeInfo* getTimeInfo(int32 filter) noexcept;
    virtual int32 getCurrentProcessLevel() noexcept;
    virtual int32 getAutomationState() noexcept;
    virtual int32 processEvents(VstEvents* events) noexcept { return (void)events, 0; }
    virtual int32 startProcess() noexcept { return 0; }
    virtual int32 stopProcess() noexcept { return 0; }
    virtual bool processVariableIo(VstVariableIo* varIo) noexcept { return (void)varIo, false; }
    virtual int32 setTotalSampleToProcess(int32 value) noexcept { return value; }
    virtual bool getHostVendorString(char* text) noexcept;
    virtual bool getHostProductString(char* text) noexcept;
    virtual int32 getHostVendorVersion() noexcept;
    virtual VstIntPtr hostVendorSpecific(int32 lArg1, VstIntPtr lArg2, void* ptrArg, float floatArg) noexcept;
    virtual bool canHostDo(char* text) noexcept;
    virtual int32 getHostLanguage() noexcept;
    virtual void isSynth(bool state) noexcept { setFlag(effFlagsIsSynth, state); }
    virtual void noTail(bool state) noexcept { setFlag(effFlagsNoSoundInStop, state); }
    virtual int32 getGetTailSize() noexcept { return 0; }
    virtual void* getDirectory() noexcept;
    virtual bool getEffectName(char* name) noexcept { return (void)name, false; }
    virtual bool getVendorString(char* text) noexcept { return (void)text, false; }
    virtual bool getProductString(char* text) noexcept { return (void)text, false; }
    virtual int32 getVendorVersion() noexcept { return 0; }
    virtual VstIntPtr vendorSpecific(int32 lArg, VstIntPtr lArg2, void* ptrArg, float floatArg) noexcept { return (void)lArg, (void)lArg2, (void)ptrArg, (void)floatArg, 0; }
    virtual int32 canDo(char* text) noexcept { return (void)text, 0; }
    virtual int32 getVstVersion() noexcept { return kVstVersion; }
    virtual int32 getPlugCategory() noexcept;
    virtual int32 getMidiProgramName(int32 channel, MidiProgramName* name) noexcept { return (void)channel, (void)name, 0; }
    virtual int32 getCurrentMidiProgram(int32 channel, MidiProgramName* current) noexcept { return (void)channel, (void)current, -1; }
    virtual int32 getMidiProgramCategory(int32 channel, MidiProgramCategory* category) noexcept { return (void)channel, (void)category, 0; }
    virtual bool hasMidiProgramsChanged(int32 channel) noexcept { return (void)channel, false; }
    virtual bool getMidiKeyName(int32 channel, MidiKeyName* keyName) noexcept { return (void)channel, (void)keyName, false; }
    virtual bool updateDisplay() noexcept;
    virtual bool sizeWindow(int32 width, int32 height) noexcept;
    virtual bool openFileSelector(VstFileSelect* select) noexcept;
    virtual bool closeFileSelector(VstFileSelect* select) noexcept;
    virtual int32 getNextShellPlugin(char* name) noexcept { return (void)name, 0; }
    virtual bool allocateArrangement(VstSpeakerArrangement** arrangement, int32 nbChannels) noexcept;
    virtual bool deallocateArrangement(VstSpeakerArrangement** arrangement) noexcept;
    virtual bool copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from) noexcept;
    virtual bool matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from) noexcept;
    virtual bool offlineRead(VstOfflineTask* offline, VstOfflineOption option, bool readSource) noexcept;
    virtual bool offlineWrite(VstOfflineTask* offline, VstOfflineOption option) noexcept;
    virtual bool offlineStart(VstAudioFile* ptr, int32 numAudioFiles, int32 numNewAudioFiles) noexcept;
    virtual int32 offlineGetCurrentPass() noexcept;
    virtual int32 offlineGetCurrentMetaPass() noexcept;
    virtual bool offlineNotify(VstAudioFile* ptr, int32 numAudioFiles, bool start) noexcept { return (void)ptr, (void)numAudioFiles, (void)start, false; }
    virtual bool offlinePrepare(VstOfflineTask* offline, int32 count) noexcept { return (void)offline, (void)count, false; }
    virtual bool offlineRun(VstOfflineTask* offline, int32 count) noexcept { return (void)offline, (void)count, false; }
    virtual int32 offlineGetNumPasses() noexcept { return 0; }
    virtual int32 offlineGetNumMetaPasses() noexcept { return 0; }
    virtual void wantEvents(int32 filter = 1) noexcept;
    virtual int32 tempoAt(int32 pos) noexcept;
    virtual int32 getNumAutomatableParameters() noexcept;
    virtual int32 getParameterQuantization() noexcept;
    virtual int32 getNumCategories() noexcept { return 1; }
    virtual bool copyProgram(int32 destination) noexcept { return (void)destination, false; }
    virtual bool needIdle() noexcept;
    virtual AEffect* getPreviousPlug(int32 input) noexcept;
    virtual AEffect* getNextPlug(int32 output) noexcept;
    virtual void inputConnected(int32 index, bool state) noexcept { (void)index, (void)state; }
    virtual void outputConnected(int32 index, bool state) noexcept { (void)index, (void)state; }
    virtual int32 willProcessReplacing() noexcept;
    virtual void wantAsyncOperation(bool state = true) noexcept { setFlag(effFlagsExtIsAsync, state); }
    virtual void hasExternalBuffer(bool state = true) noexcept { setFlag(effFlagsExtHasBuffer, state); }
    virtual int32 reportCurrentPosition() noexcept { return 0; }
    virtual float* reportDestinationBuffer() noexcept { return nullptr; }
    virtual void setOutputSamplerate(float samplerate) noexcept;
    virtual VstSpeakerArrangement* getInputSpeakerArrangement() noexcept;
    virtual VstSpeakerArrangement* getOutputSpeakerArrangement() noexcept;
    virtual void* openWindow(VstWindow* window) noexcept;
    virtual bool closeWindow(VstWindow* window) noexcept;
    virtual void setBlockSizeAndSampleRate(int32 newBlockSize, float newSampleRate) noexcept;
    virtual bool getErrorText(char* text) noexcept { return (void)text, false; }
    virtual void* getIcon() noexcept { return nullptr; }
    virtual bool setViewPosition(int32 x, int32 y) noexcept { return (void)x, (void)y, false; }
    virtual int32 fxIdle() noexcept { return 0; }
    virtual bool keysRequired() noexcept { return false; }
    virtual bool getChunkFile(void* nativePath) noexcept;

    bool sendVstEventsToHost(VstEvents* events) noexcept;
};
