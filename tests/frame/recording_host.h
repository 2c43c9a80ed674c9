// An in-process host for the direct tests: records every call, answers from a table.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "host/vst_host.h"
#include "tests/frame/test_effect.h"

namespace frametest {

using Call = vhost::HostCall;

inline bool isLifecycle(const Call& c) {
    return c.opcode == audioMasterVendorSpecific && c.index == kLifecycleMarker;
}

class RecordingHost {
public:
    RecordingHost() { current() = this; }
    ~RecordingHost() { current() = nullptr; }

    static VstIntPtr callback(AEffect* effect, int32 opcode, int32 index, VstIntPtr value,
                              void* ptr, float opt) {
        RecordingHost* self = current();
        if (!self) return 0;
        const Call call{effect, opcode, index, value, ptr, opt};
        self->calls.push_back(call);
        if (self->onCall) self->onCall(call);
        const auto answer = self->answers.find(opcode);
        return isLifecycle(call) || answer == self->answers.end() ? 0 : answer->second;
    }

    // The calls other than the lifecycle markers.
    std::vector<Call> services() const {
        std::vector<Call> result;
        std::copy_if(calls.begin(), calls.end(), std::back_inserter(result),
                     [](const Call& c) { return !isLifecycle(c); });
        return result;
    }
    int lifecycleCount(VstIntPtr which) const {
        return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const Call& c) {
            return isLifecycle(c) && c.value == which;
        }));
    }

    std::vector<Call> calls;
    std::map<int32, VstIntPtr> answers;  // by opcode; 0 for the rest
    std::function<void(const Call&)> onCall;

private:
    static RecordingHost*& current() {
        static RecordingHost* host = nullptr;
        return host;
    }
};

// A TestEffect talking to its own RecordingHost (declared first, so it outlives the effect).
struct HostedEffect {
    RecordingHost host;
    std::unique_ptr<TestEffect> effect = std::make_unique<TestEffect>(&RecordingHost::callback);
    VstIntPtr dispatch(int32 opcode, int32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f) {
        return effect->dispatcher(opcode, index, value, ptr, opt);
    }
};

}  // namespace frametest
