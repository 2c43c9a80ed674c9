// Bit-for-bit comparison of the production processing state with the step-by-step one.
#pragma once

#include <cstring>
#include <string>

#include "effect/processing_state.h"
#include "tests/reference/step_by_step.h"

namespace stepref {

template <typename T>
bool sameBits(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// Only the bytes that carry an extended value; the rest is padding.
inline bool sameBits(extended a, extended b) { return sameExtendedBits(a, b); }

// Empty when equal, else the first differing field.
std::string stateDifference(const ProcessingState& production, const State& reference);

}  // namespace stepref
