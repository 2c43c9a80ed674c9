#include "tools/render.h"

#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace vrender {

namespace {

namespace fs = std::filesystem;

// Each mode covers 1/16.999 of the range; the middle of a mode's share is safely inside it.
constexpr double kModesPerUnit = 16.999;

std::string normalized(const std::string& text) {
    std::string out;
    for (char c : text)
        if (std::isalnum(static_cast<unsigned char>(c)))
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

double seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double toDb(double value) { return value > 0 ? 20.0 * std::log10(value) : -INFINITY; }

std::string formatDb(double db) {
    if (std::isinf(db)) return "-inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", std::fabs(db) < 0.005 ? 0.0 : db);  // no "-0.00"
    return text;
}

template <typename T>
Levels renderAs(vhost::Plugin& plugin, FrameSource& source, OutputFile& output,
                const RenderSettings& settings, Progress& progress) {
    const int block = settings.blockSize;
    const int channels = source.channels();
    std::vector<T> interleavedIn(static_cast<std::size_t>(block) * channels);
    std::vector<T> inL(block), inR(block), outL(block), outR(block);
    std::vector<T> interleavedOut(static_cast<std::size_t>(block) * 2);
    T* inputs[2] = {inL.data(), inR.data()};
    T* outputs[2] = {outL.data(), outR.data()};
    Levels levels;
    for (;;) {
        std::int64_t frames = source.read(interleavedIn.data(), block);
        if (frames <= 0) break;
        for (std::int64_t i = 0; i < frames; ++i) {
            inL[i] = interleavedIn[i * channels];
            inR[i] = interleavedIn[i * channels + channels - 1];
        }
        if constexpr (std::is_same_v<T, float>)
            plugin.processReplacing(inputs, outputs, static_cast<int32>(frames));
        else
            plugin.processDoubleReplacing(inputs, outputs, static_cast<int32>(frames));
        for (std::int64_t i = 0; i < frames; ++i) {
            interleavedOut[2 * i] = outL[i];
            interleavedOut[2 * i + 1] = outR[i];
        }
        levels.add(outL.data(), outR.data(), frames);
        output.write(interleavedOut.data(), frames);
        progress.advance(frames);
    }
    return levels;
}

}  // namespace

std::string slug(const std::string& name) {
    std::string out;
    for (char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        else if (!out.empty() && out.back() != '-')
            out += '-';
    }
    while (!out.empty() && out.back() == '-') out.pop_back();
    return out.empty() ? "mode" : out;
}

EffectModule::EffectModule(const std::string& path) : path_(path) {
    if (!fs::exists(path)) throw Failure("module " + path + " not found");
    std::string error;
    // dlopen searches the library path for a bare file name; a host means the file given.
    module_ = vhost::Module::load(fs::absolute(path).string(), error);
    if (!module_) throw Failure(error);
}

std::unique_ptr<vhost::Plugin> EffectModule::instantiate(double sampleRate, int blockSize,
                                                         bool needDouble) const {
    vhost::HostSettings settings;
    settings.sampleRate = static_cast<VstIntPtr>(sampleRate);
    settings.blockSize = blockSize;
    // An effect may seed its noise from the process's rand(); starting every instance from
    // the same generator state makes a mode's render independent of what ran before it.
    std::srand(1);
    std::string error;
    auto plugin = vhost::Plugin::create(module_->entry(), error, settings, module_);
    if (!plugin) throw Failure("module " + path_ + ": " + error);
    const AEffect* effect = plugin->effect();
    if (effect->numInputs != 2 || effect->numOutputs != 2)
        throw Failure("module " + path_ + " has " + std::to_string(effect->numInputs) +
                      " inputs and " + std::to_string(effect->numOutputs) +
                      " outputs; only 2-in/2-out effects can be rendered");
    if (!(effect->flags & effFlagsCanReplacing) || !effect->processReplacing)
        throw Failure("module " + path_ + " does not offer replacing processing");
    if (needDouble &&
        (!(effect->flags & effFlagsCanDoubleReplacing) || !effect->processDoubleReplacing))
        throw Failure("module " + path_ + " does not process in double precision");
    plugin->open();
    plugin->setSampleRate(static_cast<float>(sampleRate));
    plugin->setBlockSize(blockSize);
    return plugin;
}

const std::vector<Mode>& EffectModule::modes() const {
    if (probed_) return modes_;
    auto plugin = instantiate(44100.0, 512, false);
    if (plugin->effect()->numParams >= 1) {
        for (int k = 0;; ++k) {
            float value = static_cast<float>((k + 0.5) / kModesPerUnit);
            if (value > 1.0f) break;
            plugin->setParameter(0, value);
            std::string name = currentModeName(*plugin);
            if (name.empty() || (!modes_.empty() && modes_.back().name == name)) continue;
            modes_.push_back(Mode{static_cast<int>(modes_.size()), name, value});
        }
    }
    probed_ = true;
    return modes_;
}

const Mode& EffectModule::findMode(const std::string& text) const {
    const auto& all = modes();
    if (all.empty())
        throw Failure("module " + path_ + " has no parameter that chooses a mode");
    bool numeric = !text.empty();
    for (char c : text) numeric = numeric && std::isdigit(static_cast<unsigned char>(c));
    if (numeric && text.size() < 4) {
        int number = std::stoi(text);
        if (number < static_cast<int>(all.size())) return all[number];
    } else if (!numeric) {
        for (const Mode& mode : all)
            if (normalized(mode.name) == normalized(text) && !normalized(text).empty())
                return mode;
    }
    std::string list;
    for (const Mode& mode : all) list += (list.empty() ? "" : ", ") + mode.name;
    throw Failure("unknown mode \"" + text + "\"; the modes are 0 to " +
                  std::to_string(all.size() - 1) + ": " + list);
}

std::string defaultModulePath() {
    std::vector<fs::path> candidates;
    std::error_code error;
    fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        fs::path folder = self.parent_path();
        candidates.push_back(folder / "Vellicor.so");             // unpacked release
        candidates.push_back(folder / "../lib/vst/Vellicor.so");  // installed
        candidates.push_back(folder / "../vst/Vellicor.so");      // build tree
    }
#ifdef VELLICOR_BUILT_MODULE  // a release names none: it would only point at its build folder
    candidates.push_back(VELLICOR_BUILT_MODULE);
#endif
    std::string looked;
    for (const fs::path& candidate : candidates) {
        if (fs::exists(candidate)) return candidate.lexically_normal().string();
        looked += (looked.empty() ? "" : ", ") + candidate.lexically_normal().string();
    }
    throw Failure("cannot find Vellicor.so (looked at " + looked + "); give --plugin PATH");
}

Running::Running(vhost::Plugin& plugin) : plugin_(plugin) {
    plugin_.mainsChanged(true);
    plugin_.dispatch(effStartProcess);
}

Running::~Running() {
    plugin_.dispatch(effStopProcess);
    plugin_.mainsChanged(false);
}

std::string currentModeName(vhost::Plugin& plugin) {
    if (plugin.effect()->numParams < 1) return "-";
    return plugin.text(effGetParamDisplay, 0);
}

double Levels::peakDb(int channel) const { return toDb(peak_[channel]); }

double Levels::rmsDb(int channel) const {
    return frames_ > 0 ? toDb(std::sqrt(sumSquares_[channel] / frames_)) : -INFINITY;
}

Progress::Progress(std::string label, std::int64_t totalFrames, bool enabled)
    : label_(std::move(label)),
      total_(totalFrames),
      enabled_(enabled && totalFrames > 0 && isatty(STDERR_FILENO)),
      start_(seconds()) {}

Progress::~Progress() {
    if (shown_) std::fprintf(stderr, "\r\033[K");
}

void Progress::advance(std::int64_t frames) {
    done_ += frames;
    if (!enabled_) return;
    double now = seconds();
    // Short renders finish before the bar would be of any use.
    if (now - start_ < 0.5 || now - lastDraw_ < 0.1) return;
    lastDraw_ = now;
    shown_ = true;
    constexpr int width = 40;
    double fraction = done_ >= total_ ? 1.0 : static_cast<double>(done_) / total_;
    int filled = static_cast<int>(fraction * width);
    std::string bar(filled, '#');
    bar.append(width - filled, '-');
    std::fprintf(stderr, "\r%s [%s] %3d%%", label_.c_str(), bar.c_str(),
                 static_cast<int>(fraction * 100));
    std::fflush(stderr);
}

Levels render(vhost::Plugin& plugin, FrameSource& source, OutputFile& output,
              const RenderSettings& settings, Progress& progress) {
    return settings.useDouble ? renderAs<double>(plugin, source, output, settings, progress)
                              : renderAs<float>(plugin, source, output, settings, progress);
}

void printSummaryRow(const std::string& mode, const Levels& levels, const std::string& file) {
    static bool headerShown = false;
    if (!headerShown) {
        std::printf("%-10s %10s %8s %8s %8s %8s  %s\n", "mode", "frames", "peak L",
                    "peak R", "RMS L", "RMS R", "file");
        std::printf("%-10s %10s %8s %8s %8s %8s\n", "", "", "dBFS", "dBFS", "dBFS", "dBFS");
        headerShown = true;
    }
    std::printf("%-10s %10lld %8s %8s %8s %8s  %s\n", mode.c_str(),
                static_cast<long long>(levels.frames()), formatDb(levels.peakDb(0)).c_str(),
                formatDb(levels.peakDb(1)).c_str(), formatDb(levels.rmsDb(0)).c_str(),
                formatDb(levels.rmsDb(1)).c_str(), file.c_str());
    std::fflush(stdout);
}

}  // namespace vrender
