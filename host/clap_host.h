// A small CLAP host: loads a module through clap_entry and its plug-in factory, creates a
// plug-in, and wraps the calls and extensions the tests and tools make.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "clap/clap_abi.h"

namespace chost {

// A loaded module, initialised through its entry; deinitialised and closed when the last
// plug-in made from it is gone.
class Module {
public:
    static std::shared_ptr<Module> load(const std::string& path, std::string& error);
    ~Module();
    const clap_plugin_entry_t* entry() const { return entry_; }
    const clap_plugin_factory_t* factory() const { return factory_; }

private:
    Module() = default;
    void* handle_ = nullptr;
    const clap_plugin_entry_t* entry_ = nullptr;
    const clap_plugin_factory_t* factory_ = nullptr;
};

// A parameter value event for the input queue.
struct ParamChange {
    uint32_t time;
    double value;
    clap_id id = 0;
};

// An input event queue the plug-in reads.
class EventList {
public:
    explicit EventList(const std::vector<ParamChange>& changes = {});
    // These events as they are, well-formed or not.
    static EventList raw(std::vector<clap_event_param_value_t> events) {
        return EventList(AsGiven{}, std::move(events));
    }
    EventList(const EventList&) = delete;  // the queue points at its own events
    EventList& operator=(const EventList&) = delete;
    const clap_input_events_t* events() const { return &list_; }

private:
    struct AsGiven {};
    EventList(AsGiven, std::vector<clap_event_param_value_t> events);
    std::vector<clap_event_param_value_t> events_;
    clap_input_events_t list_;
};

// Offers the bytes to the plug-in's state loader in reads of at most `step` bytes, as a
// stream may.
bool loadState(const clap_plugin_t* plugin, const std::vector<unsigned char>& bytes,
               std::size_t step = SIZE_MAX);

class Plugin {
public:
    // The factory's plug-in with this id (its first when empty), created and initialised.
    static std::unique_ptr<Plugin> load(const std::string& path, std::string& error,
                                        const std::string& id = "");
    // Stopped, deactivated and destroyed as a host does.
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    const clap_plugin_t* plugin() const { return plugin_; }
    const clap_plugin_descriptor_t* descriptor() const { return plugin_->desc; }
    template <typename Extension>
    const Extension* extension(const char* id) const {
        return static_cast<const Extension*>(plugin_->get_extension(plugin_, id));
    }
    const clap_plugin_audio_ports_t* audioPorts() const { return extension<clap_plugin_audio_ports_t>(CLAP_EXT_AUDIO_PORTS); }
    const clap_plugin_params_t* params() const { return extension<clap_plugin_params_t>(CLAP_EXT_PARAMS); }
    const clap_plugin_state_t* state() const { return extension<clap_plugin_state_t>(CLAP_EXT_STATE); }

    bool activate(double rate, uint32_t maxFrames = 4096);
    bool startProcessing();
    void stopProcessing();
    void deactivate();

    // One block of two channels (in place when in == out), with parameter changes in the
    // input queue. The process record is built as a host does; the data pointers of the
    // other precision are null.
    clap_process_status process(float** in, float** out, uint32_t frames,
                                const std::vector<ParamChange>& changes = {});
    clap_process_status process(double** in, double** out, uint32_t frames,
                                const std::vector<ParamChange>& changes = {});
    // Any process record, for tests of malformed ones.
    clap_process_status process(const clap_process_t& record);

    double value(clap_id id = 0) const;
    void flush(const std::vector<ParamChange>& changes);
    // The saved state, or nothing when save fails.
    bool saveState(std::vector<unsigned char>& bytes) const;
    // Offers the bytes in reads of at most `step` bytes, as a stream may.
    bool loadState(const std::vector<unsigned char>& bytes, std::size_t step = SIZE_MAX) const;

private:
    Plugin() = default;
    std::shared_ptr<Module> module_;
    clap_host_t host_{};
    const clap_plugin_t* plugin_ = nullptr;
    bool active_ = false, processing_ = false;
};

}  // namespace chost
