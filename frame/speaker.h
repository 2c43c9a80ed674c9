// Speaker arrangement records exchanged with the host in memory.
#pragma once

#include <cstddef>

#include "aeffect.h"

struct VstSpeakerProperties {
    float azimuth;
    float elevation;
    float radius;
    float reserved;
    char name[64];  // terminated
    int32 type;
    char future[28];
};
static_assert(offsetof(VstSpeakerProperties, azimuth) == 0);
static_assert(offsetof(VstSpeakerProperties, elevation) == 4);
static_assert(offsetof(VstSpeakerProperties, radius) == 8);
static_assert(offsetof(VstSpeakerProperties, reserved) == 12);
static_assert(offsetof(VstSpeakerProperties, name) == 16);
static_assert(offsetof(VstSpeakerProperties, type) == 80);
static_assert(offsetof(VstSpeakerProperties, future) == 84);
static_assert(sizeof(VstSpeakerProperties) == 112);

// Hosts declare room for eight speakers; arrangements built by the frame hold exactly
// numChannels of them, so index speakers through speakerAt rather than the array.
struct VstSpeakerArrangement {
    int32 type;
    int32 numChannels;
    VstSpeakerProperties speakers[8];
};
static_assert(offsetof(VstSpeakerArrangement, type) == 0);
static_assert(offsetof(VstSpeakerArrangement, numChannels) == 4);
static_assert(offsetof(VstSpeakerArrangement, speakers) == 8);

constexpr std::size_t kArrangementHeaderBytes = offsetof(VstSpeakerArrangement, speakers);

inline VstSpeakerProperties* speakerAt(VstSpeakerArrangement* arrangement, int32 i) {
    return reinterpret_cast<VstSpeakerProperties*>(reinterpret_cast<char*>(arrangement) +
                                                   kArrangementHeaderBytes) +
           i;
}
