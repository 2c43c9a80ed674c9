#include "tools/programme.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vrender {

namespace {

constexpr double kPi = 3.14159265358979323846;

// A fixed xorshift generator, so the programme is identical on every machine.
class Noise {
public:
    explicit Noise(std::uint32_t seed) : state_(seed) {}
    double next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_ / 2147483648.0 - 1.0;
    }

private:
    std::uint32_t state_;
};

// One-pole low-pass, enough to shape noise.
struct OnePole {
    double keep;
    double state = 0;
    OnePole(double corner, int rate) : keep(std::exp(-2 * kPi * corner / rate)) {}
    double operator()(double x) { return state = x + keep * (state - x); }
};

// Raised-cosine fades over the first and last few milliseconds of a section, so sections
// start and end without clicks of their own.
double fade(std::int64_t i, std::int64_t length, int rate) {
    const double ramp = 0.01 * rate;
    double edge = std::min<double>(i, length - 1 - i);
    return edge >= ramp ? 1.0 : 0.5 - 0.5 * std::cos(kPi * edge / ramp);
}

double dbfs(double db) { return std::pow(10.0, db / 20.0); }

}  // namespace

std::int64_t MemorySource::read(float* buffer, std::int64_t count) {
    std::int64_t n = std::min(count, frames() - position_);
    std::memcpy(buffer, samples_.data() + 2 * position_, sizeof(float) * 2 * n);
    position_ += n;
    return n;
}

std::int64_t MemorySource::read(double* buffer, std::int64_t count) {
    std::int64_t n = std::min(count, frames() - position_);
    for (std::int64_t i = 0; i < 2 * n; ++i) buffer[i] = samples_[2 * position_ + i];
    position_ += n;
    return n;
}

std::vector<float> demoProgramme(int rate) {
    auto frames = [rate](double secondsLong) { return static_cast<std::int64_t>(secondsLong * rate); };
    std::vector<float> out;
    auto emit = [&out](double left, double right) {
        out.push_back(static_cast<float>(left));
        out.push_back(static_cast<float>(right));
    };

    // 2 s of noise: a dark, louder left and a bright, quieter right that share a little.
    {
        Noise a(0x1234567u), b(0x7654321u);
        OnePole darkL(800, rate), bodyR(6000, rate), lowR(300, rate), hissR(9000, rate);
        const std::int64_t n = frames(2.0);
        for (std::int64_t i = 0; i < n; ++i) {
            double na = a.next(), nb = b.next();
            double left = darkL(na) * 2.2 + 0.1 * nb;
            double right = hissR(bodyR(nb) - lowR(nb)) * 1.1 + 0.1 * na;
            double g = fade(i, n, rate);
            emit(g * dbfs(-6) * left, g * dbfs(-6) * right);
        }
    }
    // 3 s logarithmic sweep 20 Hz to 20 kHz in the centre, at -12 dBFS.
    {
        const std::int64_t n = frames(3.0);
        const double f0 = 20, f1 = std::min(20000.0, 0.45 * rate), span = std::log(f1 / f0);
        const double seconds = static_cast<double>(n) / rate;
        for (std::int64_t i = 0; i < n; ++i) {
            double t = static_cast<double>(i) / rate;
            double phase = 2 * kPi * f0 * seconds / span * (std::exp(t / seconds * span) - 1);
            double v = fade(i, n, rate) * dbfs(-12) * std::sin(phase);
            emit(v, v);
        }
    }
    // 1.5 s of 45 Hz bass in the centre with a second harmonic, at about -9 dBFS.
    {
        const std::int64_t n = frames(1.5);
        for (std::int64_t i = 0; i < n; ++i) {
            double t = static_cast<double>(i) / rate;
            double v = fade(i, n, rate) * (dbfs(-10) * std::sin(2 * kPi * 45 * t) +
                                           dbfs(-24) * std::sin(2 * kPi * 90 * t));
            emit(v, v);
        }
    }
    // 1.5 s of a wide pair: 440 Hz hard left, 660 Hz hard right.
    {
        const std::int64_t n = frames(1.5);
        for (std::int64_t i = 0; i < n; ++i) {
            double t = static_cast<double>(i) / rate;
            double g = fade(i, n, rate) * dbfs(-12);
            emit(g * std::sin(2 * kPi * 440 * t), g * std::sin(2 * kPi * 660 * t));
        }
    }
    // 1 s of transients: short decaying clicks every 125 ms, panned left, centre, right.
    {
        Noise c(0xC1C1C1u);
        const std::int64_t n = frames(1.0), spacing = frames(0.125);
        for (std::int64_t i = 0; i < n; ++i) {
            std::int64_t k = i / spacing, j = i % spacing;
            double burst = dbfs(-3) * std::exp(-static_cast<double>(j) / (0.004 * rate)) * c.next();
            double pan = (k % 3) * 0.5;  // 0 left, 0.5 centre, 1 right
            emit(burst * std::cos(pan * kPi / 2), burst * std::sin(pan * kPi / 2));
        }
    }
    // 1 s of digital silence, to hear how each mode dies away.
    out.resize(out.size() + 2 * static_cast<std::size_t>(frames(1.0)), 0.0f);
    return out;
}

}  // namespace vrender
