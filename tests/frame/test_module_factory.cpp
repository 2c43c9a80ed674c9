// The factory of the test module: one TestEffect per entry call.
#include "tests/frame/test_effect.h"

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    return new frametest::TestEffect(audioMaster);
}
