// Small shapers shared by several modes.
#pragma once

#include <emmintrin.h>

#include <cmath>
#include <limits>

// Limits to -1..1, compared on the full extended value.
inline long double unitLimit(long double x) noexcept {
    if (x > 1.0L) return 1.0L;
    if (x < -1.0L) return -1.0L;
    return x;
}

// The sine and arcsine are taken in double on the value rounded to double; an arcsine's
// argument is limited first, on the extended value. The modes narrow every argument of a
// frame before the first call and keep the results as doubles, so no extended value is
// live across the library calls, which would have to save it whole.
inline double sineArgument(long double x) noexcept { return static_cast<double>(x); }
// Limiting and rounding commute (rounding is monotone and ±1 are doubles), so the limit is
// taken on the double, where it needs no branch: clipped peaks come at random.
// (maxsd and minsd keep a NaN argument, as the comparisons of the limit do.)
inline double arcsineArgument(long double x) noexcept {
    const __m128d d = _mm_set_sd(static_cast<double>(x));
    return _mm_cvtsd_f64(_mm_min_sd(_mm_set_sd(1.0), _mm_max_sd(_mm_set_sd(-1.0), d)));
}

// Rounds a one-pole filter state to double for storage. A value past the double range is
// held at the largest double instead of becoming infinite: an infinite state never decays,
// and the modes sharing it would turn it into NaN for good. Every value the plain
// conversion keeps finite rounds exactly as it does.
inline double storedState(long double x) noexcept {
    // Tested after the narrowing, which is infinite exactly when x lies past the range:
    // the test then runs beside the x87 arithmetic instead of inside it.
    const double narrowed = static_cast<double>(x);
    if (std::fabs(narrowed) == std::numeric_limits<double>::infinity())
        return std::copysign(std::numeric_limits<double>::max(), narrowed);
    return narrowed;
}
