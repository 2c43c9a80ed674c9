// A small VST 2.4 host: loads a module, calls its entry with a host callback of its own,
// records every call the effect makes back, and wraps the record's entries.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "frame/aeffect.h"

namespace vhost {

using EntryProc = AEffect* (*)(audioMasterCallback);

// One call the effect made through the host callback.
struct HostCall {
    AEffect* effect;
    int32 opcode;
    int32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
};

struct HostSettings {
    VstIntPtr versionAnswer = kVstVersion;  // answer to audioMasterVersion
    VstIntPtr sampleRate = 44100;           // answer to audioMasterGetSampleRate
    VstIntPtr blockSize = 512;              // answer to audioMasterGetBlockSize
};

// A loaded module; closed when the last plug-in made from it is gone.
class Module {
public:
    // Empty pointer and a message in error when the file cannot be loaded or lacks the entry.
    static std::shared_ptr<Module> load(const std::string& path, std::string& error);
    ~Module();
    EntryProc entry() const { return entry_; }
    const std::string& path() const { return path_; }

private:
    Module() = default;
    void* handle_ = nullptr;
    EntryProc entry_ = nullptr;
    std::string path_;
};

class Plugin {
public:
    // Calls the entry as a host does. Empty pointer and a message in error when the entry
    // returns null.
    static std::unique_ptr<Plugin> create(EntryProc entry, std::string& error,
                                          HostSettings settings = {},
                                          std::shared_ptr<Module> module = nullptr);
    static std::unique_ptr<Plugin> load(const std::string& modulePath, std::string& error,
                                        HostSettings settings = {});
    // Closes the effect through the record if that has not been done.
    ~Plugin();

    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    AEffect* effect() const { return effect_; }
    bool isOpen() const { return effect_ != nullptr; }

    VstIntPtr dispatch(int32 opcode, int32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);
    void setParameter(int32 index, float value);
    float getParameter(int32 index);
    void processReplacing(float** inputs, float** outputs, int32 frames);
    void processDoubleReplacing(double** inputs, double** outputs, int32 frames);

    // Common requests.
    void open() { dispatch(effOpen); }
    void setSampleRate(float rate) { dispatch(effSetSampleRate, 0, 0, nullptr, rate); }
    void setBlockSize(int32 frames) { dispatch(effSetBlockSize, 0, frames); }
    void mainsChanged(bool on) { dispatch(effMainsChanged, 0, on ? 1 : 0); }
    // Text request into a buffer of bufferSize bytes (filled with 0xAA first, so a missing
    // terminator shows); returns the text up to the first terminator within the buffer.
    std::string text(int32 opcode, int32 index = 0, std::size_t bufferSize = 65);
    // The chunk as the effect hands it out (bank when preset is false).
    std::vector<unsigned char> chunk(bool preset = false);
    VstIntPtr setChunk(const void* data, std::size_t bytes, bool preset = false);
    // effClose through the record; the record is gone afterwards. Returns its result.
    VstIntPtr close();

    // Host side.
    HostSettings& settings() { return settings_; }
    std::vector<HostCall> calls() const;
    void clearCalls();

private:
    Plugin() = default;
    static VstIntPtr hostCallback(AEffect* effect, int32 opcode, int32 index, VstIntPtr value,
                                  void* ptr, float opt);
    VstIntPtr answer(const HostCall& call);

    AEffect* effect_ = nullptr;
    HostSettings settings_;
    std::shared_ptr<Module> module_;
    mutable std::mutex callsMutex_;
    std::vector<HostCall> calls_;
};

}  // namespace vhost
