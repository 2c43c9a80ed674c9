// The two-channel code of the processing in SSE2: both channels (and where it helps, both
// candidate steps of both) share one register. The plain form beside it gives the same
// bits; effect/lanes.h chooses between them.
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <limits>
#include <type_traits>

#include "effect/output_stage.h"

namespace lanes {

// The chosen steps of one frame: left in lane 0, right in lane 1.
using Steps = __m128i;

// Both channels' xorshift words, advanced together.
class NoiseWords {
public:
    NoiseWords(std::uint32_t left, std::uint32_t right) noexcept
        : words(_mm_setr_epi32(static_cast<int>(left), static_cast<int>(right), 0, 0)) {}
    std::uint32_t left() const noexcept { return static_cast<std::uint32_t>(_mm_cvtsi128_si32(words)); }
    std::uint32_t right() const noexcept {
        return static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(words, 1)));
    }
    void advance() noexcept {
        words = _mm_xor_si128(words, _mm_slli_epi32(words, 13));
        words = _mm_xor_si128(words, _mm_srli_epi32(words, 17));
        words = _mm_xor_si128(words, _mm_slli_epi32(words, 5));
    }

private:
    __m128i words;
};

// One frame's inputs to its working samples: a sample below the threshold in magnitude, or
// not finite, becomes its channel's noise word times the threshold (exact in double). Both
// channels are tested at once.
__attribute__((always_inline)) inline void guardNearSilence(double inL, double inR, const NoiseWords& noise,
                                                            double threshold, double& left,
                                                            double& right) noexcept {
    const __m128d samples = _mm_setr_pd(inL, inR);
    const __m128d size = _mm_and_pd(samples, _mm_castsi128_pd(_mm_set1_epi64x(INT64_MAX)));
    const __m128d ordinary =
        _mm_and_pd(_mm_cmpge_pd(size, _mm_set1_pd(threshold)),
                   _mm_cmple_pd(size, _mm_set1_pd(std::numeric_limits<double>::max())));
    __m128d guarded = samples;
    if (__builtin_expect(_mm_movemask_pd(ordinary) != 3, 0)) {
        const __m128d replaced = _mm_setr_pd(static_cast<double>(noise.left()) * threshold,
                                             static_cast<double>(noise.right()) * threshold);
        guarded = _mm_or_pd(_mm_and_pd(ordinary, samples), _mm_andnot_pd(ordinary, replaced));
    }
    left = _mm_cvtsd_f64(guarded);
    right = _mm_cvtsd_f64(_mm_unpackhi_pd(guarded, guarded));
}

// Writes a frame's chosen steps times the step size (exact in double) to the outputs.
template <typename Sample>
__attribute__((always_inline)) inline void storeSteps(Sample* outL, Sample* outR, Steps chosen,
                                                      double step) noexcept {
    const __m128d out = _mm_mul_pd(_mm_cvtepi32_pd(chosen), _mm_set1_pd(step));
    if constexpr (sizeof(Sample) == sizeof(float)) {
        const __m128 narrowed = _mm_cvtpd_ps(out);
        _mm_store_ss(outL, narrowed);
        _mm_store_ss(outR, _mm_shuffle_ps(narrowed, narrowed, 1));
    } else {
        _mm_storel_pd(outL, out);
        _mm_storeh_pd(outR, out);
    }
}

// Both channels' trend quantizers over a stretch of frames with one trend length n. The
// two channels do the same float arithmetic, so they share SSE registers: lane 0 is the
// left channel, lane 1 the right.
//
// The histories (entry 0 newest) live in a window sliding down a buffer the caller owns,
// one frame's pair of entries per slot, so recording a frame is one store instead of a
// shift of n + 1 entries. The first n + 2 entries of each channel are copied in and back
// out, the only ones a frame reads or writes. Entries past n + 1 keep whatever an
// earlier, longer trend left there, as a longer trend later must see them. While the
// newest n + 1 entries of each channel lie within one of the two spans above, each slope
// is the exact difference of the window's ends, the float the term-by-term sum yields.
class StereoQuantizer {
public:
    static constexpr int32 kStretch = 512;  // frames per stretch
    // A frame's left and right entries, packed into the bits of one double, so that the
    // pair moves in one typed load or store.
    using Slot = double;
    static constexpr int32 kBufferSlots = kStretch + kOutHistorySize;

    StereoQuantizer(Slot* buffer, float* historyL, float* historyR, int32 n, bool out16) noexcept
        : window(buffer + kStretch), historyL(historyL), historyR(historyR), n(n),
          scale(out16 ? kStepsPer16Bit : kStepsPer24Bit) {
        for (int32 k = 0; k <= n + 1; ++k)
            window[k] = slotOf(_mm_setr_ps(historyL[k], historyR[k], 0.0f, 0.0f));
        alignas(16) int32 run[4];
        const float* const histories[2] = {historyL, historyR};
        for (int32 lane = 0; lane < 4; ++lane) {
            const float* h = histories[lane & 1];
            run[lane] = 0;
            while (run[lane] <= n + 1 && inTelescopingSpan(h[run[lane]], lane / 2)) ++run[lane];
        }
        spanRuns = _mm_load_si128(reinterpret_cast<const __m128i*>(run));
    }

    // Writes the histories back; call after at most kStretch frames.
    void finish() noexcept {
        for (int32 k = 0; k <= n + 1; ++k) {
            const __m128 pair = entries(window[k]);
            historyL[k] = _mm_cvtss_f32(pair);
            historyR[k] = _mm_cvtss_f32(_mm_shuffle_ps(pair, pair, 1));
        }
    }

    // Chooses and records the steps for the working samples of one frame, doubles or
    // extended values. Returns the chosen steps in lanes 0 and 1.
    template <typename Working>
    __attribute__((always_inline)) Steps quantize(Working sampleL, Working sampleR) noexcept {
        return choose(candidates(sampleL, sampleR));
    }

    // For working samples that still owe a limit to ±1: the limit is taken on the
    // candidate steps instead, where it needs no branch. Limiting at ±scale, a whole
    // number of steps, gives the same floors: floor(limit(x)) is floor(x) limited to
    // ±scale, floor(limit(x) + 1) is floor(x + 1) limited to 1 - scale .. scale + 1, and a
    // NaN keeps its step 0 either way.
    __attribute__((always_inline)) Steps quantizeUnitLimited(extended sampleL,
                                                             extended sampleR) noexcept {
        const int32 top = static_cast<int32>(scale);
        const __m128i highest = _mm_setr_epi32(top, top, top + 1, top + 1);
        const __m128i lowest = _mm_setr_epi32(-top, -top, 1 - top, 1 - top);
        __m128i steps = candidates(sampleL, sampleR);
        const __m128i above = _mm_cmpgt_epi32(steps, highest);
        steps = _mm_or_si128(_mm_and_si128(above, highest), _mm_andnot_si128(above, steps));
        const __m128i below = _mm_cmplt_epi32(steps, lowest);
        steps = _mm_or_si128(_mm_and_si128(below, lowest), _mm_andnot_si128(below, steps));
        return choose(steps);
    }

private:
    // The candidate steps floor(x) and floor(x + 1) of both channels, x the working sample
    // in steps: lower steps in lanes 0 and 1, upper steps in lanes 2 and 3.
    //
    // Working samples that are doubles stay exact doubles times a power of two, and inside
    // the int32 range their floor comes from a truncation; so does floor(x + 1) (see
    // floorsOf), except for a negative x so tiny that x + 1 rounds to 1 in extended
    // precision, which the general path takes, as it does the range's edges.
    //
    // Extended working samples (where extended is wider than double) are narrowed to double
    // first. A narrowed x that is not a whole number has the floor of the extended x
    // (rounding is monotone and whole numbers in range are doubles), and the extended x + 1
    // then rounds across a whole number only when x lies within 2^-65 below zero, a tiny
    // negative, or within 2^-64 of its size below a power of two, which narrows to that
    // whole number.
    template <typename Working>
    __attribute__((always_inline)) __m128i candidates(Working sampleL, Working sampleR) noexcept {
        if constexpr (std::is_same_v<Working, double>) {
            const __m128d x = _mm_mul_pd(_mm_setr_pd(sampleL, sampleR),
                                         _mm_set1_pd(static_cast<double>(scale)));
            if (_mm_movemask_pd(truncationFloors(x)) != 3)
                return generalCandidates(sampleL * scale, sampleR * scale);
            return floorsOf(x);
        } else {
            const extended xL = sampleL * scale;
            const extended xR = sampleR * scale;
            const __m128d x = _mm_setr_pd(static_cast<double>(xL), static_cast<double>(xR));
            const __m128d whole = _mm_cmpeq_pd(x, _mm_cvtepi32_pd(_mm_cvttpd_epi32(x)));
            if (_mm_movemask_pd(_mm_andnot_pd(whole, truncationFloors(x))) != 3)
                return generalCandidates(xL, xR);
            return floorsOf(x);
        }
    }

    // Lanes of x (a double) whose floors the truncation gives: in the int32 range and not
    // a tiny negative (generously: sixteen units in the last place of extended's 1).
    static __m128d truncationFloors(__m128d x) noexcept {
        const __m128d inRange = _mm_and_pd(_mm_cmpge_pd(x, _mm_set1_pd(-2147483648.0)),
                                           _mm_cmplt_pd(x, _mm_set1_pd(2147483646.0)));
        const __m128d tinyNegative = _mm_and_pd(_mm_cmplt_pd(x, _mm_setzero_pd()),
                                                _mm_cmpgt_pd(x, _mm_set1_pd(-kTinySteps)));
        return _mm_andnot_pd(tinyNegative, inRange);
    }

    // floor(x) and floor(x + 1) for lanes that passed truncationFloors. The x87 format
    // holds x + 1 exactly, so its floor is floor(x) + 1. A double sum can round up across
    // a whole number (x just below one, with bits under the sum's last place), so in the
    // double form the sum's floor is taken as the sum is rounded.
    static __m128i floorsOf(__m128d x) noexcept {
        const __m128i lower = truncatedFloor(x);
        const __m128i upper = kExtendedDigits == 53 ? truncatedFloor(_mm_add_pd(x, _mm_set1_pd(1.0)))
                                                    : _mm_sub_epi32(lower, _mm_set1_epi32(-1));
        return _mm_unpacklo_epi64(lower, upper);
    }

    // floor of both lanes of x in the int32 range, in lanes 0 and 1.
    static __m128i truncatedFloor(__m128d x) noexcept {
        const __m128i truncated = _mm_cvttpd_epi32(x);
        // All ones (-1) in a lane whose x lies below its truncation: a negative fraction.
        const __m128i below = _mm_shuffle_epi32(
            _mm_castpd_si128(_mm_cmplt_pd(x, _mm_cvtepi32_pd(truncated))), 0x08);
        return _mm_add_epi32(truncated, below);
    }

    static __m128i generalCandidates(extended xL, extended xR) noexcept {
        const StepPair left = stepsAround(xL);
        const StepPair right = stepsAround(xR);
        return _mm_setr_epi32(left.lower, right.lower, left.upper, right.upper);
    }

    static __m128i spanLowests() noexcept {
        return _mm_setr_epi32(telescopingSpanLowest(0), telescopingSpanLowest(0),
                              telescopingSpanLowest(1), telescopingSpanLowest(1));
    }
    static __m128 entries(Slot slot) noexcept { return _mm_castpd_ps(_mm_set_sd(slot)); }
    static Slot slotOf(__m128 pair) noexcept { return _mm_cvtsd_f64(_mm_castps_pd(pair)); }

    static constexpr double kTinySteps = 16 * std::numeric_limits<extended>::epsilon();

    // candidates: lower steps in lanes 0 and 1, upper steps in lanes 2 and 3.
    __attribute__((always_inline)) __m128i choose(__m128i candidates) noexcept {
        const __m128 steps = _mm_cvtepi32_ps(candidates);
        const __m128 newestPair = entries(window[0]);
        const __m128 newest = _mm_movelh_ps(newestPair, newestPair);
        const __m128 trendFrames = _mm_set1_ps(static_cast<float>(n));
        __m128 slope;
        const int32 longRuns =
            _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(spanRuns, _mm_set1_epi32(n))));
        if (((longRuns | longRuns >> 2) & 3) == 3) {
            slope = _mm_div_ps(_mm_sub_ps(entries(window[n]), newestPair), trendFrames);
        } else {
            // Term by term, in the order of the definition; lanewise the same floats.
            __m128 sum = _mm_setzero_ps();
            for (int32 k = 0; k < n; ++k)
                sum = _mm_add_ps(sum, _mm_sub_ps(entries(window[k + 1]), entries(window[k])));
            slope = _mm_div_ps(sum, trendFrames);
        }
        slope = _mm_movelh_ps(slope, slope);
        const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
        // |(h[0] - step) - slope| for the lower steps (lanes 0, 1) and the upper (2, 3).
        const __m128 err = _mm_and_ps(_mm_sub_ps(_mm_sub_ps(newest, steps), slope), magnitude);
        const __m128 takeLower = _mm_cmplt_ps(err, _mm_movehl_ps(err, err));
        const __m128 chosenSteps = _mm_or_ps(
            _mm_and_ps(takeLower, steps), _mm_andnot_ps(takeLower, _mm_movehl_ps(steps, steps)));
        const __m128i take = _mm_castps_si128(takeLower);
        const __m128i chosen =
            _mm_or_si128(_mm_and_si128(take, candidates),
                         _mm_andnot_si128(take, _mm_unpackhi_epi64(candidates, candidates)));
        *--window = slotOf(chosenSteps);
        const __m128i both = _mm_unpacklo_epi64(chosen, chosen);
        const __m128i inSpan = _mm_and_si128(
            _mm_cmpgt_epi32(both, _mm_sub_epi32(spanLowests(), _mm_set1_epi32(1))),
            _mm_cmplt_epi32(both, _mm_add_epi32(spanLowests(),
                                                _mm_set1_epi32(2 * kTelescopingLimit + 1))));
        spanRuns = _mm_and_si128(_mm_sub_epi32(spanRuns, _mm_set1_epi32(-1)), inSpan);
        return chosen;
    }

    Slot* window;
    float* historyL;
    float* historyR;
    int32 n;
    extended scale;
    // Lanes: left and right in the lower span, left and right in the upper one; each
    // counts the newest entries of its channel lying within its span.
    __m128i spanRuns;
};

}  // namespace lanes
