#include "host/lv2_host.h"

#include <dlfcn.h>


namespace lv2host {

std::shared_ptr<Library> Library::load(const std::string& binaryPath, const std::string& uri,
                                       std::string& error) {
    void* handle = dlopen(binaryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        error = "cannot load " + binaryPath + ": " + (why ? why : "unknown error");
        return nullptr;
    }
    std::shared_ptr<Library> library(new Library());
    library->handle_ = handle;
    auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(handle, "lv2_descriptor"));
    if (!entry) {
        error = binaryPath + " has no lv2_descriptor";
        return nullptr;
    }
    for (std::uint32_t i = 0; const LV2_Descriptor* d = entry(i); ++i)
        if (d->URI && uri == d->URI) library->descriptor_ = d;
    if (!library->descriptor_) {
        error = binaryPath + " does not describe " + uri;
        return nullptr;
    }
    return library;
}

Library::~Library() { dlclose(handle_); }

std::unique_ptr<Instance> Instance::create(std::shared_ptr<Library> library, double sampleRate,
                                           const std::string& bundlePath) {
    static const LV2_Feature* const kNoFeatures[] = {nullptr};
    std::string bundle = bundlePath;
    if (bundle.empty() || bundle.back() != '/') bundle += '/';
    std::unique_ptr<Instance> instance(new Instance());
    instance->d_ = library->descriptor();
    instance->handle_ = instance->d_->instantiate(instance->d_, sampleRate, bundle.c_str(), kNoFeatures);
    if (!instance->handle_) return nullptr;
    instance->library_ = std::move(library);
    if (instance->d_->activate) instance->d_->activate(instance->handle_);
    return instance;
}

Instance::~Instance() {
    if (!handle_) return;
    if (d_->deactivate) d_->deactivate(handle_);
    d_->cleanup(handle_);
}

void Instance::run(float* inL, float* inR, float* outL, float* outR, std::uint32_t frames) {
    float* ports[4] = {inL, inR, outL, outR};
    for (std::uint32_t p = 0; p < 4; ++p) connect(p, ports[p]);
    run(frames);
}

}  // namespace lv2host
