#include "effect/cross_feed.h"

void setCrossFeedBlockValues(BlockValues& b) noexcept {
    // Wide enough that no mode number, however far out of range, overflows the square.
    const long long square = static_cast<long long>(b.mode) * b.mode;
    b.sideCoefficient = static_cast<double>(square) * 1e-05 / b.rateScale;
    b.firstSideKeep = 1.0 - static_cast<extended>(kFirstSideShare) * b.sideCoefficient;
    b.secondSideKeep = 1.0 - static_cast<extended>(b.sideCoefficient);
}
