#include "effect/subs.h"

void setSubsBlockValues(BlockValues& b) noexcept {
    b.subsAmount = kSubsAmountAtReference / b.rateScale;
    b.subsKeep = 1.0 - b.subsAmount;
}
