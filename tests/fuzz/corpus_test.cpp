// The saved fuzz inputs replayed as host sessions, a regression test: each must leave the
// effect unharmed (a broken invariant aborts with its reason).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/fuzz/host_sequence.h"

TEST(FuzzCorpus, EverySavedSessionRunsClean) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(VELLICOR_FUZZ_CORPUS)) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        fuzzhost::runSession(bytes.data(), bytes.size());
    }
}
