#include "host/vst_host.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstring>

namespace vhost {

namespace {
// The plug-in being created: the entry's version query arrives before the record exists.
thread_local Plugin* constructing = nullptr;

// The system's module loader: LoadLibraryW with the UTF-8 path widened on Windows, dlopen
// elsewhere (RTLD_LOCAL keeps two modules' symbols apart, as hosts do).
#ifdef _WIN32
void* openModule(const std::string& path, std::string& why) {
    std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    HMODULE handle = LoadLibraryW(wide.c_str());
    if (!handle) why = "Windows error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(handle);
}
void* symbolOf(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
void closeModule(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }
#else
void* openModule(const std::string& path, std::string& why) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* error = dlerror();
        why = error ? error : "unknown error";
    }
    return handle;
}
void* symbolOf(void* handle, const char* name) { return dlsym(handle, name); }
void closeModule(void* handle) { dlclose(handle); }
#endif
}  // namespace

std::shared_ptr<Module> Module::load(const std::string& path, std::string& error) {
    std::string why;
    void* handle = openModule(path, why);
    if (!handle) {
        error = "cannot load module " + path + ": " + why;
        return nullptr;
    }
    void* symbol = symbolOf(handle, "VSTPluginMain");
    if (!symbol) symbol = symbolOf(handle, "main_macho");
    if (!symbol) {
        closeModule(handle);
        error = "module " + path + " has no VSTPluginMain entry";
        return nullptr;
    }
    std::shared_ptr<Module> module(new Module());
    module->handle_ = handle;
    module->entry_ = reinterpret_cast<EntryProc>(symbol);
    module->path_ = path;
    return module;
}

Module::~Module() {
    if (handle_) closeModule(handle_);
}

std::unique_ptr<Plugin> Plugin::create(EntryProc entry, std::string& error, HostSettings settings,
                                       std::shared_ptr<Module> module) {
    std::unique_ptr<Plugin> plugin(new Plugin());
    plugin->settings_ = settings;
    plugin->module_ = std::move(module);
    Plugin* previous = constructing;
    constructing = plugin.get();
    AEffect* effect = entry ? entry(&Plugin::hostCallback) : nullptr;
    constructing = previous;
    if (!effect) {
        error = "the module's entry returned no effect";
        return nullptr;
    }
    if (effect->magic != kEffectMagic) {
        error = "the module's entry returned a record without the effect magic";
        return nullptr;
    }
    effect->user = plugin.get();
    plugin->effect_ = effect;
    return plugin;
}

std::unique_ptr<Plugin> Plugin::load(const std::string& modulePath, std::string& error,
                                     HostSettings settings) {
    auto module = Module::load(modulePath, error);
    if (!module) return nullptr;
    EntryProc entry = module->entry();
    return create(entry, error, settings, std::move(module));
}

Plugin::~Plugin() {
    if (effect_) close();
}

VstIntPtr Plugin::hostCallback(AEffect* effect, int32 opcode, int32 index, VstIntPtr value,
                               void* ptr, float opt) {
    Plugin* self = effect && effect->user ? static_cast<Plugin*>(effect->user) : constructing;
    if (!self) return 0;
    HostCall call{effect, opcode, index, value, ptr, opt};
    {
        std::lock_guard<std::mutex> lock(self->callsMutex_);
        self->calls_.push_back(call);
    }
    return self->answer(call);
}

VstIntPtr Plugin::answer(const HostCall& call) {
    switch (call.opcode) {
        case audioMasterVersion: return settings_.versionAnswer;
        case audioMasterGetSampleRate: return settings_.sampleRate;
        case audioMasterGetBlockSize: return settings_.blockSize;
        default: return 0;
    }
}

VstIntPtr Plugin::dispatch(int32 opcode, int32 index, VstIntPtr value, void* ptr, float opt) {
    if (!effect_) return 0;
    if (opcode == effClose) return close();
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void Plugin::setParameter(int32 index, float value) {
    if (effect_) effect_->setParameter(effect_, index, value);
}

float Plugin::getParameter(int32 index) {
    return effect_ ? effect_->getParameter(effect_, index) : 0.0f;
}

void Plugin::processReplacing(float** inputs, float** outputs, int32 frames) {
    if (effect_) effect_->processReplacing(effect_, inputs, outputs, frames);
}

void Plugin::processDoubleReplacing(double** inputs, double** outputs, int32 frames) {
    if (effect_) effect_->processDoubleReplacing(effect_, inputs, outputs, frames);
}

std::string Plugin::text(int32 opcode, int32 index, std::size_t bufferSize) {
    std::vector<char> buffer(bufferSize + 1, static_cast<char>(0xAA));
    buffer[bufferSize] = '\0';  // never read past the buffer, whatever the effect wrote
    dispatch(opcode, index, 0, buffer.data());
    return std::string(buffer.data(), strnlen(buffer.data(), bufferSize));
}

std::vector<unsigned char> Plugin::chunk(bool preset) {
    void* data = nullptr;
    VstIntPtr bytes = dispatch(effGetChunk, preset ? 1 : 0, 0, &data);
    if (!data || bytes <= 0) return {};
    const auto* begin = static_cast<const unsigned char*>(data);
    return std::vector<unsigned char>(begin, begin + bytes);
}

VstIntPtr Plugin::setChunk(const void* data, std::size_t bytes, bool preset) {
    return dispatch(effSetChunk, preset ? 1 : 0, static_cast<VstIntPtr>(bytes),
                    const_cast<void*>(data));
}

VstIntPtr Plugin::close() {
    if (!effect_) return 0;
    AEffect* effect = effect_;
    effect_ = nullptr;
    return effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

std::vector<HostCall> Plugin::calls() const {
    std::lock_guard<std::mutex> lock(callsMutex_);
    return calls_;
}

void Plugin::clearCalls() {
    std::lock_guard<std::mutex> lock(callsMutex_);
    calls_.clear();
}

}  // namespace vhost
