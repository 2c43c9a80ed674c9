// The base effect: owns the record handed to the host, turns opcodes 0 to 24 into
// virtual calls, stores sample rate and block size, and wraps the host callback.
//
// Threads: entries marked [audio-thread] run on the host's processing thread; the rest
// are control requests [main-thread] that a host may also send from other threads.
// The sample rate is the one value both sides share, so it is held atomically.
#pragma once

#include <atomic>

#include "aeffect.h"

// What an effect with a user interface attaches; this frame only forwards to it.
class AEffEditor {
public:
    virtual ~AEffEditor() = default;
    virtual bool getRect(void* ptr) noexcept = 0;
    virtual bool open(void* window) noexcept = 0;
    virtual void close() noexcept = 0;
    virtual void idle() noexcept = 0;
    virtual void draw(void* rect) noexcept = 0;
    virtual int32 mouse(int32 x, VstIntPtr y) noexcept = 0;
    virtual int32 key(VstIntPtr keyCode) noexcept = 0;
    virtual void top() noexcept = 0;
    virtual void sleep() noexcept = 0;
    virtual bool onKeyDown(VstKeyCode& keyCode) noexcept = 0;
    virtual bool onKeyUp(VstKeyCode& keyCode) noexcept = 0;
    virtual bool setKnobMode(VstIntPtr mode) noexcept = 0;
};

class AudioEffect {
public:
    // [main-thread] Zeroes and fills the record; the object then belongs to it.
    AudioEffect(audioMasterCallback audioMaster, int32 numPrograms, int32 numParams);
    virtual ~AudioEffect();

    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    // [main-thread] Opcodes 0 to 24; everything else answers 0. An override may throw;
    // the record's dispatcher entry keeps that from the host.
    virtual VstIntPtr dispatcher(int32 opcode, int32 index, VstIntPtr value, void* ptr,
                                 float opt);

    virtual void open() noexcept {}
    virtual void close() noexcept {}
    virtual void suspend() noexcept {}
    virtual void resume() noexcept {}
    virtual void setSampleRate(float newRate) noexcept;
    virtual void setBlockSize(int32 newSize) noexcept;

    // [audio-thread]
    virtual void processReplacing(float** inputs, float** outputs, int32 sampleFrames) noexcept = 0;
    virtual void processDoubleReplacing(double** inputs, double** outputs,
                                        int32 sampleFrames) noexcept {
        (void)inputs, (void)outputs, (void)sampleFrames;
    }

    virtual void setParameter(int32 index, float value) noexcept { (void)index, (void)value; }
    virtual float getParameter(int32 index) noexcept {
        (void)index;
        return 0.0f;
    }
    virtual void setParameterAutomated(int32 index, float value) noexcept;

    virtual int32 getProgram() noexcept { return curProgram; }
    virtual void setProgram(int32 program) noexcept { curProgram = program; }
    virtual void setProgramName(char* name) noexcept { (void)name; }
    virtual void getProgramName(char* name) noexcept;
    virtual void getParameterLabel(int32 index, char* label) noexcept;
    virtual void getParameterDisplay(int32 index, char* text) noexcept;
    virtual void getParameterName(int32 index, char* text) noexcept;
    virtual int32 getChunk(void** data, bool isPreset) noexcept {
        (void)data, (void)isPreset;
        return 0;
    }
    virtual int32 setChunk(void* data, int32 byteSize, bool isPreset) noexcept {
        (void)data, (void)byteSize, (void)isPreset;
        return 0;
    }

    virtual void setUniqueID(int32 id) noexcept { cEffect.uniqueID = id; }
    virtual void setNumInputs(int32 inputs) noexcept { cEffect.numInputs = inputs; }
    virtual void setNumOutputs(int32 outputs) noexcept { cEffect.numOutputs = outputs; }
    virtual void canProcessReplacing(bool state) noexcept;
    virtual void canDoubleReplacing(bool state) noexcept;
    virtual void programsAreChunks(bool state) noexcept;
    virtual void setInitialDelay(int32 delay) noexcept { cEffect.initialDelay = delay; }

    virtual AEffEditor* getEditor() noexcept { return editor; }
    virtual AEffect* getAeffect() noexcept { return &cEffect; }
    // [any thread] Processing reads it once per block.
    virtual float getSampleRate() noexcept { return sampleRate.load(std::memory_order_relaxed); }
    virtual int32 getBlockSize() noexcept { return blockSize; }

    // Host services; without a host callback each returns its neutral default.
    virtual int32 getMasterVersion() noexcept;
    virtual int32 getCurrentUniqueId() noexcept;
    virtual void masterIdle() noexcept;

    // Number-to-text helpers for parameter displays.
    virtual void dB2string(float value, char* text, int32 maxLen) noexcept;
    virtual void Hz2string(float samples, char* text, int32 maxLen) noexcept;
    virtual void ms2string(float samples, char* text, int32 maxLen) noexcept;
    virtual void float2string(float value, char* text, int32 maxLen) noexcept;
    virtual void int2string(int32 value, char* text, int32 maxLen) noexcept;

    // Accumulating processing is not offered.
    virtual void process(float** inputs, float** outputs, int32 sampleFrames) noexcept {
        (void)inputs, (void)outputs, (void)sampleFrames;
    }
    virtual float getVu() noexcept { return 0.0f; }
    virtual void hasVu(bool state) noexcept;
    virtual void hasClip(bool state) noexcept;
    virtual void canMono(bool state) noexcept;
    virtual void setRealtimeQualities(int32 qualities) noexcept { cEffect.realQualities = qualities; }
    virtual void setOfflineQualities(int32 qualities) noexcept { cEffect.offQualities = qualities; }
    virtual bool isInputConnected(int32 input) noexcept;
    virtual bool isOutputConnected(int32 output) noexcept;

    // Takes ownership of the editor; null detaches.
    void setEditor(AEffEditor* newEditor) noexcept;

    // Record entries: each recovers the object from the record and forwards.
    static VstIntPtr dispatchEffectClass(AEffect* e, int32 opcode, int32 index, VstIntPtr value,
                                         void* ptr, float opt) noexcept;
    static void processClass(AEffect* e, float** inputs, float** outputs,
                             int32 sampleFrames) noexcept;
    static void setParameterClass(AEffect* e, int32 index, float value) noexcept;
    static float getParameterClass(AEffect* e, int32 index) noexcept;
    static void processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                      int32 sampleFrames) noexcept;
    static void processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs,
                                            int32 sampleFrames) noexcept;

protected:
    // Sets or clears the flag bits in mask, leaving the others.
    void setFlag(int32 mask, bool state) noexcept;
    // Calls the host when there is one; 0 otherwise.
    VstIntPtr callHost(int32 opcode, int32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f) noexcept;

    audioMasterCallback audioMaster;
    AEffEditor* editor = nullptr;
    std::atomic<float> sampleRate{44100.0f};
    int32 blockSize = 1024;
    int32 numPrograms;
    int32 numParams;
    int32 curProgram = 0;
    AEffect cEffect;
};

// Supplied by the effect: builds one instance for the module entry.
AudioEffect* createEffectInstance(audioMasterCallback audioMaster);
