#include "tests/support/vectors.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace vectors {

std::vector<std::string> list(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (!d) return names;
    while (dirent* entry = readdir(d)) {
        std::string file = entry->d_name;
        const std::string suffix = ".txt";
        if (file.size() > suffix.size() &&
            file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0)
            names.push_back(file.substr(0, file.size() - suffix.size()));
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

std::vector<double> readSamples(const std::string& path, bool isDouble, long count) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t width = isDouble ? sizeof(double) : sizeof(float);
    if (bytes.size() != static_cast<std::size_t>(count) * width)
        throw std::runtime_error(path + " holds " + std::to_string(bytes.size()) + " bytes");
    std::vector<double> samples(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (isDouble) {
            std::memcpy(&samples[i], bytes.data() + i * width, width);
        } else {
            float f;
            std::memcpy(&f, bytes.data() + i * width, width);
            samples[i] = f;
        }
    }
    return samples;
}

}  // namespace

Vector read(const std::string& dir, const std::string& name) {
    Vector v;
    v.name = name;
    std::ifstream plan(dir + "/" + name + ".txt");
    if (!plan) throw std::runtime_error("cannot open plan of " + name);
    std::string line;
    while (std::getline(plan, line)) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key.empty() || key[0] == '#') continue;
        if (key == "seed") words >> v.seed;
        else if (key == "precision") {
            std::string p;
            words >> p;
            v.isDouble = p == "double";
        } else if (key == "frames") words >> v.frames;
        else if (key == "block") {
            std::string frames, parameter, rate;
            words >> frames >> parameter >> rate;
            v.blocks.push_back({std::atoi(frames.c_str()), std::strtof(parameter.c_str(), nullptr),
                                std::strtof(rate.c_str(), nullptr)});
        }
    }
    v.input = readSamples(dir + "/" + name + ".in", v.isDouble, v.frames * 2);
    v.expected = readSamples(dir + "/" + name + ".out", v.isDouble, v.frames * 2);
    return v;
}

}  // namespace vectors
