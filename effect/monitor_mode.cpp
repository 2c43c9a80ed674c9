#include "effect/monitor_mode.h"

namespace {
const char* const kModeNames[kNumModes] = {
#define VELLICOR_MODE(identifier, name) name,
#include "effect/monitor_modes.def"
#undef VELLICOR_MODE
};
}  // namespace

int32 monitorModeOf(float value) noexcept {
    const double scaled = static_cast<double>(value) * kModesPerUnit;
    // Truncation is only defined where the result fits; NaN fails both tests.
    if (!(scaled > -2147483649.0 && scaled < 2147483648.0)) return kModeUnrepresentable;
    return static_cast<int32>(scaled);
}

const char* monitorModeName(int32 mode) noexcept {
    return isMonitorMode(mode) ? kModeNames[mode] : nullptr;
}

int32 nearestMonitorMode(double value) noexcept {
    if (!(value > 0.0)) return kModeOut24;  // NaN too
    if (value >= kNumModes - 1) return kNumModes - 1;
    return static_cast<int32>(value + 0.5);
}
