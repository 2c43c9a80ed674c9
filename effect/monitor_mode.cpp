#include "effect/monitor_mode.h"

#include <cmath>

namespace {
const char* const kModeNames[kNumModes] = {
#define VELLICOR_MODE(identifier, name) name,
#include "effect/monitor_modes.def"
#undef VELLICOR_MODE
};

// Whether two texts are equal once spaces are dropped, letters compared in either case.
bool sameLoosely(const char* a, const char* b) noexcept {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (;;) {
        while (*a == ' ') ++a;
        while (*b == ' ') ++b;
        if (lower(*a) != lower(*b)) return false;
        if (!*a) return true;
        ++a, ++b;
    }
}
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

// Hosts call this on their own threads: it only compares with the half-way points, which
// are exact, so neither the caller's rounding mode nor its status flags come into it (an
// ordered comparison with NaN would raise the invalid flag).
int32 nearestMonitorMode(double value) noexcept {
    if (std::isnan(value)) return kModeOut24;
    int32 mode = kModeOut24;
    while (mode < kNumModes - 1 && !(value < mode + 0.5)) ++mode;
    return mode;
}

bool parseMonitorMode(const char* text, int32& mode) noexcept {
    if (!text) return false;
    const char* p = text;
    while (*p == ' ') ++p;
    if (*p >= '0' && *p <= '9') {
        int32 number = 0;
        // Three digits are enough to tell any number above 16 apart.
        for (int digits = 0; *p >= '0' && *p <= '9'; ++p)
            if (++digits <= 3) number = number * 10 + (*p - '0'); else number = kNumModes;
        while (*p == ' ') ++p;
        if (*p || !isMonitorMode(number)) return false;
        mode = number;
        return true;
    }
    for (int32 k = 0; k < kNumModes; ++k)
        if (sameLoosely(text, kModeNames[k])) {
            mode = k;
            return true;
        }
    return false;
}
