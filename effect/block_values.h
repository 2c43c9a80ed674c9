// Values computed once at the start of every processing block and constant within it.
#pragma once

#include <cstdint>

#include "effect/floating_point.h"

using int32 = std::int32_t;

// Every delay, corner and time constant is scaled from this reference rate.
constexpr double kReferenceRate = 44100.0;
constexpr double kRateScalePerHz = 2.2675736961451248e-05;  // nearest double to 1/44100

// Host rates the processing will not run at: non-finite or non-positive rates run as the
// reference rate, tiny positive ones as this floor.
constexpr float kLowestRate = 2000.0f;

// The delay lines have positions 0..1502; no delay length may point past them.
constexpr int32 kDelayLineSize = 1503;
constexpr int32 kLastDelayPosition = kDelayLineSize - 1;

constexpr int32 kOutHistorySize = 100;
constexpr int32 kShortestTrend = 3;
constexpr int32 kLongestTrend = 98;

struct BlockValues {
    double rateScale;
    int32 trendLength;
    int32 mode;
    int32 delayLengthA;
    int32 delayLengthB;
    int32 delayLengthC;
    int32 delayLengthD;
    // Subs
    double subsAmount;
    double subsKeep;
    // Cross-feed side filters
    double sideCoefficient;
    extended firstSideKeep;
    extended secondSideKeep;
};

// The rate the block actually runs at, from the host's stored rate.
float usableSampleRate(float hostRate) noexcept;

// Everything but the band-pass coefficients, which live in their own record.
BlockValues computeBlockValues(float hostRate, float monitorValue) noexcept;
