// Runs a VST 2.4 effect module over audio the way a host does: load the module, call its
// entry, open the effect, set rate and block size, switch it on, process block by block.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/vst_host.h"
#include "tools/audio_file.h"
#include "tools/failure.h"

namespace vrender {

// One setting of the effect's first parameter, named by the effect's own display text.
struct Mode {
    int number;
    std::string name;
    float value;
};

// File-name form of a mode name: "Cans B" becomes "cans-b".
std::string slug(const std::string& name);

class EffectModule {
public:
    // Fails when the module cannot be loaded or has no entry.
    explicit EffectModule(const std::string& path);

    const std::string& path() const { return path_; }

    // A new effect from the entry, opened, at the given rate and block size. Fails when
    // the entry returns no effect or the effect is not a 2-in/2-out effect that processes
    // in place of its output (in double precision when asked).
    std::unique_ptr<vhost::Plugin> instantiate(double sampleRate, int blockSize,
                                               bool needDouble) const;

    // The modes the effect's first parameter offers, as its display texts show them.
    // Probed on an instance of its own, so no render sees the probing.
    const std::vector<Mode>& modes() const;
    // A mode by display name (case, spaces and dashes ignored) or by number.
    const Mode& findMode(const std::string& text) const;

private:
    std::string path_;
    std::shared_ptr<vhost::Module> module_;
    mutable std::vector<Mode> modes_;
    mutable bool probed_ = false;
};

// The module the tool uses without --plugin: the Vellicor.so installed next to it or
// built alongside it.
std::string defaultModulePath();

// Switches the effect on before the first block and off afterwards.
class Running {
public:
    explicit Running(vhost::Plugin& plugin);
    ~Running();
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

private:
    vhost::Plugin& plugin_;
};

// Display text of the first parameter as the effect shows it now.
std::string currentModeName(vhost::Plugin& plugin);

// Peak and RMS per output channel.
class Levels {
public:
    template <typename T>
    void add(const T* left, const T* right, std::int64_t count) {
        const T* channel[2] = {left, right};
        for (int c = 0; c < 2; ++c)
            for (std::int64_t i = 0; i < count; ++i) {
                double v = static_cast<double>(channel[c][i]);
                double a = v < 0 ? -v : v;
                if (a > peak_[c]) peak_[c] = a;
                sumSquares_[c] += v * v;
            }
        frames_ += count;
    }
    std::int64_t frames() const { return frames_; }
    double peakDb(int channel) const;
    double rmsDb(int channel) const;

private:
    double peak_[2] = {0, 0};
    double sumSquares_[2] = {0, 0};
    std::int64_t frames_ = 0;
};

// A bar on stderr, drawn only when stderr is a terminal and the render takes long enough
// to be worth watching.
class Progress {
public:
    Progress(std::string label, std::int64_t totalFrames, bool enabled);
    ~Progress();
    void advance(std::int64_t frames);

private:
    std::string label_;
    std::int64_t total_;
    std::int64_t done_ = 0;
    bool enabled_;
    bool shown_ = false;
    double start_;
    double lastDraw_ = 0;
};

struct RenderSettings {
    int blockSize = 512;
    bool useDouble = false;
};

// Processes every frame of source through the running plugin into output; mono input
// feeds both inputs. Returns the output levels.
Levels render(vhost::Plugin& plugin, FrameSource& source, OutputFile& output,
              const RenderSettings& settings, Progress& progress);

// A row of the summary table on stdout; the first row brings the table's header, so a
// run that fails before its first output prints no table.
void printSummaryRow(const std::string& mode, const Levels& levels, const std::string& file);

}  // namespace vrender
