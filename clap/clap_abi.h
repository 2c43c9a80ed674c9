// The parts of the CLAP 1.x plug-in ABI that Vellicor uses, with the ABI's own names and
// layouts. Declared here because no packaged CLAP headers exist to depend on; anything
// the plug-in does not use is left out. Valid C and C++.
#pragma once

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#if defined(__cplusplus) && __cplusplus >= 201103L
#define CLAP_CONSTEXPR constexpr
#else
#define CLAP_CONSTEXPR
#endif

#if !defined(CLAP_EXPORT)
#if defined _WIN32 || defined __CYGWIN__
#ifdef __GNUC__
#define CLAP_EXPORT __attribute__((dllexport))
#else
#define CLAP_EXPORT __declspec(dllexport)
#endif
#else
#if __GNUC__ >= 4 || defined(__clang__)
#define CLAP_EXPORT __attribute__((visibility("default")))
#else
#define CLAP_EXPORT
#endif
#endif
#endif

// Every function pointer crossing the boundary uses this convention; it only changes
// anything on 32-bit Windows.
#if !defined(CLAP_ABI)
#if defined _WIN32 || defined __CYGWIN__
#define CLAP_ABI __cdecl
#else
#define CLAP_ABI
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

// ---- version

typedef struct clap_version {
    uint32_t major;
    uint32_t minor;
    uint32_t revision;
} clap_version_t;

#define CLAP_VERSION_MAJOR 1
#define CLAP_VERSION_MINOR 2
#define CLAP_VERSION_REVISION 2

#define CLAP_VERSION_INIT \
    { (uint32_t)CLAP_VERSION_MAJOR, (uint32_t)CLAP_VERSION_MINOR, (uint32_t)CLAP_VERSION_REVISION }

// 0.x was the unstable development series; every 1.x is compatible.
static inline CLAP_CONSTEXPR bool clap_version_is_compatible(const clap_version_t v) {
    return v.major >= 1;
}

// ---- ids and string capacities

typedef uint32_t clap_id;
static const CLAP_CONSTEXPR clap_id CLAP_INVALID_ID = UINT32_MAX;

enum {
    CLAP_NAME_SIZE = 256,
    CLAP_PATH_SIZE = 1024,
};

// ---- process data

typedef struct clap_audio_buffer {
    // Either data32 or data64 is set, depending on the sample size the host chose.
    float **data32;
    double **data64;
    uint32_t channel_count;
    uint32_t latency;
    uint64_t constant_mask;  // bit i: channel i holds one value throughout the block
} clap_audio_buffer_t;

// ---- events

typedef struct clap_event_header {
    uint32_t size;  // of the whole event, header included
    uint32_t time;  // sample offset within the block
    uint16_t space_id;
    uint16_t type;
    uint32_t flags;
} clap_event_header_t;

static const CLAP_CONSTEXPR uint16_t CLAP_CORE_EVENT_SPACE_ID = 0;

enum clap_event_flags {
    CLAP_EVENT_IS_LIVE = 1 << 0,
    CLAP_EVENT_DONT_RECORD = 1 << 1,
};

enum {
    CLAP_EVENT_NOTE_ON = 0,
    CLAP_EVENT_NOTE_OFF = 1,
    CLAP_EVENT_NOTE_CHOKE = 2,
    CLAP_EVENT_NOTE_END = 3,
    CLAP_EVENT_NOTE_EXPRESSION = 4,
    CLAP_EVENT_PARAM_VALUE = 5,
    CLAP_EVENT_PARAM_MOD = 6,
    CLAP_EVENT_PARAM_GESTURE_BEGIN = 7,
    CLAP_EVENT_PARAM_GESTURE_END = 8,
    CLAP_EVENT_TRANSPORT = 9,
    CLAP_EVENT_MIDI = 10,
    CLAP_EVENT_MIDI_SYSEX = 11,
    CLAP_EVENT_MIDI2 = 12,
};

typedef struct clap_event_param_value {
    clap_event_header_t header;

    clap_id param_id;
    void *cookie;

    // -1 in any of these means "all".
    int32_t note_id;
    int16_t port_index;
    int16_t channel;
    int16_t key;

    double value;
} clap_event_param_value_t;

// Only ever handled through a pointer here.
typedef struct clap_event_transport clap_event_transport_t;

typedef struct clap_input_events {
    void *ctx;
    uint32_t(CLAP_ABI *size)(const struct clap_input_events *list);
    // The event belongs to the list.
    const clap_event_header_t *(CLAP_ABI *get)(const struct clap_input_events *list,
                                               uint32_t index);
} clap_input_events_t;

typedef struct clap_output_events {
    void *ctx;
    // Pushes a copy; false if the host could not take it.
    bool(CLAP_ABI *try_push)(const struct clap_output_events *list,
                             const clap_event_header_t *event);
} clap_output_events_t;

// ---- process

enum {
    CLAP_PROCESS_ERROR = 0,
    CLAP_PROCESS_CONTINUE = 1,
    CLAP_PROCESS_CONTINUE_IF_NOT_QUIET = 2,
    CLAP_PROCESS_TAIL = 3,
    CLAP_PROCESS_SLEEP = 4,
};
typedef int32_t clap_process_status;

typedef struct clap_process {
    int64_t steady_time;  // -1 when the host has no steady sample clock
    uint32_t frames_count;
    const clap_event_transport_t *transport;  // may be null
    const clap_audio_buffer_t *audio_inputs;
    clap_audio_buffer_t *audio_outputs;
    uint32_t audio_inputs_count;
    uint32_t audio_outputs_count;
    const clap_input_events_t *in_events;
    const clap_output_events_t *out_events;
} clap_process_t;

// ---- plug-in and host

typedef struct clap_plugin_descriptor {
    clap_version_t clap_version;
    const char *id;
    const char *name;
    const char *vendor;
    const char *url;
    const char *manual_url;
    const char *support_url;
    const char *version;
    const char *description;
    const char *const *features;  // null-terminated
} clap_plugin_descriptor_t;

#define CLAP_PLUGIN_FEATURE_AUDIO_EFFECT "audio-effect"
#define CLAP_PLUGIN_FEATURE_UTILITY "utility"
#define CLAP_PLUGIN_FEATURE_STEREO "stereo"

typedef struct clap_plugin {
    const clap_plugin_descriptor_t *desc;
    void *plugin_data;
    bool(CLAP_ABI *init)(const struct clap_plugin *plugin);
    void(CLAP_ABI *destroy)(const struct clap_plugin *plugin);
    bool(CLAP_ABI *activate)(const struct clap_plugin *plugin, double sample_rate,
                             uint32_t min_frames_count, uint32_t max_frames_count);
    void(CLAP_ABI *deactivate)(const struct clap_plugin *plugin);
    bool(CLAP_ABI *start_processing)(const struct clap_plugin *plugin);
    void(CLAP_ABI *stop_processing)(const struct clap_plugin *plugin);
    void(CLAP_ABI *reset)(const struct clap_plugin *plugin);
    clap_process_status(CLAP_ABI *process)(const struct clap_plugin *plugin,
                                           const clap_process_t *process);
    const void *(CLAP_ABI *get_extension)(const struct clap_plugin *plugin, const char *id);
    void(CLAP_ABI *on_main_thread)(const struct clap_plugin *plugin);
} clap_plugin_t;

typedef struct clap_host {
    clap_version_t clap_version;
    void *host_data;
    const char *name;
    const char *vendor;
    const char *url;
    const char *version;
    const void *(CLAP_ABI *get_extension)(const struct clap_host *host, const char *extension_id);
    void(CLAP_ABI *request_restart)(const struct clap_host *host);
    void(CLAP_ABI *request_process)(const struct clap_host *host);
    void(CLAP_ABI *request_callback)(const struct clap_host *host);
} clap_host_t;

// ---- entry and factory (the plug-in defines `clap_entry` of this type)

typedef struct clap_plugin_entry {
    clap_version_t clap_version;
    bool(CLAP_ABI *init)(const char *plugin_path);
    void(CLAP_ABI *deinit)(void);
    const void *(CLAP_ABI *get_factory)(const char *factory_id);
} clap_plugin_entry_t;

static CLAP_CONSTEXPR const char CLAP_PLUGIN_FACTORY_ID[] = "clap.plugin-factory";

typedef struct clap_plugin_factory {
    uint32_t(CLAP_ABI *get_plugin_count)(const struct clap_plugin_factory *factory);
    const clap_plugin_descriptor_t *(CLAP_ABI *get_plugin_descriptor)(
        const struct clap_plugin_factory *factory, uint32_t index);
    const clap_plugin_t *(CLAP_ABI *create_plugin)(const struct clap_plugin_factory *factory,
                                                   const clap_host_t *host,
                                                   const char *plugin_id);
} clap_plugin_factory_t;

// ---- audio ports

static CLAP_CONSTEXPR const char CLAP_EXT_AUDIO_PORTS[] = "clap.audio-ports";
static CLAP_CONSTEXPR const char CLAP_PORT_MONO[] = "mono";
static CLAP_CONSTEXPR const char CLAP_PORT_STEREO[] = "stereo";

enum {
    CLAP_AUDIO_PORT_IS_MAIN = 1 << 0,
    CLAP_AUDIO_PORT_SUPPORTS_64BITS = 1 << 1,
    CLAP_AUDIO_PORT_PREFERS_64BITS = 1 << 2,
    CLAP_AUDIO_PORT_REQUIRES_COMMON_SAMPLE_SIZE = 1 << 3,
};

typedef struct clap_audio_port_info {
    clap_id id;
    char name[CLAP_NAME_SIZE];
    uint32_t flags;
    uint32_t channel_count;
    const char *port_type;  // CLAP_PORT_*, or null when unspecified
    clap_id in_place_pair;  // CLAP_INVALID_ID when the port has none
} clap_audio_port_info_t;

typedef struct clap_plugin_audio_ports {
    uint32_t(CLAP_ABI *count)(const clap_plugin_t *plugin, bool is_input);
    bool(CLAP_ABI *get)(const clap_plugin_t *plugin, uint32_t index, bool is_input,
                        clap_audio_port_info_t *info);
} clap_plugin_audio_ports_t;

// ---- parameters

static CLAP_CONSTEXPR const char CLAP_EXT_PARAMS[] = "clap.params";

enum {
    CLAP_PARAM_IS_STEPPED = 1 << 0,
    CLAP_PARAM_IS_PERIODIC = 1 << 1,
    CLAP_PARAM_IS_HIDDEN = 1 << 2,
    CLAP_PARAM_IS_READONLY = 1 << 3,
    CLAP_PARAM_IS_BYPASS = 1 << 4,
    CLAP_PARAM_IS_AUTOMATABLE = 1 << 5,
    CLAP_PARAM_IS_AUTOMATABLE_PER_NOTE_ID = 1 << 6,
    CLAP_PARAM_IS_AUTOMATABLE_PER_KEY = 1 << 7,
    CLAP_PARAM_IS_AUTOMATABLE_PER_CHANNEL = 1 << 8,
    CLAP_PARAM_IS_AUTOMATABLE_PER_PORT = 1 << 9,
    CLAP_PARAM_IS_MODULATABLE = 1 << 10,
    CLAP_PARAM_IS_MODULATABLE_PER_NOTE_ID = 1 << 11,
    CLAP_PARAM_IS_MODULATABLE_PER_KEY = 1 << 12,
    CLAP_PARAM_IS_MODULATABLE_PER_CHANNEL = 1 << 13,
    CLAP_PARAM_IS_MODULATABLE_PER_PORT = 1 << 14,
    CLAP_PARAM_REQUIRES_PROCESS = 1 << 15,
    CLAP_PARAM_IS_ENUM = 1 << 16,
};
typedef uint32_t clap_param_info_flags;

typedef struct clap_param_info {
    clap_id id;
    clap_param_info_flags flags;
    void *cookie;  // handed back in events for this parameter
    char name[CLAP_NAME_SIZE];
    char module[CLAP_PATH_SIZE];
    double min_value;
    double max_value;
    double default_value;
} clap_param_info_t;

typedef struct clap_plugin_params {
    uint32_t(CLAP_ABI *count)(const clap_plugin_t *plugin);
    bool(CLAP_ABI *get_info)(const clap_plugin_t *plugin, uint32_t param_index,
                             clap_param_info_t *param_info);
    bool(CLAP_ABI *get_value)(const clap_plugin_t *plugin, clap_id param_id, double *out_value);
    bool(CLAP_ABI *value_to_text)(const clap_plugin_t *plugin, clap_id param_id, double value,
                                  char *out_buffer, uint32_t out_buffer_capacity);
    bool(CLAP_ABI *text_to_value)(const clap_plugin_t *plugin, clap_id param_id,
                                  const char *param_value_text, double *out_value);
    void(CLAP_ABI *flush)(const clap_plugin_t *plugin, const clap_input_events_t *in,
                          const clap_output_events_t *out);
} clap_plugin_params_t;

enum {
    CLAP_PARAM_RESCAN_VALUES = 1 << 0,
    CLAP_PARAM_RESCAN_TEXT = 1 << 1,
    CLAP_PARAM_RESCAN_INFO = 1 << 2,
    CLAP_PARAM_RESCAN_ALL = 1 << 3,
};
typedef uint32_t clap_param_rescan_flags;

enum {
    CLAP_PARAM_CLEAR_ALL = 1 << 0,
    CLAP_PARAM_CLEAR_AUTOMATIONS = 1 << 1,
    CLAP_PARAM_CLEAR_MODULATIONS = 1 << 2,
};
typedef uint32_t clap_param_clear_flags;

typedef struct clap_host_params {
    void(CLAP_ABI *rescan)(const clap_host_t *host, clap_param_rescan_flags flags);
    void(CLAP_ABI *clear)(const clap_host_t *host, clap_id param_id, clap_param_clear_flags flags);
    void(CLAP_ABI *request_flush)(const clap_host_t *host);
} clap_host_params_t;

// ---- state

typedef struct clap_istream {
    void *ctx;
    // Bytes read: 0 at the end of the stream, -1 on error; may return fewer than asked.
    int64_t(CLAP_ABI *read)(const struct clap_istream *stream, void *buffer, uint64_t size);
} clap_istream_t;

typedef struct clap_ostream {
    void *ctx;
    // Bytes written, -1 on error; may write fewer than asked.
    int64_t(CLAP_ABI *write)(const struct clap_ostream *stream, const void *buffer,
                             uint64_t size);
} clap_ostream_t;

static CLAP_CONSTEXPR const char CLAP_EXT_STATE[] = "clap.state";

typedef struct clap_plugin_state {
    bool(CLAP_ABI *save)(const clap_plugin_t *plugin, const clap_ostream_t *stream);
    bool(CLAP_ABI *load)(const clap_plugin_t *plugin, const clap_istream_t *stream);
} clap_plugin_state_t;

// ---- latency

static CLAP_CONSTEXPR const char CLAP_EXT_LATENCY[] = "clap.latency";

typedef struct clap_plugin_latency {
    uint32_t(CLAP_ABI *get)(const clap_plugin_t *plugin);
} clap_plugin_latency_t;

#ifdef __cplusplus
}  // extern "C"

// Hosts built with the reference headers share these layouts; a packing pragma or an
// alignment flag in an including file would silently break them.
static_assert(sizeof(clap_version_t) == 12);
static_assert(sizeof(clap_event_header_t) == 16);
static_assert(offsetof(clap_event_header_t, space_id) == 8);
static_assert(offsetof(clap_event_header_t, flags) == 12);
static_assert(offsetof(clap_event_param_value_t, param_id) == 16);
static_assert(offsetof(clap_param_info_t, name) == 8 + sizeof(void *));
static_assert(offsetof(clap_audio_port_info_t, flags) == 4 + CLAP_NAME_SIZE);
#if UINTPTR_MAX == UINT64_MAX
static_assert(sizeof(clap_audio_buffer_t) == 32);
static_assert(offsetof(clap_event_param_value_t, cookie) == 24);
static_assert(offsetof(clap_event_param_value_t, key) == 40);
static_assert(offsetof(clap_event_param_value_t, value) == 48);
static_assert(sizeof(clap_event_param_value_t) == 56);
static_assert(sizeof(clap_process_t) == 64);
static_assert(offsetof(clap_process_t, transport) == 16);
static_assert(sizeof(clap_plugin_descriptor_t) == 88);
static_assert(sizeof(clap_host_t) == 88);
static_assert(sizeof(clap_plugin_t) == 96);
static_assert(offsetof(clap_audio_port_info_t, port_type) == 272);
static_assert(sizeof(clap_audio_port_info_t) == 288);
static_assert(sizeof(clap_param_info_t) == 1320);
#elif UINTPTR_MAX == UINT32_MAX
static_assert(sizeof(clap_audio_buffer_t) == 24);
static_assert(sizeof(clap_process_t) == 40);
static_assert(sizeof(clap_audio_port_info_t) == 276);
#endif
#endif
