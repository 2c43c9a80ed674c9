// Audio files through libsndfile: an input read frame by frame, and an output that only
// appears under its name once it is complete.
#pragma once

#include <cstdint>
#include <string>

#include <sndfile.h>

#include "tools/failure.h"

namespace vrender {

// Source of interleaved frames, one or two channels.
class FrameSource {
public:
    virtual ~FrameSource() = default;
    virtual int channels() const = 0;
    virtual int sampleRate() const = 0;
    // Total frames, or -1 when the source cannot tell.
    virtual std::int64_t frames() const = 0;
    // Up to count frames into buffer (count × channels values); 0 at the end.
    virtual std::int64_t read(float* buffer, std::int64_t count) = 0;
    virtual std::int64_t read(double* buffer, std::int64_t count) = 0;
};

class InputFile : public FrameSource {
public:
    // Fails on a missing or unreadable file and on more than two channels.
    explicit InputFile(const std::string& path);
    ~InputFile() override;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    int channels() const override { return info_.channels; }
    int sampleRate() const override { return info_.samplerate; }
    std::int64_t frames() const override;
    std::int64_t read(float* buffer, std::int64_t count) override;
    std::int64_t read(double* buffer, std::int64_t count) override;

private:
    void checkRead(sf_count_t got, sf_count_t asked);
    std::string path_;
    SF_INFO info_{};
    SNDFILE* file_ = nullptr;
};

enum class SampleFormat { Float, Double, Pcm24, Pcm16 };

// Parses "float", "double", "24" or "16" (also "f32", "f64", "pcm24", "pcm16"). False when
// the text names none of them.
bool parseSampleFormat(const std::string& text, SampleFormat& format);

// A stereo file written to a temporary name in the target's folder and renamed onto the
// target by commit(). Destroying an uncommitted output removes the temporary file, so a
// failed render leaves nothing behind. A target that exists and is not a regular file (a
// device or a pipe) is written in place.
class OutputFile {
public:
    // The container follows the target's extension (wav, flac, aiff, ...); WAV without one.
    OutputFile(const std::string& path, int sampleRate, SampleFormat format);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void write(const float* frames, std::int64_t count);
    void write(const double* frames, std::int64_t count);
    void commit();

private:
    void checkWrite(sf_count_t written, sf_count_t asked);
    void discard() noexcept;
    std::string path_;
    std::string tempPath_;  // empty when writing in place
    int fd_ = -1;
    SNDFILE* file_ = nullptr;
};

// Writes bytes to path through a temporary file and a rename, like OutputFile.
void writeFileAtomically(const std::string& path, const void* data, std::size_t size);

// Removes any temporary output still registered when the process is interrupted, and turns
// an exceeded file-size limit into a write error.
void installInterruptCleanup();

}  // namespace vrender
