// A module whose effect has one input and one output: the renderer must refuse it.
#include "frame/audioeffect.h"

struct MonoEffect : AudioEffect {
    explicit MonoEffect(audioMasterCallback host) : AudioEffect(host, 0, 1) {
        setNumInputs(1);
        setNumOutputs(1);
    }
    // Never called: the renderer refuses the effect before processing.
    void processReplacing(float**, float**, int32) noexcept override {}
};

AudioEffect* createEffectInstance(audioMasterCallback host) { return new MonoEffect(host); }
