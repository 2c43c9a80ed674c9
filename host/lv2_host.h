// A small LV2 host for Vellicor's bundle: loads the binary, finds the plug-in's descriptor
// and wraps an instance. It reads no Turtle: it knows the port numbering it is used with
// (in L, in R, out L, out R, control).
#pragma once

#include <lv2/core/lv2.h>

#include <cstdint>
#include <memory>
#include <string>

namespace lv2host {

// A loaded binary; closed when the last instance made from it is gone.
class Library {
public:
    // Empty pointer and a message in error when the binary cannot be loaded, has no
    // lv2_descriptor or does not describe `uri`.
    static std::shared_ptr<Library> load(const std::string& binaryPath, const std::string& uri,
                                         std::string& error);
    ~Library();
    const LV2_Descriptor* descriptor() const { return descriptor_; }

private:
    Library() = default;
    void* handle_ = nullptr;
    const LV2_Descriptor* descriptor_ = nullptr;
};

class Instance {
public:
    // Instantiates with the bundle's path (the binary's folder) and no features, and
    // activates; empty pointer when the plug-in refuses.
    static std::unique_ptr<Instance> create(std::shared_ptr<Library> library, double sampleRate,
                                            const std::string& bundlePath);
    ~Instance();  // deactivates and cleans up
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    void connect(std::uint32_t port, void* data) { d_->connect_port(handle_, port, data); }
    // Connects the four audio ports (null leaves one unconnected) and runs.
    void run(float* inL, float* inR, float* outL, float* outR, std::uint32_t frames);
    void run(std::uint32_t frames) { d_->run(handle_, frames); }
    void restart() {  // deactivate and activate again, as hosts do to start afresh
        d_->deactivate(handle_);
        d_->activate(handle_);
    }

private:
    Instance() = default;
    std::shared_ptr<Library> library_;
    const LV2_Descriptor* d_ = nullptr;
    LV2_Handle handle_ = nullptr;
};

}  // namespace lv2host
