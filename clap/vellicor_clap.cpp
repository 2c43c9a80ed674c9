// Vellicor as a CLAP plug-in: the entry, the factory of its one plug-in and the audio-ports,
// params, state and latency extensions, all forwarding to the processing core. The
// "Monitor" parameter is the mode number 0..16; a block is processed in pieces between
// the parameter changes its events carry, each piece as the VST effect processes a block.
#include <atomic>
#include <cfloat>
#include <cstring>
#include <new>

#include "clap/clap_abi.h"
#include "effect/monitor_mode.h"
#include "effect/processor.h"

#ifndef VELLICOR_VERSION
#error "VELLICOR_VERSION must name the project's version"
#endif

namespace {

constexpr clap_id kMonitorId = 0;
constexpr uint32_t kStateVersion = 1;
constexpr unsigned char kStateMagic[4] = {'V', 'l', 'c', 'M'};
// Magic, version (uint32) and the mode number (float64), little-endian.
constexpr uint32_t kStateSize = 4 + 4 + 8;

const char* const kFeatures[] = {CLAP_PLUGIN_FEATURE_AUDIO_EFFECT, CLAP_PLUGIN_FEATURE_UTILITY,
                                 CLAP_PLUGIN_FEATURE_STEREO, nullptr};

const clap_plugin_descriptor_t kDescriptor = {
    CLAP_VERSION_INIT,
    "com.quillotone.vellicor",  // hosts key saved sessions on it: never to change
    "Vellicor",
    "quillotone",
    "",
    "",
    "",
    VELLICOR_VERSION,
    "A listening aid: seventeen ways to hear a stereo programme",
    kFeatures};

struct Instance {
    clap_plugin_t plugin;
    Processor processor;
    // The mode number; written by the main thread (flush, state) and by the audio thread
    // (events), read by both.
    std::atomic<int32> mode{kModeOut24};
    float sampleRate = 0.0f;
    bool active = false;
    bool processing = false;
};

Instance* instanceOf(const clap_plugin_t* plugin) {
    return plugin ? static_cast<Instance*>(plugin->plugin_data) : nullptr;
}

// The mode a Monitor value event asks for, or -1 for any other event. Values outside
// 0..16 and NaN are held to a mode, never used as an index.
int32 modeOfEvent(const clap_event_header_t* header) {
    if (!header || header->space_id != CLAP_CORE_EVENT_SPACE_ID ||
        header->type != CLAP_EVENT_PARAM_VALUE || header->size < sizeof(clap_event_param_value_t))
        return -1;
    const auto* event = reinterpret_cast<const clap_event_param_value_t*>(header);
    return event->param_id == kMonitorId ? nearestMonitorMode(event->value) : -1;
}

// ---- plug-in

// [main-thread]
bool CLAP_ABI pluginInit(const clap_plugin_t*) { return true; }

void CLAP_ABI pluginDestroy(const clap_plugin_t* plugin) { delete instanceOf(plugin); }

bool CLAP_ABI pluginActivate(const clap_plugin_t* plugin, double sampleRate, uint32_t, uint32_t) {
    Instance* self = instanceOf(plugin);
    // The core takes the rate as a float.
    if (!self || self->active || !(sampleRate > 0.0 && sampleRate <= FLT_MAX)) return false;
    self->sampleRate = static_cast<float>(sampleRate);
    self->active = true;
    return true;
}

void CLAP_ABI pluginDeactivate(const clap_plugin_t* plugin) {
    if (Instance* self = instanceOf(plugin)) self->active = self->processing = false;
}

// [audio-thread]
bool CLAP_ABI pluginStartProcessing(const clap_plugin_t* plugin) {
    Instance* self = instanceOf(plugin);
    if (!self || !self->active) return false;
    self->processing = true;
    return true;
}

void CLAP_ABI pluginStopProcessing(const clap_plugin_t* plugin) {
    if (Instance* self = instanceOf(plugin)) self->processing = false;
}

// The VST effect keeps its history across a stop too; so does this.
void CLAP_ABI pluginReset(const clap_plugin_t*) {}

// The first two channels of a port, or false when the port lacks them.
template <typename Sample>
bool channelsOf(const clap_audio_buffer_t& buffer, Sample** const data, Sample* (&out)[2]) {
    if (!data || buffer.channel_count < 2 || !data[0] || !data[1]) return false;
    out[0] = data[0];
    out[1] = data[1];
    return true;
}

template <typename Sample>
clap_process_status processPieces(Instance& self, const clap_process_t& process,
                                  Sample* (&in)[2], Sample* (&out)[2]) {
    const auto frames = static_cast<int32>(process.frames_count);
    int32 mode = self.mode.load(std::memory_order_relaxed);
    int32 done = 0;
    auto run = [&](int32 until) {
        if (until <= done) return;
        Sample* pieceIn[2] = {in[0] + done, in[1] + done};
        Sample* pieceOut[2] = {out[0] + done, out[1] + done};
        self.processor.process(pieceIn, pieceOut, until - done, self.sampleRate,
                               monitorValueOfMode(mode));
        done = until;
    };
    const clap_input_events_t* events = process.in_events;
    const uint32_t count = events && events->size ? events->size(events) : 0;
    for (uint32_t i = 0; i < count; ++i) {
        const clap_event_header_t* header = events->get ? events->get(events, i) : nullptr;
        const int32 next = modeOfEvent(header);
        if (next < 0 || next == mode) continue;
        // Events come in time order; one out of order or past the end takes effect as soon
        // as it can.
        run(header->time < process.frames_count ? static_cast<int32>(header->time) : frames);
        mode = next;
        self.mode.store(mode, std::memory_order_relaxed);
    }
    run(frames);
    return CLAP_PROCESS_CONTINUE;
}

// [audio-thread]
clap_process_status CLAP_ABI pluginProcess(const clap_plugin_t* plugin,
                                           const clap_process_t* process) {
    Instance* self = instanceOf(plugin);
    if (!self || !self->active || !self->processing || !process ||
        process->frames_count > static_cast<uint32_t>(INT32_MAX) || process->audio_inputs_count < 1 ||
        process->audio_outputs_count < 1 || !process->audio_inputs || !process->audio_outputs)
        return CLAP_PROCESS_ERROR;
    const clap_audio_buffer_t& input = process->audio_inputs[0];
    clap_audio_buffer_t& output = process->audio_outputs[0];
    output.constant_mask = 0;
    if (output.data64) {
        double *in[2], *out[2];
        if (!channelsOf(input, input.data64, in) || !channelsOf(output, output.data64, out))
            return CLAP_PROCESS_ERROR;
        return processPieces(*self, *process, in, out);
    }
    float *in[2], *out[2];
    if (!channelsOf(input, input.data32, in) || !channelsOf(output, output.data32, out))
        return CLAP_PROCESS_ERROR;
    return processPieces(*self, *process, in, out);
}

// [main-thread]
void CLAP_ABI pluginOnMainThread(const clap_plugin_t*) {}

// ---- audio ports

// [main-thread]
uint32_t CLAP_ABI audioPortsCount(const clap_plugin_t*, bool) { return 1; }

bool CLAP_ABI audioPortsGet(const clap_plugin_t*, uint32_t index, bool isInput,
                            clap_audio_port_info_t* info) {
    if (index != 0 || !info) return false;
    std::memset(info, 0, sizeof *info);
    info->id = 0;
    std::strcpy(info->name, isInput ? "Main In" : "Main Out");
    info->flags = CLAP_AUDIO_PORT_IS_MAIN | CLAP_AUDIO_PORT_SUPPORTS_64BITS;
    info->channel_count = 2;
    info->port_type = CLAP_PORT_STEREO;
    info->in_place_pair = 0;  // the other direction's port, which has id 0 as well
    return true;
}

const clap_plugin_audio_ports_t kAudioPorts = {audioPortsCount, audioPortsGet};

// ---- params

// [main-thread]
uint32_t CLAP_ABI paramsCount(const clap_plugin_t*) { return 1; }

bool CLAP_ABI paramsGetInfo(const clap_plugin_t*, uint32_t index, clap_param_info_t* info) {
    if (index != 0 || !info) return false;
    std::memset(info, 0, sizeof *info);
    info->id = kMonitorId;
    info->flags = CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_ENUM | CLAP_PARAM_IS_AUTOMATABLE;
    info->cookie = nullptr;
    std::strcpy(info->name, "Monitor");
    info->min_value = 0.0;
    info->max_value = kNumModes - 1;
    info->default_value = kModeOut24;
    return true;
}

bool CLAP_ABI paramsGetValue(const clap_plugin_t* plugin, clap_id id, double* value) {
    Instance* self = instanceOf(plugin);
    if (!self || id != kMonitorId || !value) return false;
    *value = self->mode.load(std::memory_order_relaxed);
    return true;
}

bool CLAP_ABI paramsValueToText(const clap_plugin_t*, clap_id id, double value, char* buffer,
                                uint32_t capacity) {
    if (id != kMonitorId || !buffer) return false;
    const char* name = monitorModeName(nearestMonitorMode(value));
    const std::size_t length = std::strlen(name);
    if (length >= capacity) return false;
    std::memcpy(buffer, name, length + 1);
    return true;
}

bool CLAP_ABI paramsTextToValue(const clap_plugin_t*, clap_id id, const char* text, double* value) {
    int32 mode;
    if (id != kMonitorId || !value || !parseMonitorMode(text, mode)) return false;
    *value = mode;
    return true;
}

// [active ? audio-thread : main-thread] Changes the host sends outside processing: kept
// for the next block.
void CLAP_ABI paramsFlush(const clap_plugin_t* plugin, const clap_input_events_t* in,
                          const clap_output_events_t*) {
    Instance* self = instanceOf(plugin);
    if (!self || !in || !in->size || !in->get) return;
    const uint32_t count = in->size(in);
    for (uint32_t i = 0; i < count; ++i) {
        const int32 mode = modeOfEvent(in->get(in, i));
        if (mode >= 0) self->mode.store(mode, std::memory_order_relaxed);
    }
}

const clap_plugin_params_t kParams = {paramsCount,       paramsGetInfo,     paramsGetValue,
                                      paramsValueToText, paramsTextToValue, paramsFlush};

// ---- state

// [main-thread]
bool CLAP_ABI stateSave(const clap_plugin_t* plugin, const clap_ostream_t* stream) {
    Instance* self = instanceOf(plugin);
    if (!self || !stream || !stream->write) return false;
    unsigned char record[kStateSize];
    std::memcpy(record, kStateMagic, 4);
    const double mode = self->mode.load(std::memory_order_relaxed);
    uint64_t bits;
    std::memcpy(&bits, &mode, 8);
    for (int i = 0; i < 4; ++i) record[4 + i] = static_cast<unsigned char>(kStateVersion >> (8 * i));
    for (int i = 0; i < 8; ++i) record[8 + i] = static_cast<unsigned char>(bits >> (8 * i));
    // A stream may take fewer bytes than offered.
    for (uint32_t written = 0; written < kStateSize;) {
        const int64_t n = stream->write(stream, record + written, kStateSize - written);
        if (n <= 0 || n > static_cast<int64_t>(kStateSize - written)) return false;
        written += static_cast<uint32_t>(n);
    }
    return true;
}

bool CLAP_ABI stateLoad(const clap_plugin_t* plugin, const clap_istream_t* stream) {
    Instance* self = instanceOf(plugin);
    if (!self || !stream || !stream->read) return false;
    // One byte more than the record, so that a longer stream shows.
    unsigned char record[kStateSize + 1];
    uint32_t got = 0;
    while (got < sizeof record) {
        const int64_t n = stream->read(stream, record + got, sizeof record - got);
        if (n < 0 || n > static_cast<int64_t>(sizeof record - got)) return false;
        if (n == 0) break;
        got += static_cast<uint32_t>(n);
    }
    if (got != kStateSize || std::memcmp(record, kStateMagic, 4) != 0) return false;
    uint32_t version = 0;
    uint64_t bits = 0;
    for (int i = 0; i < 4; ++i) version |= static_cast<uint32_t>(record[4 + i]) << (8 * i);
    for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(record[8 + i]) << (8 * i);
    double mode;
    std::memcpy(&mode, &bits, 8);
    // Only whole mode numbers are ever saved; NaN fails the comparison.
    if (version != kStateVersion || !(mode >= 0.0 && mode <= kNumModes - 1) ||
        mode != static_cast<int32>(mode))
        return false;
    self->mode.store(static_cast<int32>(mode), std::memory_order_relaxed);
    return true;
}

const clap_plugin_state_t kState = {stateSave, stateLoad};

// ---- latency

// [main-thread]
uint32_t CLAP_ABI latencyGet(const clap_plugin_t*) { return 0; }

const clap_plugin_latency_t kLatency = {latencyGet};

// [thread-safe]
const void* CLAP_ABI pluginGetExtension(const clap_plugin_t*, const char* id) {
    if (!id) return nullptr;
    if (std::strcmp(id, CLAP_EXT_AUDIO_PORTS) == 0) return &kAudioPorts;
    if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &kParams;
    if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &kState;
    if (std::strcmp(id, CLAP_EXT_LATENCY) == 0) return &kLatency;
    return nullptr;
}

// ---- factory and entry

// [thread-safe]
uint32_t CLAP_ABI factoryCount(const clap_plugin_factory_t*) { return 1; }

const clap_plugin_descriptor_t* CLAP_ABI factoryDescriptor(const clap_plugin_factory_t*,
                                                           uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}

const clap_plugin_t* CLAP_ABI factoryCreate(const clap_plugin_factory_t*, const clap_host_t* host,
                                            const char* id) {
    if (!host || !clap_version_is_compatible(host->clap_version) || !id ||
        std::strcmp(id, kDescriptor.id) != 0)
        return nullptr;
    Instance* self = new (std::nothrow) Instance;
    if (!self) return nullptr;
    self->plugin = {&kDescriptor,         self,          pluginInit,
                    pluginDestroy,        pluginActivate, pluginDeactivate,
                    pluginStartProcessing, pluginStopProcessing, pluginReset,
                    pluginProcess,        pluginGetExtension, pluginOnMainThread};
    return &self->plugin;
}

const clap_plugin_factory_t kFactory = {factoryCount, factoryDescriptor, factoryCreate};

// [thread-safe]
bool CLAP_ABI entryInit(const char*) { return true; }
void CLAP_ABI entryDeinit() {}

const void* CLAP_ABI entryGetFactory(const char* id) {
    return id && std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) == 0 ? &kFactory : nullptr;
}

}  // namespace

extern "C" CLAP_EXPORT const clap_plugin_entry_t clap_entry = {CLAP_VERSION_INIT, entryInit,
                                                                entryDeinit, entryGetFactory};
