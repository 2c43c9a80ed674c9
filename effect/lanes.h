// The processing's two-channel code: guard and noise words of a frame, the trend
// quantizers of both channels and the writing of the outputs. The SSE2 form keeps both
// channels in one register; the plain form, for other machines or when VELLICOR_PLAIN_LANES
// is defined, does them one after the other. Both give the same bits.
#pragma once

#if defined(__SSE2__) && !defined(VELLICOR_PLAIN_LANES)
#include "effect/lanes_sse2.h"
#else
#include "effect/lanes_plain.h"
#endif
