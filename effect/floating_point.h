// The floating-point layer of the processing: the extended precision its mode arithmetic
// runs in, and the floating-point state it relies on.
#pragma once

#include <cfloat>
#include <cstdint>
#include <cstring>
#include <limits>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

// The extended type: the x87 80-bit format where the compiler offers it, double everywhere
// else (64-bit ARM would otherwise get quad precision in software, far too slow, and some
// compilers make long double a double anyway). VELLICOR_EXTENDED_DOUBLE builds the double
// form on x86 too.
#if LDBL_MANT_DIG == 64 && !defined(VELLICOR_EXTENDED_DOUBLE)
using extended = long double;
#else
using extended = double;
#endif

constexpr int kExtendedDigits = std::numeric_limits<extended>::digits;
static_assert(kExtendedDigits == 64 || kExtendedDigits == 53, "x87 extended or double");

// The bytes that carry an extended value; the x87 format pads its ten to 12 or 16.
constexpr std::size_t kExtendedBytes = kExtendedDigits == 64 ? 10 : sizeof(extended);

// The same bits, padding aside: equal values may still differ in the sign of a zero.
inline bool sameExtendedBits(extended a, extended b) noexcept {
    return std::memcmp(&a, &b, kExtendedBytes) == 0;
}

// A double that a library function returned. On 32-bit x86 the C library hands its results
// back in x87 registers, where they may carry more than a double's precision until stored;
// the store rounds them to the double the rules take. Elsewhere the value already is one.
inline double libraryResult(double x) noexcept {
#if defined(__i386__)
    volatile double stored = x;
    return stored;
#else
    return x;
#endif
}

// A thread's floating-point control state: the x87 control word and the SSE control and
// status register on x86, the FPCR on 64-bit ARM; fields a machine lacks stay zero.
struct FloatingPointState {
    std::uint16_t x87 = 0;
    std::uint32_t mxcsr = 0;
    std::uint64_t fpcr = 0;
    bool operator==(const FloatingPointState& o) const noexcept {
        return x87 == o.x87 && mxcsr == o.mxcsr && fpcr == o.fpcr;
    }
};

inline FloatingPointState currentFloatingPointState() noexcept {
    FloatingPointState state;
#if defined(__i386__) || defined(__x86_64__)
    __asm__ volatile("fnstcw %0" : "=m"(state.x87));
#endif
#if defined(__SSE__)
    state.mxcsr = _mm_getcsr();
#endif
#if defined(__aarch64__)
    __asm__ volatile("mrs %0, fpcr" : "=r"(state.fpcr));
#endif
    return state;
}

inline void setFloatingPointState(const FloatingPointState& state) noexcept {
#if defined(__i386__) || defined(__x86_64__)
    __asm__ volatile("fldcw %0" : : "m"(state.x87));
#endif
#if defined(__SSE__)
    _mm_setcsr(state.mxcsr);
#endif
#if defined(__aarch64__)
    __asm__ volatile("msr fpcr, %0" : : "r"(state.fpcr));
#endif
    (void)state;
}

// The state the processing relies on: rounding to nearest, no flushing of denormals to
// zero, exceptions masked, and on the x87 its full 64-bit precision, which the extended
// arithmetic needs (x87 0x037F, MXCSR 0x1F80, FPCR 0).
constexpr FloatingPointState kProcessingState{0x037F, 0x1F80, 0};

// Hosts leave their threads in other states (Windows threads start with the x87 at 53
// bits), so the processing sets its own for the length of a call and hands the caller's
// back on the way out, status flags included. No system call: a few register moves.
class FloatingPointScope {
public:
    FloatingPointScope() noexcept : callers(currentFloatingPointState()) {
        setFloatingPointState(kProcessingState);
    }
    ~FloatingPointScope() { setFloatingPointState(callers); }
    FloatingPointScope(const FloatingPointScope&) = delete;
    FloatingPointScope& operator=(const FloatingPointScope&) = delete;

private:
    FloatingPointState callers;
};
