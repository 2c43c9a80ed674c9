// The module's only exported entry, under both names hosts look for.
#include "frame/audioeffect.h"

// Hidden visibility keeps everything else out of an ELF module; a DLL exports what is
// marked for export (and, were nothing marked, every symbol).
#ifdef _WIN32
#define VST_EXPORT extern "C" __declspec(dllexport)
#else
#define VST_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// [main-thread] Hands the host a new effect's record, or null.
VST_EXPORT AEffect* VSTPluginMain(audioMasterCallback audioMaster) noexcept {
    // A host that passes no callback cannot be asked its version; refuse rather than crash.
    if (!audioMaster) return nullptr;
    if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    try {
        AudioEffect* effect = createEffectInstance(audioMaster);
        return effect ? effect->getAeffect() : nullptr;
    } catch (...) {
        // The factory has released the object; an exception must not reach the host's C code.
        return nullptr;
    }
}

// The same entry under the name older hosts look for; a forwarding function, which every
// object format accepts.
VST_EXPORT AEffect* main_macho(audioMasterCallback audioMaster) noexcept {
    return VSTPluginMain(audioMaster);
}
