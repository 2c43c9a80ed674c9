#include "tests/reference/step_by_step.h"

#include <cmath>

namespace stepref {
namespace {

// ---- modes and block values ------------------------------------------------------------

enum Mode : int32 {
    kOut24 = 0, kOut16, kPeaks, kSlew, kSubs, kMono, kSide, kVinyl, kAurat, kMonoRat,
    kMonoLat, kPhone, kCansA, kCansB, kCansC, kCansD, kVTrick
};
constexpr int32 kUnrepresentableMode = INT32_MIN;

constexpr double kRateScalePerHz = 2.2675736961451248e-05;
constexpr float kReferenceRate = 44100.0f;
constexpr float kLowestRate = 2000.0f;
constexpr int32 kLastDelayPosition = kDelayLineSize - 1;
constexpr int32 kShortestTrend = 3;
constexpr int32 kLongestTrend = 98;

struct BlockValues {
    double rateScale;
    int32 trendLength;
    int32 mode;
    int32 delayLengthA, delayLengthB, delayLengthC, delayLengthD;
    double subsAmount;
    double subsKeep;
    double sideCoefficient;
    long double firstSideKeep;
    long double secondSideKeep;
};

inline float usableRate(float rate) {
    if (!std::isfinite(rate) || rate <= 0.0f) return kReferenceRate;
    return rate < kLowestRate ? kLowestRate : rate;
}

inline int32 modeOf(float value) {
    const double scaled = static_cast<double>(value) * 16.999;
    if (!(scaled > -2147483649.0 && scaled < 2147483648.0)) return kUnrepresentableMode;
    return static_cast<int32>(scaled);
}

inline int32 delayLength(double rateScale, double samples) {
    const double length = rateScale * samples;
    return length >= static_cast<double>(kLastDelayPosition) ? kLastDelayPosition
                                                             : static_cast<int32>(length);
}

inline BlockValues blockValues(float sampleRate, float monitorValue) {
    BlockValues b{};
    b.rateScale = static_cast<double>(usableRate(sampleRate)) * kRateScalePerHz;
    const double trend = b.rateScale * 17.0;
    if (!(trend < kLongestTrend + 1.0)) {
        b.trendLength = kLongestTrend;
    } else {
        b.trendLength = static_cast<int32>(trend);
        if (b.trendLength < kShortestTrend) b.trendLength = kShortestTrend;
    }
    b.mode = modeOf(monitorValue);
    b.delayLengthA = delayLength(b.rateScale, 149.0);
    b.delayLengthB = delayLength(b.rateScale, 179.0);
    b.delayLengthC = delayLength(b.rateScale, 191.0);
    b.delayLengthD = delayLength(b.rateScale, 223.0);
    b.subsAmount = 0.05102040816326531 / b.rateScale;
    b.subsKeep = 1.0 - b.subsAmount;
    const long long square = static_cast<long long>(b.mode) * b.mode;
    b.sideCoefficient = static_cast<double>(square) * 1e-05 / b.rateScale;
    b.firstSideKeep = 1.0L - static_cast<long double>(0.618) * b.sideCoefficient;
    b.secondSideKeep = 1.0L - static_cast<long double>(b.sideCoefficient);
    return b;
}

inline void updateBandPass(BandPass& bp, double rateScale, int32 mode) {
    double centre = 0.0375, resonance = 0.1575;
    if (mode == kVinyl) {
        centre = 0.0385;
        resonance = 0.0825;
    } else if (mode == kPhone) {
        centre = 0.1245;
        resonance = 0.46;
    }
    double frequency = centre / rateScale;
    if (frequency > 0.49) frequency = 0.49;
    bp.frequency = frequency;
    bp.resonance = resonance;
    const double K = std::tan(static_cast<double>(static_cast<long double>(3.141592653589793) *
                                                  bp.frequency));
    const double KK = K * K;
    const long double KQ = K / bp.resonance;
    const double norm = static_cast<double>(1.0L / ((KQ + 1.0L) + KK));
    bp.a0 = KQ * norm;
    bp.a2 = -bp.a0;
    bp.b1 = 2.0 * (KK - 1.0) * norm;
    bp.b2 = norm * (KK + (1.0L - KQ));
}

// ---- shared shapers ---------------------------------------------------------------------

inline long double unitLimit(long double x) {
    if (x > 1.0L) return 1.0L;
    if (x < -1.0L) return -1.0L;
    return x;
}
inline long double sineOf(long double x) { return std::sin(static_cast<double>(x)); }
inline long double arcsineOf(long double x) { return std::asin(static_cast<double>(x)); }

// A one-pole state past the double range is held at the largest double.
inline double storedState(long double x) {
    constexpr double kLargest = 1.7976931348623157e308;
    if (x > kLargest) return kLargest;
    if (x < -kLargest) return -kLargest;
    return static_cast<double>(x);
}

// ---- Peaks and Slew ----------------------------------------------------------------------

inline int32 nextPosition(int32 position, int32 length) {
    const int32 next = position - 1;
    return (next < 0 || next > length) ? length : next;
}

inline void diffuser(double* lineL, double* lineR, int32& pos, int32 len, long double& xL,
              long double& xR) {
    const int32 i = pos;
    const int32 p = nextPosition(i, len);
    const long double yL = xL + lineL[p] * -0.5;
    lineL[i] = static_cast<double>(yL);
    const long double yR = xR + lineR[p] * -0.5;
    pos = i - 1;
    lineR[i] = static_cast<double>(yR);
    if (pos < 0 || pos > len) pos = len;
    const int32 q = pos;
    xL = lineL[q] + yL * 0.5L;
    xR = lineR[q] + yR * 0.5L;
}

inline void shape(long double& l, long double& r) {
    l = arcsineOf(unitLimit(l));
    r = arcsineOf(unitLimit(r));
}

inline void peaksStep(State& s, const BlockValues& b, long double& l, long double& r) {
    shape(l, r);
    diffuser(s.delayAL, s.delayAR, s.delayIndexA, b.delayLengthA, l, r);
    shape(l, r);
    diffuser(s.delayBL, s.delayBR, s.delayIndexB, b.delayLengthB, l, r);
    shape(l, r);
    diffuser(s.delayCL, s.delayCR, s.delayIndexC, b.delayLengthC, l, r);
    shape(l, r);
    diffuser(s.delayDL, s.delayDR, s.delayIndexD, b.delayLengthD, l, r);
    shape(l, r);
    l *= 0.63679;
    r *= 0.63679;
}

inline void slewStep(State& s, long double& l, long double& r) {
    const long double dL = (l - s.slewPrevL) * 2.302585092994046;
    s.slewPrevL = static_cast<double>(l);
    l = unitLimit(dL);
    const long double dR = (r - s.slewPrevR) * 2.302585092994046;
    s.slewPrevR = static_cast<double>(r);
    r = unitLimit(dR);
}

// ---- Subs ---------------------------------------------------------------------------------

constexpr double kStageGain[kSubsStages - 1] = {
    1.315,              1.23625,            1.1771875,          1.132890625,
    1.09966796875,      1.0747509765625,    1.056063232421875,  1.0420474243164062,
    1.0315355682373046, 1.0236516761779786, 1.017738757133484,  1.0133040678501128,
    1.0099780508875846, 1.0074835381656886, 1.0056126536242664, 1.0042094902181997,
    1.0031571176636498, 1.0023678382477375, 1.001775878685803,  1.0013319090143522,
    1.0009989317607642, 1.0007491988205732, 1.00056189911543,   1.0004214243365723,
    1.0003160682524292,
};

inline long double subsChannel(double* onePole, long double x, const BlockValues& b) {
    for (int32 j = 0; j < kSubsStages; ++j) {
        onePole[j] = storedState(onePole[j] * b.subsKeep + b.subsAmount * x);
        x = j < kSubsStages - 1 ? onePole[j] * static_cast<long double>(kStageGain[j])
                                : static_cast<long double>(onePole[j]);
        x = unitLimit(x);
    }
    return x;
}

// The two channels do not interact, so each runs its whole chain in turn.
inline void subsStep(State& s, const BlockValues& b, long double& l, long double& r) {
    l = subsChannel(s.onePoleL, l * 1.42, b);
    r = subsChannel(s.onePoleR, r * 1.42, b);
}

// ---- Mono, Side, V Trick -------------------------------------------------------------------

inline void monoSideStep(int32 mode, long double& l, long double& r) {
    long double mid, side;
    if (mode == kMono) {
        mid = l + r;
        side = 0;
    } else {
        side = l - r;
        mid = 0;
    }
    l = (mid + side) * 0.5L;
    r = (mid - side) * 0.5L;
}

inline void vTrickStep(long double& l, long double& r) {
    const long double s = (l + r) * 0.5L;
    l = -s;
    r = s;
}

// ---- band-pass ------------------------------------------------------------------------------

inline long double bandPassFilter(long double x, long double& state1, long double& state2,
                           const BandPass& bp) {
    const long double y = x * bp.a0 + state1;
    state1 = (-y) * bp.b1 + state2;
    state2 = x * bp.a2 - y * bp.b2;
    return y;
}

inline void bandPassStep(BandPass& bp, int32 mode, long double& l, long double& r) {
    if (mode == kMonoRat || mode == kMonoLat || mode == kPhone) {
        const long double m = (l + r) * 0.5L;
        l = mode == kMonoRat ? 0.0L : m;
        r = mode == kMonoLat ? 0.0L : m;
    }
    const long double xL = sineOf(l);
    const long double xR = sineOf(r);
    const long double yL = bandPassFilter(xL, bp.state1L, bp.state2L, bp);
    const long double yR = bandPassFilter(xR, bp.state1R, bp.state2R, bp);
    l = arcsineOf(unitLimit(yL));
    r = arcsineOf(unitLimit(yR));
}

// ---- cross-feed --------------------------------------------------------------------------------

inline void crossFeedStage(double* XL, double* XR, int32& pos, int32 n, long double& inL,
                    long double& inR) {
    int32 i = pos;
    int32 p = i - 1;
    if (p < 0 || p > n) p = n;
    const long double tL = inL + (-0.5 * XL[p]);
    XL[i] = static_cast<double>(tL);
    long double outL = tL * 0.5L;
    const long double tR = inR + (-0.5 * XR[p]);
    XR[i] = static_cast<double>(tR);
    long double outR = tR * 0.5L;
    i = i - 1;
    if (i < 0 || i > n) i = n;
    pos = i;
    outL = outL + 0.5 * XL[i];
    outR = outR + 0.5 * XR[i];
    if (i == n) {
        outL = outL + 0.5 * XL[0];
        outR = outR + 0.5 * XR[0];
    } else {
        outL = outL + 0.5 * XL[i + 1];
        outR = outR + 0.5 * XR[i + 1];
    }
    inL = outL;
    inR = outR;
}

inline void crossFeedStep(State& s, const BlockValues& b, long double& l, long double& r) {
    double inputGain = 0, crossGain = 0;
    switch (b.mode) {
        case kCansA: inputGain = 0.855; crossGain = 0.125; break;
        case kCansB: inputGain = 0.748; crossGain = 0.25; break;
        case kCansC: inputGain = 0.713; crossGain = 0.3; break;
        default: inputGain = 0.68; crossGain = 0.35; break;
    }
    l = l * inputGain;
    r = r * inputGain;
    const long double sL = sineOf(l);
    const long double sR = sineOf(r);
    const long double mid = sL + sR;
    long double side = sL - sR;
    const long double v1 =
        s.onePoleL[0] * b.firstSideKeep + (side * b.sideCoefficient) * 0.618;
    s.onePoleL[0] = storedState(v1);
    side = side - s.onePoleL[0];
    const long double L1 = (mid + side) * 0.5L;
    const long double R1 = (mid - side) * 0.5L;
    long double yL = L1, yR = R1;
    crossFeedStage(s.delayAL, s.delayAR, s.delayIndexA, b.delayLengthA, yL, yR);
    yL = yL * crossGain;
    yR = yR * crossGain;
    long double zL = yL, zR = yR;
    crossFeedStage(s.delayDL, s.delayDR, s.delayIndexD, b.delayLengthD, zL, zR);
    const long double newL = (yR + sL) + zR * 0.25L;
    const long double newR = (yL + sR) + zL * 0.25L;
    const long double mid2 = newL + newR;
    long double side2 = newL - newR;
    const long double v2 = s.onePoleR[0] * b.secondSideKeep + side2 * b.sideCoefficient;
    s.onePoleR[0] = storedState(v2);
    side2 = side2 - s.onePoleR[0];
    const long double outL = (mid2 + side2) * 0.5L;
    const long double outR = (mid2 - side2) * 0.5L;
    l = arcsineOf(unitLimit(outL));
    r = arcsineOf(unitLimit(outR));
}

// ---- frame ----------------------------------------------------------------------------------------

inline std::uint32_t advanceNoise(std::uint32_t x) {
    x = x ^ (x << 13);
    x = x ^ (x >> 17);
    x = x ^ (x << 5);
    return x;
}

inline long double guard(long double sample, std::uint32_t noise, double threshold) {
    if (std::fabs(sample) < threshold || !std::isfinite(sample))
        return static_cast<double>(noise) * threshold;
    return sample;
}

inline int32 saturate(double whole) {
    if (std::isnan(whole)) return 0;
    if (whole >= 2147483648.0) return INT32_MAX;
    if (whole < -2147483648.0) return INT32_MIN;
    return static_cast<int32>(whole);
}

inline int32 quantize(long double x, float* h, int32 n) {
    const int32 lower = saturate(static_cast<double>(std::floor(x)));
    const int32 upper = saturate(static_cast<double>(std::floor(x + 1.0L)));
    float sum = 0.0f;
    for (int32 k = 0; k < n; ++k) sum = sum + (h[k + 1] - h[k]);
    const float slope = sum / static_cast<float>(n);
    const float errLower = std::fabs((h[0] - static_cast<float>(lower)) - slope);
    const float errUpper = std::fabs((h[0] - static_cast<float>(upper)) - slope);
    const int32 chosen = errLower < errUpper ? lower : upper;
    for (int32 k = n; k >= 0; --k) h[k + 1] = h[k];
    h[0] = static_cast<float>(chosen);
    return chosen;
}

}  // namespace

template <typename Sample>
void Processor::processBlock(Sample** inputs, Sample** outputs, int32 frames, float sampleRate,
                             float monitorValue, double nearSilence) noexcept {
    const BlockValues b = blockValues(sampleRate, monitorValue);
    updateBandPass(state.bandPass, b.rateScale, b.mode);
    if (frames <= 0 || !outputs || !outputs[0] || !outputs[1]) return;
    if (!inputs || !inputs[0] || !inputs[1]) {
        for (int32 i = 0; i < frames; ++i) outputs[0][i] = outputs[1][i] = Sample(0);
        return;
    }
    for (int32 i = 0; i < frames; ++i) {
        long double sampleL = inputs[0][i];
        long double sampleR = inputs[1][i];
        sampleL = guard(sampleL, state.noiseStateL, nearSilence);
        state.noiseStateL = advanceNoise(state.noiseStateL);
        sampleR = guard(sampleR, state.noiseStateR, nearSilence);
        state.noiseStateR = advanceNoise(state.noiseStateR);

        switch (b.mode) {
            case kPeaks: peaksStep(state, b, sampleL, sampleR); break;
            case kSlew: slewStep(state, sampleL, sampleR); break;
            case kSubs: subsStep(state, b, sampleL, sampleR); break;
            case kMono:
            case kSide: monoSideStep(b.mode, sampleL, sampleR); break;
            case kVinyl:
            case kAurat:
            case kMonoRat:
            case kMonoLat:
            case kPhone: bandPassStep(state.bandPass, b.mode, sampleL, sampleR); break;
            case kCansA:
            case kCansB:
            case kCansC:
            case kCansD: crossFeedStep(state, b, sampleL, sampleR); break;
            case kVTrick: vTrickStep(sampleL, sampleR); break;
            default: break;
        }

        const long double scale = b.mode == kOut16 ? 32768.0L : 8388608.0L;
        const long double step = 1.0L / scale;
        const int32 chosenL = quantize(sampleL * scale, state.outHistoryL, b.trendLength);
        const int32 chosenR = quantize(sampleR * scale, state.outHistoryR, b.trendLength);
        const double outL = static_cast<double>(chosenL * step);
        const double outR = static_cast<double>(chosenR * step);
        outputs[0][i] = static_cast<Sample>(outL);
        outputs[1][i] = static_cast<Sample>(outR);
    }
}

void Processor::processReplacing(float** inputs, float** outputs, int32 frames,
                                 float sampleRate, float monitorValue) noexcept {
    processBlock(inputs, outputs, frames, sampleRate, monitorValue, 1.18e-37);
}

void Processor::processDoubleReplacing(double** inputs, double** outputs, int32 frames,
                                       float sampleRate, float monitorValue) noexcept {
    processBlock(inputs, outputs, frames, sampleRate, monitorValue, 1.18e-43);
}

}  // namespace stepref
