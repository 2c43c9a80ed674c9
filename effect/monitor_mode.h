// The seventeen listening modes and how the "Monitor" value selects one.
#pragma once

#include <cstdint>

using int32 = std::int32_t;

enum MonitorMode : int32 {
#define VELLICOR_MODE(identifier, name) kMode##identifier,
#include "effect/monitor_modes.def"
#undef VELLICOR_MODE
    kNumModes
};

// Stands for a value whose scaled mode number does not fit an int32 (or is NaN). Like
// every other number outside 0..16 it runs no mode step and quantizes as "Out24".
constexpr int32 kModeUnrepresentable = INT32_MIN;

// Each mode spans 1/16.999 of the parameter range, so 1.0 still selects the last mode.
constexpr double kModesPerUnit = 16.999;

// The value times 16.999, truncated toward zero; not clamped to 0..16.
int32 monitorModeOf(float value) noexcept;

inline bool isMonitorMode(int32 mode) noexcept { return mode >= 0 && mode < kNumModes; }

// Display name of a mode, or null outside 0..16.
const char* monitorModeName(int32 mode) noexcept;

// The parameter value that selects a mode: k/16, exact in a float, well inside the mode's
// share of the range. Formats whose control is the mode number itself go through it, so
// they give what the VST effect gives at that value.
inline float monitorValueOfMode(int32 mode) noexcept { return static_cast<float>(mode) / 16.0f; }

// A mode number as a host may send it, as a mode: the nearest whole number, held to 0..16;
// NaN is "Out24".
int32 nearestMonitorMode(double value) noexcept;

// A mode as a person types it: a display name in any case with spaces optional ("cans b"),
// or a number 0 to 16, with surrounding spaces. False, mode unchanged, for anything else.
bool parseMonitorMode(const char* text, int32& mode) noexcept;
