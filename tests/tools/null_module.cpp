// A module whose factory makes no effect, so its entry answers null.
#include "frame/audioeffect.h"

AudioEffect* createEffectInstance(audioMasterCallback) { return nullptr; }
