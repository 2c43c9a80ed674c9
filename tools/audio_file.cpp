#include "tools/audio_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <vector>

namespace vrender {

namespace {

namespace fs = std::filesystem;

// libsndfile's system errors read "System error : why."; the user wants only the why.
std::string describe(const char* message) {
    std::string text = message ? message : "unknown error";
    const std::string prefix = "System error : ";
    if (text.compare(0, prefix.size(), prefix) == 0) text.erase(0, prefix.size());
    while (!text.empty() && (text.back() == '.' || text.back() == '\n')) text.pop_back();
    return text;
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The container libsndfile writes for a file name's extension, WAV for a name without one
// (such as a device); 0 for an extension it does not know.
int majorFormatFor(const std::string& path) {
    std::string extension = lower(fs::path(path).extension().string());
    if (!extension.empty()) extension.erase(0, 1);
    if (extension.empty()) return SF_FORMAT_WAV;
    if (extension == "wave") return SF_FORMAT_WAV;
    if (extension == "aif" || extension == "aifc") return SF_FORMAT_AIFF;
    if (extension == "ogg") return SF_FORMAT_OGG;
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info);
        if (info.extension && extension == info.extension) return info.format;
    }
    return 0;
}

int subFormatFor(int major, SampleFormat format) {
    if (major == SF_FORMAT_OGG) return SF_FORMAT_VORBIS;  // lossy; has no sample format
    switch (format) {
        case SampleFormat::Float: return SF_FORMAT_FLOAT;
        case SampleFormat::Double: return SF_FORMAT_DOUBLE;
        case SampleFormat::Pcm24: return SF_FORMAT_PCM_24;
        case SampleFormat::Pcm16: return SF_FORMAT_PCM_16;
    }
    return SF_FORMAT_FLOAT;
}

const char* formatName(SampleFormat format) {
    switch (format) {
        case SampleFormat::Float: return "32-bit float";
        case SampleFormat::Double: return "64-bit float";
        case SampleFormat::Pcm24: return "24-bit PCM";
        case SampleFormat::Pcm16: return "16-bit PCM";
    }
    return "";
}

// The temporary file being written, for the interrupt handler; one at a time.
char pendingTemp[4096];
volatile std::sig_atomic_t havePendingTemp = 0;

void registerTemp(const std::string& path) {
    if (path.size() >= sizeof pendingTemp) return;
    std::memcpy(pendingTemp, path.c_str(), path.size() + 1);
    havePendingTemp = 1;
}

void unregisterTemp() { havePendingTemp = 0; }

extern "C" void removeTempAndDie(int signal) {
    if (havePendingTemp) unlink(pendingTemp);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// A new file next to path, with the permissions a plain create would give it.
int createTemp(const std::string& path, std::string& tempPath) {
    fs::path target(path);
    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0)
        throw Failure("cannot create " + path + ": " + std::strerror(errno));
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    tempPath = name.data();
    registerTemp(tempPath);
    return fd;
}

// Opens the target for writing: a temporary file for regular files, the target itself for
// devices and pipes.
int openTarget(const std::string& path, std::string& tempPath) {
    struct stat st{};
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) throw Failure("cannot write " + path + ": it is a folder");
        if (!S_ISREG(st.st_mode)) {
            int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
            if (fd < 0) throw Failure("cannot write " + path + ": " + std::strerror(errno));
            return fd;
        }
    }
    return createTemp(path, tempPath);
}

}  // namespace

InputFile::InputFile(const std::string& path) : path_(path) {
    struct stat st{};
    if (stat(path.c_str(), &st) != 0)
        throw Failure("cannot open " + path + ": " + std::strerror(errno));
    if (S_ISDIR(st.st_mode)) throw Failure("cannot read " + path + ": it is a folder");
    file_ = sf_open(path.c_str(), SFM_READ, &info_);
    if (!file_) throw Failure("cannot read " + path + ": " + describe(sf_strerror(nullptr)));
    if (info_.channels < 1 || info_.channels > 2) {
        int channels = info_.channels;
        sf_close(file_);
        file_ = nullptr;
        throw Failure(path + " has " + std::to_string(channels) +
                      " channels; only mono and stereo input can be rendered");
    }
    if (info_.samplerate <= 0) {
        sf_close(file_);
        file_ = nullptr;
        throw Failure(path + " declares no sample rate");
    }
}

InputFile::~InputFile() {
    if (file_) sf_close(file_);
}

std::int64_t InputFile::frames() const {
    return info_.frames >= 0 && info_.frames < SF_COUNT_MAX ? info_.frames : -1;
}

void InputFile::checkRead(sf_count_t got, sf_count_t asked) {
    if (got < asked && sf_error(file_) != SF_ERR_NO_ERROR)
        throw Failure("cannot read " + path_ + ": " + describe(sf_strerror(file_)));
}

std::int64_t InputFile::read(float* buffer, std::int64_t count) {
    sf_count_t got = sf_readf_float(file_, buffer, count);
    checkRead(got, count);
    return got;
}

std::int64_t InputFile::read(double* buffer, std::int64_t count) {
    sf_count_t got = sf_readf_double(file_, buffer, count);
    checkRead(got, count);
    return got;
}

bool parseSampleFormat(const std::string& text, SampleFormat& format) {
    std::string t = lower(text);
    if (t == "float" || t == "f32" || t == "32f") format = SampleFormat::Float;
    else if (t == "double" || t == "f64" || t == "64f") format = SampleFormat::Double;
    else if (t == "24" || t == "pcm24") format = SampleFormat::Pcm24;
    else if (t == "16" || t == "pcm16") format = SampleFormat::Pcm16;
    else return false;
    return true;
}

OutputFile::OutputFile(const std::string& path, int sampleRate, SampleFormat format)
    : path_(path) {
    int major = majorFormatFor(path);
    if (major == 0)
        throw Failure("cannot write " + path +
                      ": unknown file type (use an extension such as .wav, .flac or .aiff)");
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 2;
    info.format = major | subFormatFor(major, format);
    if (!sf_format_check(&info))
        throw Failure("cannot write " + path + ": this file type cannot hold " +
                      formatName(format) + " samples (try --format 24 or --format 16)");
    fd_ = openTarget(path, tempPath_);
    file_ = sf_open_fd(fd_, SFM_WRITE, &info, SF_FALSE);
    if (!file_) {
        std::string why = describe(sf_strerror(nullptr));
        discard();
        throw Failure("cannot write " + path + ": " + why);
    }
    // Overs are clipped to full scale in integer files rather than wrapped around.
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

OutputFile::~OutputFile() { discard(); }

void OutputFile::discard() noexcept {
    if (file_) sf_close(file_);
    file_ = nullptr;
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (!tempPath_.empty()) {
        unlink(tempPath_.c_str());
        unregisterTemp();
        tempPath_.clear();
    }
}

void OutputFile::checkWrite(sf_count_t written, sf_count_t asked) {
    if (written != asked) {
        std::string why = describe(sf_strerror(file_));
        discard();
        throw Failure("cannot write " + path_ + ": " + why);
    }
}

void OutputFile::write(const float* frames, std::int64_t count) {
    checkWrite(sf_writef_float(file_, frames, count), count);
}

void OutputFile::write(const double* frames, std::int64_t count) {
    checkWrite(sf_writef_double(file_, frames, count), count);
}

void OutputFile::commit() {
    int error = sf_close(file_);
    file_ = nullptr;
    std::string why;
    if (error != SF_ERR_NO_ERROR) why = describe(sf_error_number(error));
    // The header is rewritten at close; only a synced file is known to be complete.
    if (why.empty() && !tempPath_.empty() && fsync(fd_) != 0) why = std::strerror(errno);
    if (why.empty() && close(fd_) != 0) why = std::strerror(errno);
    fd_ = -1;
    if (why.empty() && !tempPath_.empty() && rename(tempPath_.c_str(), path_.c_str()) != 0)
        why = std::strerror(errno);
    if (!why.empty()) {
        discard();
        throw Failure("cannot write " + path_ + ": " + why);
    }
    if (!tempPath_.empty()) unregisterTemp();
    tempPath_.clear();
}

void writeFileAtomically(const std::string& path, const void* data, std::size_t size) {
    std::string tempPath;
    int fd = openTarget(path, tempPath);
    std::string why;
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::size_t done = 0;
    while (why.empty() && done < size) {
        ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) why = std::strerror(n < 0 ? errno : ENOSPC);
        else done += static_cast<std::size_t>(n);
    }
    if (why.empty() && !tempPath.empty() && fsync(fd) != 0) why = std::strerror(errno);
    if (close(fd) != 0 && why.empty()) why = std::strerror(errno);
    if (why.empty() && !tempPath.empty() && rename(tempPath.c_str(), path.c_str()) != 0)
        why = std::strerror(errno);
    if (!tempPath.empty()) {
        if (!why.empty()) unlink(tempPath.c_str());
        unregisterTemp();
    }
    if (!why.empty()) throw Failure("cannot write " + path + ": " + why);
}

void installInterruptCleanup() {
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) std::signal(signal, removeTempAndDie);
    // Past a file-size limit the write should fail like a full disk and be cleaned up the
    // same way, rather than kill the process with the temporary file in place.
    std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace vrender
