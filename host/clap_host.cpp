#include "host/clap_host.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <algorithm>
#include <cstring>

namespace chost {

namespace {
#ifdef _WIN32
void* openModule(const std::string& path) {
    std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    return reinterpret_cast<void*>(LoadLibraryW(wide.c_str()));
}
void* symbolOf(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
void closeModule(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }
#else
void* openModule(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }
void* symbolOf(void* handle, const char* name) { return dlsym(handle, name); }
void closeModule(void* handle) { dlclose(handle); }
#endif

const void* CLAP_ABI noExtension(const clap_host_t*, const char*) { return nullptr; }
void CLAP_ABI noRequest(const clap_host_t*) {}

struct Stream {
    std::vector<unsigned char>* out;
    const std::vector<unsigned char>* in;
    std::size_t position, step;
};

int64_t CLAP_ABI writeStream(const clap_ostream_t* stream, const void* buffer, uint64_t size) {
    auto* s = static_cast<Stream*>(stream->ctx);
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    s->out->insert(s->out->end(), bytes, bytes + size);
    return static_cast<int64_t>(size);
}

int64_t CLAP_ABI readStream(const clap_istream_t* stream, void* buffer, uint64_t size) {
    auto* s = static_cast<Stream*>(stream->ctx);
    const std::size_t n = std::min<std::size_t>({static_cast<std::size_t>(size), s->step,
                                                 s->in->size() - s->position});
    if (n) std::memcpy(buffer, s->in->data() + s->position, n);
    s->position += n;
    return static_cast<int64_t>(n);
}

uint32_t CLAP_ABI listSize(const clap_input_events_t* list) {
    return static_cast<uint32_t>(static_cast<const std::vector<clap_event_param_value_t>*>(list->ctx)->size());
}

const clap_event_header_t* CLAP_ABI listGet(const clap_input_events_t* list, uint32_t index) {
    const auto& events = *static_cast<const std::vector<clap_event_param_value_t>*>(list->ctx);
    return index < events.size() ? &events[index].header : nullptr;
}

bool CLAP_ABI refusePush(const clap_output_events_t*, const clap_event_header_t*) { return false; }
const clap_output_events_t kNoOutput = {nullptr, refusePush};
}  // namespace

std::shared_ptr<Module> Module::load(const std::string& path, std::string& error) {
    void* handle = openModule(path);
    if (!handle) {
        error = "cannot load module " + path;
        return nullptr;
    }
    std::shared_ptr<Module> module(new Module());
    module->handle_ = handle;
    module->entry_ = static_cast<const clap_plugin_entry_t*>(symbolOf(handle, "clap_entry"));
    if (!module->entry_ || !clap_version_is_compatible(module->entry_->clap_version)) {
        module->entry_ = nullptr;
        error = "module " + path + " has no compatible clap_entry";
        return nullptr;
    }
    if (!module->entry_->init(path.c_str())) {
        module->entry_ = nullptr;
        error = "the entry of " + path + " failed to initialise";
        return nullptr;
    }
    module->factory_ = static_cast<const clap_plugin_factory_t*>(
        module->entry_->get_factory(CLAP_PLUGIN_FACTORY_ID));
    if (!module->factory_) {
        error = "module " + path + " has no plug-in factory";
        return nullptr;
    }
    return module;
}

Module::~Module() {
    if (entry_) entry_->deinit();
    if (handle_) closeModule(handle_);
}

EventList::EventList(const std::vector<ParamChange>& changes) {
    for (const ParamChange& change : changes) {
        clap_event_param_value_t event{};
        event.header = {sizeof event, change.time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
        event.param_id = change.id;
        event.note_id = -1;
        event.port_index = event.channel = event.key = -1;
        event.value = change.value;
        events_.push_back(event);
    }
    list_ = {&events_, listSize, listGet};
}

EventList::EventList(AsGiven, std::vector<clap_event_param_value_t> events)
    : events_(std::move(events)), list_{&events_, listSize, listGet} {}

bool loadState(const clap_plugin_t* plugin, const std::vector<unsigned char>& bytes,
               std::size_t step) {
    const auto* state = static_cast<const clap_plugin_state_t*>(plugin->get_extension(plugin, CLAP_EXT_STATE));
    Stream s{nullptr, &bytes, 0, std::max<std::size_t>(step, 1)};
    clap_istream_t stream{&s, readStream};
    return state && state->load(plugin, &stream);
}

std::unique_ptr<Plugin> Plugin::load(const std::string& path, std::string& error,
                                     const std::string& id) {
    auto module = Module::load(path, error);
    if (!module) return nullptr;
    const clap_plugin_factory_t* factory = module->factory();
    const clap_plugin_descriptor_t* descriptor =
        factory->get_plugin_count(factory) ? factory->get_plugin_descriptor(factory, 0) : nullptr;
    std::unique_ptr<Plugin> plugin(new Plugin());
    plugin->module_ = std::move(module);
    plugin->host_ = {CLAP_VERSION_INIT, plugin.get(), "vellicor tests", "quillotone", "", "1",
                     noExtension, noRequest, noRequest, noRequest};
    const std::string wanted = id.empty() && descriptor ? descriptor->id : id;
    plugin->plugin_ = factory->create_plugin(factory, &plugin->host_, wanted.c_str());
    if (!plugin->plugin_ || !plugin->plugin_->init(plugin->plugin_)) {
        if (plugin->plugin_) plugin->plugin_->destroy(plugin->plugin_);
        plugin->plugin_ = nullptr;
        error = "the factory made no plug-in " + wanted;
        return nullptr;
    }
    return plugin;
}

Plugin::~Plugin() {
    if (!plugin_) return;
    stopProcessing();
    deactivate();
    plugin_->destroy(plugin_);
}

bool Plugin::activate(double rate, uint32_t maxFrames) {
    const bool ok = plugin_->activate(plugin_, rate, 1, maxFrames);
    active_ = active_ || ok;
    return ok;
}

bool Plugin::startProcessing() {
    const bool ok = plugin_->start_processing(plugin_);
    processing_ = processing_ || ok;
    return ok;
}

void Plugin::stopProcessing() {
    if (processing_) plugin_->stop_processing(plugin_);
    processing_ = false;
}

void Plugin::deactivate() {
    if (active_) plugin_->deactivate(plugin_);
    active_ = false;
}

namespace {
template <typename Sample>
clap_process_status processBlock(Plugin& plugin, Sample** in, Sample** out, uint32_t frames,
                                 const std::vector<ParamChange>& changes) {
    clap_audio_buffer_t input{}, output{};
    input.channel_count = output.channel_count = 2;
    if constexpr (sizeof(Sample) == sizeof(double)) {
        input.data64 = in;
        output.data64 = out;
    } else {
        input.data32 = in;
        output.data32 = out;
    }
    EventList events(changes);
    clap_process_t record{-1, frames, nullptr, &input, &output, 1, 1, events.events(), &kNoOutput};
    return plugin.process(record);
}
}  // namespace

clap_process_status Plugin::process(float** in, float** out, uint32_t frames,
                                    const std::vector<ParamChange>& changes) {
    return processBlock(*this, in, out, frames, changes);
}

clap_process_status Plugin::process(double** in, double** out, uint32_t frames,
                                    const std::vector<ParamChange>& changes) {
    return processBlock(*this, in, out, frames, changes);
}

clap_process_status Plugin::process(const clap_process_t& record) {
    return plugin_->process(plugin_, &record);
}

double Plugin::value(clap_id id) const {
    double value = -1.0;
    const clap_plugin_params_t* p = params();
    return p && p->get_value(plugin_, id, &value) ? value : -1.0;
}

void Plugin::flush(const std::vector<ParamChange>& changes) {
    EventList events(changes);
    params()->flush(plugin_, events.events(), &kNoOutput);
}

bool Plugin::saveState(std::vector<unsigned char>& bytes) const {
    bytes.clear();
    Stream s{&bytes, nullptr, 0, 0};
    clap_ostream_t stream{&s, writeStream};
    return state()->save(plugin_, &stream);
}

bool Plugin::loadState(const std::vector<unsigned char>& bytes, std::size_t step) const {
    return chost::loadState(plugin_, bytes, step);
}

}  // namespace chost
