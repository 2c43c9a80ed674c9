// vellicor-render: runs audio files, a built-in demo programme or a stepped-sine
// measurement through a VST 2.4 effect module, the way a host would.
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tools/audio_file.h"
#include "tools/programme.h"
#include "tools/render.h"
#include "tools/response.h"

namespace fs = std::filesystem;
using namespace vrender;

namespace {

const char* kUsage = R"(usage:
  vellicor-render [options] INPUT OUTPUT          render an audio file
  vellicor-render [options] --all-modes INPUT DIR one file per mode into DIR
  vellicor-render [options] --demo DIR            render the built-in programme in every mode
  vellicor-render [options] --response FILE.csv   measure every mode's magnitude response

options:
  --mode NAME|N       mode by display name ("Cans B", any case) or number (0 to 16)
  --state FILE        restore a saved state chunk instead of choosing a mode
  --save-state FILE   write the effect's state chunk after rendering
  --plugin PATH       another 2-in/2-out VST 2.4 effect module (default: Vellicor.so)
  --block N           frames per processing call (default 512)
  --double            process in double precision
  --format F          output samples: float (default), double, 24 or 16
  --quiet             no progress bar
  --help              this text
)";

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Options {
    std::optional<std::string> mode, state, saveState, plugin, demo, response;
    bool allModes = false, quiet = false, help = false;
    RenderSettings render;
    SampleFormat format = SampleFormat::Float;
    std::vector<std::string> positional;
};

Options parse(int argc, char** argv) {
    Options o;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i], value;
        bool hasInlineValue = false;
        if (arg.rfind("--", 0) == 0) {
            auto eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                hasInlineValue = true;
            }
        }
        auto take = [&]() -> std::string {
            if (hasInlineValue) return value;
            if (i + 1 >= args.size()) throw UsageError(arg + " needs a value");
            return args[++i];
        };
        if (arg == "--mode") o.mode = take();
        else if (arg == "--state") o.state = take();
        else if (arg == "--save-state") o.saveState = take();
        else if (arg == "--plugin") o.plugin = take();
        else if (arg == "--demo") o.demo = take();
        else if (arg == "--response") o.response = take();
        else if (arg == "--all-modes") o.allModes = true;
        else if (arg == "--double") o.render.useDouble = true;
        else if (arg == "--quiet" || arg == "-q") o.quiet = true;
        else if (arg == "--help" || arg == "-h") o.help = true;
        else if (arg == "--block") {
            std::string text = take();
            char* end = nullptr;
            errno = 0;
            long n = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || *end || errno || n < 1 || n > (1 << 20))
                throw UsageError("--block takes a number of frames from 1 to 1048576");
            o.render.blockSize = static_cast<int>(n);
        } else if (arg == "--format") {
            if (!parseSampleFormat(take(), o.format))
                throw UsageError("--format takes float, double, 24 or 16");
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError("unknown option " + arg);
        } else {
            o.positional.push_back(arg);
        }
    }
    if (o.help) return o;

    int commands = (o.demo ? 1 : 0) + (o.response ? 1 : 0) + (o.allModes ? 1 : 0);
    if (commands > 1) throw UsageError("choose one of --demo, --response and --all-modes");
    std::size_t wanted = (o.demo || o.response) ? 0 : 2;
    if (o.positional.size() != wanted)
        throw UsageError(wanted == 0 ? "--demo and --response take no input or output files"
                                     : o.allModes ? "--all-modes needs an input file and a folder"
                                                  : "give an input and an output file");
    if (o.state && (o.mode || commands))
        throw UsageError("--state sets the mode itself; it goes with a single render only");
    if (o.saveState && commands) throw UsageError("--save-state goes with a single render only");
    if (o.mode && (o.allModes || o.demo)) throw UsageError("--mode and --all-modes exclude each other");
    return o;
}

std::vector<unsigned char> readState(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Failure("cannot read state " + path + ": " + std::strerror(errno));
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    if (in.bad()) throw Failure("cannot read state " + path);
    // The effect reads a whole float from the chunk whatever size it is told.
    if (bytes.size() < 4)
        throw Failure("state " + path + " holds " + std::to_string(bytes.size()) +
                      " bytes; a saved state holds at least 4");
    return bytes;
}

void requireChunks(const vhost::Plugin& plugin, const std::string& path) {
    if (!(plugin.effect()->flags & effFlagsProgramChunks))
        throw Failure("module " + path + " does not keep its state in a chunk");
}

std::string folderFile(const std::string& folder, const Mode& mode) {
    char prefix[8];
    std::snprintf(prefix, sizeof prefix, "%02d-", mode.number);
    return (fs::path(folder) / (prefix + slug(mode.name) + ".wav")).string();
}

void makeFolder(const std::string& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error || !fs::is_directory(folder))
        throw Failure("cannot create folder " + folder + ": " +
                      (error ? error.message() : "a file of that name exists"));
}

// One render of source into path in the effect's present mode; prints its summary row.
// beforeCommit runs once the output is complete but not yet under its name, so that a
// failure there still leaves no output behind.
void renderInto(vhost::Plugin& plugin, FrameSource& source, const std::string& path,
                const Options& o, const std::function<void()>& beforeCommit = {}) {
    std::string name = currentModeName(plugin);
    OutputFile output(path, source.sampleRate(), o.format);
    Levels levels;
    {
        Running running(plugin);
        Progress progress(name, source.frames(), !o.quiet);
        levels = render(plugin, source, output, o.render, progress);
    }
    if (beforeCommit) beforeCommit();
    output.commit();
    printSummaryRow(name, levels, path);
}

int renderFile(const Options& o, const EffectModule& module) {
    const std::string& inputPath = o.positional[0];
    const std::string& outputPath = o.positional[1];
    InputFile input(inputPath);
    const Mode* mode = o.mode ? &module.findMode(*o.mode) : nullptr;
    std::vector<unsigned char> state;
    if (o.state) state = readState(*o.state);

    auto plugin = module.instantiate(input.sampleRate(), o.render.blockSize, o.render.useDouble);
    if (o.state || o.saveState) requireChunks(*plugin, module.path());
    if (mode) plugin->setParameter(0, mode->value);
    if (o.state) plugin->setChunk(state.data(), state.size());

    bool stateWritten = false;
    auto saveState = [&] {
        std::vector<unsigned char> chunk = plugin->chunk();
        if (chunk.empty()) throw Failure("module " + module.path() + " handed out no state");
        writeFileAtomically(*o.saveState, chunk.data(), chunk.size());
        stateWritten = true;
    };
    try {
        renderInto(*plugin, input, outputPath, o, o.saveState ? saveState : std::function<void()>{});
    } catch (const Failure&) {
        // The state belongs to a render that did not complete.
        if (stateWritten) std::remove(o.saveState->c_str());
        throw;
    }
    return 0;
}

int renderAllModes(const Options& o, const EffectModule& module) {
    const std::string& inputPath = o.positional[0];
    const std::string& folder = o.positional[1];
    { InputFile check(inputPath); }  // a bad input fails before any folder is made
    const auto& modes = module.modes();
    if (modes.empty()) throw Failure("module " + module.path() + " has no parameter that chooses a mode");
    makeFolder(folder);
    for (const Mode& mode : modes) {
        InputFile input(inputPath);
        auto plugin = module.instantiate(input.sampleRate(), o.render.blockSize, o.render.useDouble);
        plugin->setParameter(0, mode.value);
        renderInto(*plugin, input, folderFile(folder, mode), o);
    }
    return 0;
}

int renderDemo(const Options& o, const EffectModule& module) {
    const int rate = 48000;
    const std::string& folder = *o.demo;
    const auto& modes = module.modes();
    if (modes.empty()) throw Failure("module " + module.path() + " has no parameter that chooses a mode");
    makeFolder(folder);
    MemorySource source(demoProgramme(rate), rate);

    {
        const std::string path = (fs::path(folder) / "programme.wav").string();
        OutputFile output(path, rate, o.format);
        std::vector<float> frames(2 * static_cast<std::size_t>(source.frames()));
        source.read(frames.data(), source.frames());
        output.write(frames.data(), source.frames());
        output.commit();
        Levels levels;
        std::vector<float> left, right;
        for (std::size_t i = 0; i < frames.size(); i += 2) {
            left.push_back(frames[i]);
            right.push_back(frames[i + 1]);
        }
        levels.add(left.data(), right.data(), static_cast<std::int64_t>(left.size()));
        printSummaryRow("(input)", levels, path);
    }
    for (const Mode& mode : modes) {
        source.rewind();
        auto plugin = module.instantiate(rate, o.render.blockSize, o.render.useDouble);
        plugin->setParameter(0, mode.value);
        renderInto(*plugin, source, folderFile(folder, mode), o);
    }
    return 0;
}

std::string csvDb(double gain) {
    if (!(gain > 0)) return "-inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", 20 * std::log10(gain));
    return text;
}

int measure(const Options& o, const EffectModule& module) {
    ResponseSettings settings;
    settings.blockSize = o.render.blockSize;
    std::vector<Mode> modes;
    if (o.mode) modes.push_back(module.findMode(*o.mode));
    else modes = module.modes();
    if (modes.empty()) throw Failure("module " + module.path() + " has no parameter that chooses a mode");

    std::ostringstream csv;
    csv << "mode,name,frequency_hz,left_gain,right_gain,left_db,right_db\n";
    Progress progress("response", static_cast<std::int64_t>(modes.size()), !o.quiet);
    for (const Mode& mode : modes) {
        auto plugin = module.instantiate(settings.sampleRate, settings.blockSize, false);
        plugin->setParameter(0, mode.value);
        Running running(*plugin);
        for (const ResponsePoint& p : measureResponse(*plugin, settings)) {
            char row[256];
            std::snprintf(row, sizeof row, "%d,\"%s\",%.3f,%.9g,%.9g,%s,%s\n", mode.number,
                          mode.name.c_str(), p.frequency, p.gain[0], p.gain[1],
                          csvDb(p.gain[0]).c_str(), csvDb(p.gain[1]).c_str());
            csv << row;
        }
        progress.advance(1);
    }
    std::string text = csv.str();
    writeFileAtomically(*o.response, text.data(), text.size());
    std::printf("wrote %s: %zu modes, %zu frequencies from %g to %g Hz at %g dBFS\n",
                o.response->c_str(), modes.size(), responseFrequencies(settings).size(),
                settings.lowest, settings.highest, settings.levelDb);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    try {
        o = parse(argc, argv);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "vellicor-render: %s\nTry 'vellicor-render --help'.\n", e.what());
        return 2;
    }
    if (o.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    installInterruptCleanup();
    try {
        EffectModule module(o.plugin ? *o.plugin : defaultModulePath());
        if (o.demo) return renderDemo(o, module);
        if (o.response) return measure(o, module);
        if (o.allModes) return renderAllModes(o, module);
        return renderFile(o, module);
    } catch (const Failure& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "vellicor-render: %s\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "vellicor-render: %s\n", e.what());
        return 1;
    }
}
