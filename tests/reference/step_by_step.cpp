#include "tests/reference/step_by_step.h"

#include <cmath>

namespace stepref {
namespace {

enum Mode : int32 {
    kOut24, kOut16, kPeaks, kSlew, kSubs, kMono, kSide, kVinyl, kAurat, kMonoRat, kMonoLat,
    kPhone, kCansA, kCansB, kCansC, kCansD, kVTrick
};

// ---- block values ------------------------------------------------------------------------

struct BlockValues {
    double rateScale;
    int32 trendLength, mode;
    int32 delayLength[4];  // A to D
    double subsAmount, subsKeep, sideCoefficient;
    extended firstSideKeep, secondSideKeep;
};

// Non-finite and non-positive host rates run as 44.1 kHz, tiny ones as 2 kHz.
float usableRate(float rate) {
    if (!std::isfinite(rate) || rate <= 0.0f) return 44100.0f;
    return rate < 2000.0f ? 2000.0f : rate;
}

// The value times 16.999, truncated; INT32_MIN where that is no int32 (or NaN).
int32 modeOf(float value) {
    const double scaled = static_cast<double>(value) * 16.999;
    return scaled > -2147483649.0 && scaled < 2147483648.0 ? static_cast<int32>(scaled) : INT32_MIN;
}

// rateScale × samples truncated, never past the last position of the lines.
int32 delayLength(double rateScale, double samples) {
    const double length = rateScale * samples;
    return length >= kDelayLineSize - 1.0 ? kDelayLineSize - 1 : static_cast<int32>(length);
}

BlockValues blockValues(float sampleRate, float monitorValue) {
    BlockValues b{};
    b.rateScale = static_cast<double>(usableRate(sampleRate)) * 2.2675736961451248e-05;
    const double trend = b.rateScale * 17.0;
    b.trendLength = !(trend < 99.0) ? 98 : static_cast<int32>(trend) < 3 ? 3 : static_cast<int32>(trend);
    b.mode = modeOf(monitorValue);
    const double samples[4] = {149.0, 179.0, 191.0, 223.0};
    for (int k = 0; k < 4; ++k) b.delayLength[k] = delayLength(b.rateScale, samples[k]);
    b.subsAmount = 0.05102040816326531 / b.rateScale;
    b.subsKeep = 1.0 - b.subsAmount;
    b.sideCoefficient = static_cast<double>(static_cast<long long>(b.mode) * b.mode) * 1e-05 / b.rateScale;
    b.firstSideKeep = 1.0 - static_cast<extended>(0.618) * b.sideCoefficient;
    b.secondSideKeep = 1.0 - static_cast<extended>(b.sideCoefficient);
    return b;
}

void updateBandPass(BandPass& bp, double rateScale, int32 mode) {
    const double centre = mode == kVinyl ? 0.0385 : mode == kPhone ? 0.1245 : 0.0375;
    const double resonance = mode == kVinyl ? 0.0825 : mode == kPhone ? 0.46 : 0.1575;
    const double frequency = centre / rateScale;
    bp.frequency = frequency > 0.49 ? 0.49 : frequency;
    bp.resonance = resonance;
    const double K = std::tan(static_cast<double>(static_cast<extended>(3.141592653589793) * bp.frequency));
    const double KK = K * K;
    const extended KQ = K / bp.resonance;
    const double norm = static_cast<double>(1.0 / ((KQ + 1.0) + KK));
    bp.a0 = KQ * norm;
    bp.a2 = -bp.a0;
    bp.b1 = 2.0 * (KK - 1.0) * norm;
    bp.b2 = norm * (KK + (1.0 - KQ));
}

// ---- shared shapers ----------------------------------------------------------------------

extended unitLimit(extended x) { return x > 1.0 ? 1.0 : x < -1.0 ? -1.0 : x; }
extended sineOf(extended x) { return libraryResult(std::sin(static_cast<double>(x))); }
extended arcsineOf(extended x) { return libraryResult(std::asin(static_cast<double>(x))); }

// A one-pole state past the double range is held at the largest double.
double storedState(extended x) {
    constexpr double kLargest = 1.7976931348623157e308;
    return x > kLargest ? kLargest : x < -kLargest ? -kLargest : static_cast<double>(x);
}

int32 nextPosition(int32 position, int32 length) {
    const int32 next = position - 1;
    return (next < 0 || next > length) ? length : next;
}

// ---- Peaks and Slew ------------------------------------------------------------------------

// Allpass, coefficient 0.5: store x - 0.5·d, pass on d + 0.5·(x - 0.5·d).
extended diffuser(double* line, int32 i, int32 p, extended x) {
    const extended y = x + line[p] * -0.5;
    line[i] = static_cast<double>(y);
    return line[p] + y * 0.5;
}

void peaksStep(State& s, const BlockValues& b, extended& l, extended& r) {
    double* lines[4][2] = {{s.delayAL, s.delayAR}, {s.delayBL, s.delayBR}, {s.delayCL, s.delayCR}, {s.delayDL, s.delayDR}};
    int32* positions[4] = {&s.delayIndexA, &s.delayIndexB, &s.delayIndexC, &s.delayIndexD};
    for (int k = 0; k < 4; ++k) {
        l = arcsineOf(unitLimit(l));
        r = arcsineOf(unitLimit(r));
        const int32 i = *positions[k];
        *positions[k] = nextPosition(i, b.delayLength[k]);
        l = diffuser(lines[k][0], i, *positions[k], l);
        r = diffuser(lines[k][1], i, *positions[k], r);
    }
    l = arcsineOf(unitLimit(l)) * 0.63679;
    r = arcsineOf(unitLimit(r)) * 0.63679;
}

extended slew(double& previous, extended x) {
    const extended d = (x - previous) * 2.302585092994046;
    previous = static_cast<double>(x);
    return unitLimit(d);
}

// ---- Subs ------------------------------------------------------------------------------------

constexpr double kStageGain[kSubsStages - 1] = {
    1.315,              1.23625,            1.1771875,          1.132890625,        1.09966796875,
    1.0747509765625,    1.056063232421875,  1.0420474243164062, 1.0315355682373046, 1.0236516761779786,
    1.017738757133484,  1.0133040678501128, 1.0099780508875846, 1.0074835381656886, 1.0056126536242664,
    1.0042094902181997, 1.0031571176636498, 1.0023678382477375, 1.001775878685803,  1.0013319090143522,
    1.0009989317607642, 1.0007491988205732, 1.00056189911543,   1.0004214243365723, 1.0003160682524292,
};

extended subs(double* onePole, extended x, const BlockValues& b) {
    x = x * 1.42;
    for (int32 j = 0; j < kSubsStages; ++j) {
        onePole[j] = storedState(onePole[j] * b.subsKeep + b.subsAmount * x);
        x = unitLimit(j < kSubsStages - 1 ? onePole[j] * static_cast<extended>(kStageGain[j])
                                          : static_cast<extended>(onePole[j]));
    }
    return x;
}

// ---- band-pass -------------------------------------------------------------------------------

extended bandPass(extended x, extended& state1, extended& state2, const BandPass& bp) {
    const extended y = x * bp.a0 + state1;
    state1 = (-y) * bp.b1 + state2;
    state2 = x * bp.a2 - y * bp.b2;
    return arcsineOf(unitLimit(y));
}

void bandPassStep(BandPass& bp, int32 mode, extended& l, extended& r) {
    if (mode == kMonoRat || mode == kMonoLat || mode == kPhone) {
        const extended m = (l + r) * 0.5;
        l = mode == kMonoRat ? 0.0 : m;
        r = mode == kMonoLat ? 0.0 : m;
    }
    l = bandPass(sineOf(l), bp.state1L, bp.state2L, bp);
    r = bandPass(sineOf(r), bp.state1R, bp.state2R, bp);
}

// ---- cross-feed ------------------------------------------------------------------------------

// Stores and advances as a diffuser does, passing on half of what it stored plus half of
// the entries at and after the new position.
void crossFeedStage(double* XL, double* XR, int32& pos, int32 n, extended& inL, extended& inR) {
    const int32 i = pos;
    const int32 p = nextPosition(i, n);
    const extended tL = inL + (-0.5 * XL[p]);
    XL[i] = static_cast<double>(tL);
    const extended tR = inR + (-0.5 * XR[p]);
    XR[i] = static_cast<double>(tR);
    pos = p;
    const int32 after = p == n ? 0 : p + 1;
    inL = (tL * 0.5 + 0.5 * XL[p]) + 0.5 * XL[after];
    inR = (tR * 0.5 + 0.5 * XR[p]) + 0.5 * XR[after];
}

void crossFeedStep(State& s, const BlockValues& b, extended& l, extended& r) {
    const double inputGain[4] = {0.855, 0.748, 0.713, 0.68}, crossGain[4] = {0.125, 0.25, 0.3, 0.35};
    const int k = b.mode - kCansA;
    const extended sL = sineOf(l * inputGain[k]);
    const extended sR = sineOf(r * inputGain[k]);
    extended side = sL - sR;
    s.onePoleL[0] = storedState(s.onePoleL[0] * b.firstSideKeep + (side * b.sideCoefficient) * 0.618);
    side = side - s.onePoleL[0];
    extended yL = (sL + sR + side) * 0.5, yR = (sL + sR - side) * 0.5;
    crossFeedStage(s.delayAL, s.delayAR, s.delayIndexA, b.delayLength[0], yL, yR);
    yL = yL * crossGain[k];
    yR = yR * crossGain[k];
    extended zL = yL, zR = yR;
    crossFeedStage(s.delayDL, s.delayDR, s.delayIndexD, b.delayLength[3], zL, zR);
    const extended newL = (yR + sL) + zR * 0.25;
    const extended newR = (yL + sR) + zL * 0.25;
    extended side2 = newL - newR;
    s.onePoleR[0] = storedState(s.onePoleR[0] * b.secondSideKeep + side2 * b.sideCoefficient);
    side2 = side2 - s.onePoleR[0];
    l = arcsineOf(unitLimit((newL + newR + side2) * 0.5));
    r = arcsineOf(unitLimit((newL + newR - side2) * 0.5));
}

// ---- frame -------------------------------------------------------------------------------------

std::uint32_t advanceNoise(std::uint32_t x) {
    x = x ^ (x << 13);
    x = x ^ (x >> 17);
    return x ^ (x << 5);
}

// Near-silent and non-finite samples become the noise word times the threshold.
extended guard(extended sample, std::uint32_t noise, double threshold) {
    if (std::fabs(sample) < threshold || !std::isfinite(sample)) return static_cast<double>(noise) * threshold;
    return sample;
}

int32 saturate(double whole) {
    if (std::isnan(whole)) return 0;
    return whole >= 2147483648.0 ? INT32_MAX : whole < -2147483648.0 ? INT32_MIN : static_cast<int32>(whole);
}

// Of floor(x) and floor(x + 1), the step closer to the trend of the last n outputs.
int32 quantize(extended x, float* h, int32 n) {
    const int32 lower = saturate(static_cast<double>(std::floor(x)));
    const int32 upper = saturate(static_cast<double>(std::floor(x + 1.0)));
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
    const FloatingPointScope rules;  // as the effect runs, whatever the caller's state
    const BlockValues b = blockValues(sampleRate, monitorValue);
    updateBandPass(state.bandPass, b.rateScale, b.mode);
    if (frames <= 0 || !outputs || !outputs[0] || !outputs[1]) return;
    if (!inputs || !inputs[0] || !inputs[1]) {
        for (int32 i = 0; i < frames; ++i) outputs[0][i] = outputs[1][i] = Sample(0);
        return;
    }
    for (int32 i = 0; i < frames; ++i) {
        extended l = guard(inputs[0][i], state.noiseStateL, nearSilence);
        state.noiseStateL = advanceNoise(state.noiseStateL);
        extended r = guard(inputs[1][i], state.noiseStateR, nearSilence);
        state.noiseStateR = advanceNoise(state.noiseStateR);
        switch (b.mode) {
            case kPeaks: peaksStep(state, b, l, r); break;
            case kSlew: l = slew(state.slewPrevL, l), r = slew(state.slewPrevR, r); break;
            case kSubs: l = subs(state.onePoleL, l, b), r = subs(state.onePoleR, r, b); break;
            case kMono: l = r = (l + r) * 0.5; break;
            case kSide: l = (l - r) * 0.5, r = -l; break;
            case kVinyl: case kAurat: case kMonoRat: case kMonoLat: case kPhone:
                bandPassStep(state.bandPass, b.mode, l, r);
                break;
            case kCansA: case kCansB: case kCansC: case kCansD: crossFeedStep(state, b, l, r); break;
            case kVTrick: r = (l + r) * 0.5, l = -r; break;
            default: break;  // "Out24", "Out16" and numbers outside the modes
        }
        const extended scale = b.mode == kOut16 ? 32768.0 : 8388608.0;
        const int32 chosenL = quantize(l * scale, state.outHistoryL, b.trendLength);
        const int32 chosenR = quantize(r * scale, state.outHistoryR, b.trendLength);
        outputs[0][i] = static_cast<Sample>(static_cast<double>(chosenL * (1.0 / scale)));
        outputs[1][i] = static_cast<Sample>(static_cast<double>(chosenR * (1.0 / scale)));
    }
}

void Processor::processReplacing(float** inputs, float** outputs, int32 frames, float sampleRate,
                                 float monitorValue) noexcept {
    processBlock(inputs, outputs, frames, sampleRate, monitorValue, 1.18e-37);
}

void Processor::processDoubleReplacing(double** inputs, double** outputs, int32 frames,
                                       float sampleRate, float monitorValue) noexcept {
    processBlock(inputs, outputs, frames, sampleRate, monitorValue, 1.18e-43);
}

}  // namespace stepref
