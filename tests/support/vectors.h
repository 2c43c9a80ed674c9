// Reads the processing vectors: a block plan, interleaved input and expected output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vectors {

struct Block {
    int frames;
    float parameter;
    float sampleRate;
};

struct Vector {
    std::string name;
    unsigned seed = 0;
    bool isDouble = false;
    long frames = 0;
    std::vector<Block> blocks;
    // Interleaved left/right, widened to double (float vectors hold float values).
    std::vector<double> input;
    std::vector<double> expected;
};

// Names of all vectors in dir (sorted), empty when the folder is missing.
std::vector<std::string> list(const std::string& dir);

// Throws std::runtime_error with a message when a file is missing or malformed.
Vector read(const std::string& dir, const std::string& name);

}  // namespace vectors
