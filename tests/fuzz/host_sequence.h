// Replays a byte stream as a host session against one effect, through the record the
// module's entry hands out, and the same bytes as a CLAP host session through clap_entry;
// then checks the effect survived each unharmed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzzhost {

// Frames of ordinary programme run in each of the seventeen modes after the session.
// 48000 (one second at the check's 48 kHz) unless the environment variable
// VELLICOR_FUZZ_CHECK_FRAMES says otherwise.
long checkFrames();

// Runs one session. Aborts (with a message on stderr) when the effect is left with a
// non-finite state or gives output outside a mode's range; sanitizers report the rest.
void runSession(const std::uint8_t* data, std::size_t size);

}  // namespace fuzzhost
