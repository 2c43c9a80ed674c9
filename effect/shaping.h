// Small shapers shared by several modes.
#pragma once

#include <cmath>
#include <limits>

#include "effect/floating_point.h"

// Limits to -1..1, compared on the full extended value.
inline extended unitLimit(extended x) noexcept {
    if (x > 1.0) return 1.0;
    if (x < -1.0) return -1.0;
    return x;
}

// The sine and arcsine are taken in double on the value rounded to double; an arcsine's
// argument is limited first, on the extended value. The modes narrow every argument of a
// frame before the first call and keep the results as doubles, so no extended value is
// live across the library calls, which would have to save it whole.
inline double sineArgument(extended x) noexcept { return static_cast<double>(x); }
// Limiting and rounding commute (rounding is monotone and ±1 are doubles), so the limit is
// taken on the double. Written as the comparisons a maximum and a minimum make, which keep a
// NaN argument as the limit's comparisons do, and which compilers turn into the machine's
// branch-free minimum and maximum: clipped peaks come at random.
inline double arcsineArgument(extended x) noexcept {
    const double d = static_cast<double>(x);
    const double atLeast = -1.0 > d ? -1.0 : d;
    return 1.0 < atLeast ? 1.0 : atLeast;
}

// Rounds a one-pole filter state to double for storage. A value past the double range is
// held at the largest double instead of becoming infinite: an infinite state never decays,
// and the modes sharing it would turn it into NaN for good. Every value the plain
// conversion keeps finite rounds exactly as it does.
inline double storedState(extended x) noexcept {
    // Tested after the narrowing, which is infinite exactly when x lies past the range:
    // the test then runs beside the extended arithmetic instead of inside it.
    const double narrowed = static_cast<double>(x);
    if (std::fabs(narrowed) == std::numeric_limits<double>::infinity())
        return std::copysign(std::numeric_limits<double>::max(), narrowed);
    return narrowed;
}
