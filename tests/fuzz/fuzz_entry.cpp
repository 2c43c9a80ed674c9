// libFuzzer entry: one host session per input.
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/host_sequence.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzhost::runSession(data, size);
    return 0;
}
