// The factory of the test module: one TestEffect per entry call, unless the host's answer
// asks it to fail as a constructor might.
#include <stdexcept>

#include "tests/frame/test_effect.h"

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    if (audioMaster(nullptr, audioMasterVendorSpecific, 0, 0, nullptr, 0.0f) == frametest::kPleaseThrow)
        throw std::runtime_error("asked to fail");
    return new frametest::TestEffect(audioMaster);
}
