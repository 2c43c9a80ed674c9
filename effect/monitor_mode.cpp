#include "effect/monitor_mode.h"

namespace {
const char* const kModeNames[kNumModes] = {
    "Out24", "Out16",   "Peaks",   "Slew",  "Subs",   "Mono",   "Side",   "Vinyl",  "Aurat",
    "MonoRat", "MonoLat", "Phone", "Cans A", "Cans B", "Cans C", "Cans D", "V Trick",
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
