// The Vellicor listening aid as a VST 2.4 effect: one "Monitor" parameter choosing one of
// seventeen ways to listen to a stereo programme. What hosts see (opcodes, chunk, names,
// capabilities) lives here; the processing is the core's.
#pragma once

#include <atomic>
#include <cstdint>

#include "effect/processor.h"
#include "frame/audioeffectx.h"

class Vellicor : public AudioEffectX {
public:
    explicit Vellicor(audioMasterCallback audioMaster);
    ~Vellicor() override;

    // [audio-thread]
    void processReplacing(float** inputs, float** outputs, int32 sampleFrames) noexcept override;
    void processDoubleReplacing(double** inputs, double** outputs,
                                int32 sampleFrames) noexcept override;

    // [main-thread]
    void setParameter(int32 index, float value) noexcept override;
    float getParameter(int32 index) noexcept override;
    void setProgramName(char* name) noexcept override;
    void getProgramName(char* name) noexcept override;
    void getParameterLabel(int32 index, char* label) noexcept override;
    void getParameterDisplay(int32 index, char* text) noexcept override;
    void getParameterName(int32 index, char* text) noexcept override;
    int32 getChunk(void** data, bool isPreset) noexcept override;
    int32 setChunk(void* data, int32 byteSize, bool isPreset) noexcept override;
    bool getEffectName(char* name) noexcept override;
    bool getVendorString(char* text) noexcept override;
    bool getProductString(char* text) noexcept override;
    int32 getVendorVersion() noexcept override;
    int32 canDo(char* text) noexcept override;
    int32 getPlugCategory() noexcept override;

    static constexpr int32 kUniqueId = fourCharCode('v', 'l', 'c', 'j');
    static constexpr int32 kChunkSize = 4;  // the parameter as a native float

    // Processing state, for tests that look inside.
    const ProcessingState& processingState() const noexcept { return processor.state(); }

private:
    char programName[25];
    // The capability words answered yes to: a fixed table, so construction and canDo
    // neither allocate nor can throw.
    static constexpr const char* kCapabilities[] = {"plugAsChannelInsert", "plugAsSend",
                                                    "x2in2out"};
    Processor processor;
    // Written by control threads, read once per block by processing.
    std::atomic<float> monitorValue{0.0f};
    // The one block getChunk hands out; reused so nothing is allocated per request.
    unsigned char chunkBlock[kChunkSize] = {};
};
