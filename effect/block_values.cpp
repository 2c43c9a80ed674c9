#include "effect/block_values.h"

#include <cmath>

#include "effect/cross_feed.h"
#include "effect/monitor_mode.h"
#include "effect/subs.h"

namespace {

// rateScale × samples at 44.1 kHz, truncated, never past the last delay position.
int32 delayLength(double rateScale, double samplesAtReference) noexcept {
    const double length = rateScale * samplesAtReference;
    return length >= static_cast<double>(kLastDelayPosition) ? kLastDelayPosition
                                                             : static_cast<int32>(length);
}

int32 trendLengthFor(double rateScale) noexcept {
    const double length = rateScale * 17.0;
    if (!(length < kLongestTrend + 1.0)) return kLongestTrend;
    const int32 truncated = static_cast<int32>(length);
    return truncated < kShortestTrend ? kShortestTrend : truncated;
}

}  // namespace

float usableSampleRate(float hostRate) noexcept {
    if (!std::isfinite(hostRate) || hostRate <= 0.0f) return static_cast<float>(kReferenceRate);
    return hostRate < kLowestRate ? kLowestRate : hostRate;
}

BlockValues computeBlockValues(float hostRate, float monitorValue) noexcept {
    BlockValues b{};
    b.rateScale = static_cast<double>(usableSampleRate(hostRate)) * kRateScalePerHz;
    b.trendLength = trendLengthFor(b.rateScale);
    b.mode = monitorModeOf(monitorValue);
    b.delayLengthA = delayLength(b.rateScale, 149.0);
    b.delayLengthB = delayLength(b.rateScale, 179.0);
    b.delayLengthC = delayLength(b.rateScale, 191.0);
    b.delayLengthD = delayLength(b.rateScale, 223.0);
    setSubsBlockValues(b);
    setCrossFeedBlockValues(b);
    return b;
}
