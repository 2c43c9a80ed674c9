// Speaker arrangements built, copied and matched by the effect. A block made here is
// one malloc'd run of header plus numChannels speakers, released only here.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "frame/audioeffectx.h"

bool AudioEffectX::allocateArrangement(VstSpeakerArrangement** arrangement,
                                       int32 nbChannels) noexcept {
    if (!arrangement) return false;
    if (*arrangement) {
        std::free(*arrangement);
        *arrangement = nullptr;
    }
    // A negative count or one whose size wraps would get a block too small for it.
    if (nbChannels < 0) return false;
    const auto channels = static_cast<std::size_t>(nbChannels);
    if (channels > (SIZE_MAX - kArrangementHeaderBytes) / sizeof(VstSpeakerProperties))
        return false;
    void* block = std::calloc(1, kArrangementHeaderBytes + channels * sizeof(VstSpeakerProperties));
    if (!block) return false;
    *arrangement = static_cast<VstSpeakerArrangement*>(block);
    (*arrangement)->numChannels = nbChannels;
    return true;
}

bool AudioEffectX::deallocateArrangement(VstSpeakerArrangement** arrangement) noexcept {
    if (arrangement && *arrangement) {
        std::free(*arrangement);
        *arrangement = nullptr;
    }
    return true;
}

bool AudioEffectX::copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from) noexcept {
    if (!to || !from) return false;
    // Work from a copy so that copying a speaker onto itself is well defined.
    const VstSpeakerProperties source = *from;
    // At most 63 characters, zero-filled behind, always terminated.
    std::strncpy(to->name, source.name, sizeof(to->name) - 1);
    to->name[sizeof(to->name) - 1] = '\0';
    to->type = source.type;
    to->azimuth = source.azimuth;
    to->elevation = source.elevation;
    to->radius = source.radius;
    to->reserved = source.reserved;
    std::memcpy(to->future, source.future, sizeof(to->future));
    return true;
}

bool AudioEffectX::matchArrangement(VstSpeakerArrangement** to,
                                    VstSpeakerArrangement* from) noexcept {
    if (!from) return false;
    if (!deallocateArrangement(to) || !allocateArrangement(to, from->numChannels)) return false;
    VstSpeakerArrangement* target = *to;
    target->type = from->type;
    for (int32 i = 0; i < target->numChannels; ++i)
        if (!copySpeaker(speakerAt(target, i), speakerAt(from, i))) return false;
    return true;
}
