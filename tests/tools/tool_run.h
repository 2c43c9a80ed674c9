// Running the renderer as a user would, and small audio files for it.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace rendertest {

// A fresh folder, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    // Names of the files in the folder, hidden ones included, sorted.
    std::vector<std::string> files() const;

private:
    std::string path_;
};

struct RunResult {
    int status = -1;  // exit status, or -1 when killed by a signal
    std::string out, err;
};

// Runs the tool with args; maxFileBytes > 0 limits the size of any file it writes, as a
// nearly full disk would.
RunResult runTool(const std::vector<std::string>& args, const TempDir& scratch,
                  off_t maxFileBytes = 0);

// Writes interleaved samples; format is a libsndfile format word.
void writeAudio(const std::string& path, int channels, int rate, const std::vector<float>& samples,
                int format);

struct Audio {
    int channels = 0;
    int rate = 0;
    int format = 0;
    std::vector<double> samples;  // interleaved
};
Audio readAudio(const std::string& path);

}  // namespace rendertest
