// A module whose effect has one input and one output: the renderer must refuse it.
#include "frame/audioeffectx.h"

namespace {

class MonoEffect : public AudioEffectX {
public:
    explicit MonoEffect(audioMasterCallback host) : AudioEffectX(host, 0, 1) {
        setNumInputs(1);
        setNumOutputs(1);
        canProcessReplacing(true);
    }
    void processReplacing(float** inputs, float** outputs, int32 frames) noexcept override {
        for (int32 i = 0; i < frames; ++i) outputs[0][i] = inputs[0][i];
    }
};

}  // namespace

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    return new MonoEffect(audioMaster);
}
