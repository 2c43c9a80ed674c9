// Small shapers shared by several modes.
#pragma once

#include <cmath>

// Limits to -1..1, compared on the full extended value.
inline long double unitLimit(long double x) noexcept {
    if (x > 1.0L) return 1.0L;
    if (x < -1.0L) return -1.0L;
    return x;
}

// The sine and arcsine are taken in double on the value rounded to double.
inline long double sineOf(long double x) noexcept {
    return std::sin(static_cast<double>(x));
}

inline long double arcsineOf(long double x) noexcept {
    return std::asin(static_cast<double>(x));
}
