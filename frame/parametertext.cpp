// Number-to-text helpers for parameter displays. A plain number becomes exactly eight
// characters; fraction digits are truncated, never rounded. Every text is cut to
// maxLen characters and terminated; nothing is written past text[maxLen].
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

#include "frame/audioeffect.h"

namespace {
constexpr const char* kHuge = "Huge!";

// Each helper writes nothing without a buffer to write to.
bool writable(const char* text, int32 maxLen) { return text && maxLen >= 0; }

void writeText(char* text, int32 maxLen, const char* s, std::size_t length) {
    const std::size_t n = length < static_cast<std::size_t>(maxLen) ? length
                                                                    : static_cast<std::size_t>(maxLen);
    std::memcpy(text, s, n);
    text[n] = '\0';
}

void writeText(char* text, int32 maxLen, const char* s) {
    writeText(text, maxLen, s, std::strlen(s));
}

// The digit character of a remainder by 10; a remainder that is not one (NaN) reads 0.
char digitOf(double remainder) {
    if (!(remainder >= 0.0 && remainder < 10.0)) return '0';
    return static_cast<char>('0' + static_cast<int>(remainder));
}

// Narrowing that saturates to infinity instead of leaving an out-of-range value undefined.
float toFloat(double x) {
    if (x > FLT_MAX) return std::numeric_limits<float>::infinity();
    if (x < -FLT_MAX) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(x);
}
}  // namespace

void AudioEffect::float2string(float value, char* text, int32 maxLen) noexcept {
    if (!writable(text, maxLen)) return;
    const double v = value;
    const bool negative = v < 0.0;
    const double a = negative ? -v : v;
    // Negative zero and NaN take the positive path.
    if (a > (negative ? 9999999.0 : 99999999.0)) {
        writeText(text, maxLen, kHuge);
        return;
    }

    // c counts the characters used so far: sign, point and the first digit.
    int32 c = negative ? 3 : 2;
    char integer[8];  // least significant first
    int n = 0;
    const double whole = std::floor(a);
    integer[n++] = digitOf(std::fmod(whole, 10.0));
    double q = whole / 10.0;
    while (q >= 1.0 && c <= 7) {
        integer[n++] = digitOf(std::fmod(q, 10.0));
        q /= 10.0;
        ++c;
    }
    // An integer part too long for the point to fit keeps all its digits and drops the
    // point, rather than losing its leading digits (at most 8 of them below the limits).
    const bool noPoint = q >= 1.0;
    while (q >= 1.0 && n < 8) {
        integer[n++] = digitOf(std::fmod(q, 10.0));
        q /= 10.0;
    }

    char out[16];
    int length = 0;
    if (negative) out[length++] = '-';
    while (n > 0) out[length++] = integer[--n];
    if (noPoint) {
        writeText(text, maxLen, out, static_cast<std::size_t>(length));
        return;
    }
    out[length++] = '.';

    const int32 fractionDigits = 8 - c;
    double m = std::fmod(a, 1.0) * std::pow(10.0, fractionDigits);
    for (int32 k = fractionDigits - 1; k >= 0; --k) {
        if (m <= 0.0) {
            out[length + k] = '0';
        } else {
            out[length + k] = digitOf(std::fmod(m, 10.0));
            m /= 10.0;
        }
    }
    length += fractionDigits;
    writeText(text, maxLen, out, static_cast<std::size_t>(length));
}

void AudioEffect::int2string(int32 value, char* text, int32 maxLen) noexcept {
    if (!writable(text, maxLen)) return;
    // Below -999999999 the leading quotient would not be one digit, and the most
    // negative int32 has no magnitude at all.
    if (value > 99999999 || value < -999999999) {
        writeText(text, maxLen, kHuge);
        return;
    }
    char out[16];
    int length = 0;
    if (value < 0) {
        out[length++] = '-';
        value = -value;
    }
    bool started = false;
    for (int32 divisor = 100000000; divisor > 0; divisor /= 10) {
        const int32 digit = value / divisor;
        value %= divisor;
        if (started || digit > 0) {
            out[length++] = static_cast<char>('0' + digit);
            started = true;
        }
    }
    if (!started) out[length++] = '0';
    writeText(text, maxLen, out, static_cast<std::size_t>(length));
}

void AudioEffect::dB2string(float value, char* text, int32 maxLen) noexcept {
    if (!writable(text, maxLen)) return;
    if (value <= 0.0f) {
        writeText(text, maxLen, "-oo");
        return;
    }
    float2string(static_cast<float>(20.0 * std::log10(static_cast<double>(value))), text, maxLen);
}

void AudioEffect::Hz2string(float samples, char* text, int32 maxLen) noexcept {
    if (!writable(text, maxLen)) return;
    const float rate = getSampleRate();
    float2string(samples == 0.0f ? 0.0f : rate / samples, text, maxLen);
}

// No special case for a zero rate: infinity gives "Huge!", zero by zero 0.000000.
void AudioEffect::ms2string(float samples, char* text, int32 maxLen) noexcept {
    if (!writable(text, maxLen)) return;
    const float rate = getSampleRate();
    float2string(toFloat(static_cast<double>(samples) * 1000.0 / static_cast<double>(rate)), text,
                 maxLen);
}
