#include "tests/fuzz/host_sequence.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "clap/clap_abi.h"
#include "host/clap_host.h"
#include "effect/monitor_mode.h"
#include "vst/vellicor.h"
#include "frame/aeffect.h"
#include "tests/reference/state_comparison.h"
#include "tests/reference/step_by_step.h"
#include "tests/support/testkit.h"

extern "C" AEffect* VSTPluginMain(audioMasterCallback audioMaster) noexcept;
extern "C" AEffect* main_macho(audioMasterCallback audioMaster) noexcept;
extern "C" const clap_plugin_entry_t clap_entry;

namespace fuzzhost {
namespace {

constexpr int kMaxCalls = 200;
// Keeps one session short enough for millions of them.
constexpr long kMaxFramesPerSession = 4096;
constexpr int kMaxBlock = 4096;
constexpr std::size_t kRecordBytes = 4096;  // zeroed stand-in for any host-owned record

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "vellicor fuzz invariant broken: %s\n", what.c_str());
    std::abort();
}

VstIntPtr versionAnswer = kVstVersion;

VstIntPtr hostCallback(AEffect*, int32 opcode, int32, VstIntPtr, void*, float) {
    switch (opcode) {
        case audioMasterVersion: return versionAnswer;
        case audioMasterGetSampleRate: return 44100;
        case audioMasterGetBlockSize: return 512;
        default: return 0;
    }
}

class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return pos_ >= size_; }
    std::uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
    // Little-endian, the low part read first; the order is spelled out, as the operands of
    // | are evaluated in no fixed order.
    std::uint16_t u16() { const std::uint16_t low = u8(); return static_cast<std::uint16_t>(low | (u8() << 8)); }
    std::uint32_t u32() { const std::uint32_t low = u16(); return low | (static_cast<std::uint32_t>(u16()) << 16); }
    std::uint64_t u64() { const std::uint64_t low = u32(); return low | (static_cast<std::uint64_t>(u32()) << 32); }
    // The next bytes as the bits of a float or a double.
    template <typename T>
    T raw() {
        const std::uint64_t bits = sizeof(T) == 4 ? u32() : u64();
        T value;
        std::memcpy(&value, &bits, sizeof value);  // little-endian: the low bytes
        return value;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Values hosts and broken sessions produce; picked more often than raw bit patterns hit them.
double specialValue(std::uint8_t which) {
    static const double kValues[] = {
        0.0, -0.0, 1.0, -1.0, 0.5, std::numeric_limits<double>::quiet_NaN(),
        -std::numeric_limits<double>::quiet_NaN(), HUGE_VAL, -HUGE_VAL, 1e30, -1e30,
        1e300, -1e300, DBL_MAX, -DBL_MAX, FLT_MAX, -FLT_MAX, DBL_MIN, 4.9e-324, FLT_MIN,
        1.4e-45, 1e-40, 1.18e-37, 1.18e-43, 1e9, 1e-9, 2.0, 256.0, 65536.0, 3e9, -3e9,
    };
    return kValues[which % (sizeof kValues / sizeof kValues[0])];
}

float sampleRateValue(Bytes& in) {
    static const float kRates[] = {0.0f, -1.0f, -44100.0f, NAN, INFINITY, -INFINITY, 1e9f, 1.0f,
                                   1999.0f, 2000.0f, 4000.0f, 22050.0f, 44100.0f, 48000.0f,
                                   96000.0f, 192000.0f, 297000.0f, 1e6f, FLT_MAX, 1e-30f};
    const std::uint8_t pick = in.u8();
    if (pick < 200) return kRates[pick % (sizeof kRates / sizeof kRates[0])];
    return in.raw<float>();
}

float parameterValue(Bytes& in) {
    const std::uint8_t pick = in.u8();
    if (pick < 96) return static_cast<float>((pick % 17 + 0.5) / 16.999);  // a mode's centre
    if (pick < 192) return static_cast<float>(specialValue(pick));
    return in.raw<float>();
}

// Fills a block with a mix of ordinary signal, special values and raw bit patterns.
template <typename Sample>
void fillBlock(Bytes& in, Sample* left, Sample* right, int frames) {
    const std::uint8_t kind = in.u8();
    const double special = specialValue(in.u8());
    std::uint32_t noise = in.u32() | 1u;
    const Sample raw = in.raw<Sample>();
    for (int i = 0; i < frames; ++i) {
        noise ^= noise << 13;
        noise ^= noise >> 17;
        noise ^= noise << 5;
        Sample l, r;
        switch (kind % 6) {
            case 0: l = r = static_cast<Sample>(special); break;
            case 1: l = static_cast<Sample>(0.7 * std::sin(0.05 * i)); r = -l; break;
            case 2:  // ordinary noise with the special value scattered through it
                l = static_cast<Sample>((noise & 0xffff) / 32768.0 - 1.0);
                r = (noise >> 28) == 0 ? static_cast<Sample>(special) : -l;
                break;
            case 3: l = raw; r = static_cast<Sample>(special); break;
            case 4: {  // arbitrary bit patterns
                std::uint64_t bits = (static_cast<std::uint64_t>(noise) << 32) | (noise * 2654435761u);
                std::memcpy(&l, &bits, sizeof l);
                bits = ~bits;
                std::memcpy(&r, &bits, sizeof r);
                break;
            }
            default: l = r = static_cast<Sample>((noise & 1) ? special : -special); break;
        }
        left[i] = l;
        right[i] = r;
    }
}

Vellicor& vellicorOf(AEffect* effect) {
    return *static_cast<Vellicor*>(static_cast<AudioEffect*>(effect->object));
}

struct Session {
    AEffect* effect = nullptr;
    long framesLeft = kMaxFramesPerSession;
    std::vector<float> floatBuffers[6];
    std::vector<double> doubleBuffers[6];
    // The step-by-step processing beside the effect: every block must come out of both
    // bit for bit the same and leave the same state.
    std::unique_ptr<stepref::Processor> reference = std::make_unique<stepref::Processor>();

    VstIntPtr dispatch(int32 opcode, int32 index, VstIntPtr value, void* ptr, float opt) {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }

    // One block: buffers 0 and 1 the inputs, 2 and 3 the outputs (unless in place), 4 and
    // 5 the reference's; one sample past the block stays untouched.
    template <typename Sample>
    void process(Bytes& in, std::vector<Sample> (&buffers)[6]) {
        // Mostly short blocks, so that a session stays cheap; any size up to the largest
        // on request, and now and then a negative count from a host sending nonsense.
        const std::uint8_t shortBlock = in.u8();
        int frames = shortBlock % 32;
        if (shortBlock == 0xff) frames = in.u16() % (kMaxBlock + 1);
        else if (shortBlock == 0xfe) frames = -static_cast<int>(in.u8()) - 1;
        if (frames > framesLeft) frames = static_cast<int>(framesLeft);
        const bool inPlace = in.u8() & 1;
        const int size = frames > 0 ? frames : 0;
        for (auto& b : buffers) b.assign(static_cast<std::size_t>(size) + 1, Sample(-7));
        fillBlock(in, buffers[0].data(), buffers[1].data(), size);
        Sample* inputs[2] = {buffers[0].data(), buffers[1].data()};
        Sample* outputs[2] = {inPlace ? buffers[0].data() : buffers[2].data(),
                              inPlace ? buffers[1].data() : buffers[3].data()};
        std::vector<Sample> copies[2] = {buffers[0], buffers[1]};
        Sample* referenceIn[2] = {copies[0].data(), copies[1].data()};
        Sample* referenceOut[2] = {buffers[4].data(), buffers[5].data()};
        // With the sample rate and parameter value the effect holds as the block arrives.
        const float rate = vellicorOf(effect).getSampleRate(), value = vellicorOf(effect).getParameter(0);
        if constexpr (sizeof(Sample) == sizeof(float)) {
            reference->processReplacing(referenceIn, referenceOut, frames, rate, value);
            effect->processReplacing(effect, inputs, outputs, frames);
        } else {
            reference->processDoubleReplacing(referenceIn, referenceOut, frames, rate, value);
            effect->processDoubleReplacing(effect, inputs, outputs, frames);
        }
        for (int c = 0; c < 2; ++c) {
            if (std::memcmp(outputs[c], referenceOut[c], size * sizeof(Sample)) != 0)
                fail("output differs from the step-by-step processing");
            if (outputs[c][size] != Sample(-7)) fail("write past the block");
        }
        const std::string difference = stepref::stateDifference(vellicorOf(effect).processingState(), reference->state);
        if (!difference.empty()) fail("state differs from the step-by-step processing: " + difference);
        if (frames > 0) framesLeft -= frames;
    }

    // One dispatcher request, with a pointer argument of the kind the interface promises.
    void request(Bytes& in) {
        int32 opcode = static_cast<int32>(in.u8() % 93) - 2;  // -2 .. 90
        if (opcode == effClose) opcode = effGetVstVersion;   // closing is the session's end
        const std::uint8_t shape = in.u8();
        int32 index = (shape & 1) ? static_cast<int32>(in.u32()) : static_cast<int32>(shape >> 5) - 1;
        VstIntPtr value = (shape & 2) ? static_cast<VstIntPtr>(in.u64())
                                      : static_cast<VstIntPtr>(static_cast<std::int8_t>(in.u8()));
        float opt = (shape & 4) ? in.raw<float>() : static_cast<float>(specialValue(in.u8()));
        const bool nullPointer = (shape & 8) != 0;

        std::vector<unsigned char> record(kRecordBytes, 0);
        std::unique_ptr<char[]> text;
        // Exactly characters + 1 bytes on the heap, so a longer write is caught.
        auto textBuffer = [&](std::size_t characters) {
            text.reset(new char[characters + 1]);
            std::memset(text.get(), 0x5a, characters + 1);
        };
        auto hostString = [&] {
            const std::size_t length = in.u8() % 80;
            text.reset(new char[length + 1]);
            for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>(in.u8() | 1);
            text[length] = '\0';
        };
        void* ptr = nullPointer ? nullptr : record.data();  // a zeroed record large enough for any
        switch (opcode) {
            case effGetParamLabel: case effGetParamDisplay: case effGetParamName: textBuffer(8); break;
            case effGetProgramName: case effGetProgramNameIndexed: textBuffer(24); break;
            case effGetEffectName: case effGetVendorString: case effGetProductString:
            case effShellGetNextPlugin: textBuffer(64); break;
            case effGetErrorText: textBuffer(256); break;
            case effSetProgramName: case effString2Parameter: case effCanDo:
                if (!nullPointer) hostString();
                break;
            case effGetChunk: {
                void* chunk = nullptr;
                const VstIntPtr bytes = dispatch(opcode, index, value, nullPointer ? nullptr : &chunk, opt);
                if (bytes < 0 || bytes > 4096) fail("chunk size " + std::to_string(bytes));
                if (chunk && bytes > 0) {
                    // The host copies the chunk away; every byte must be readable.
                    unsigned char copy[4096];
                    std::memcpy(copy, chunk, static_cast<std::size_t>(bytes));
                }
                return;
            }
            case effSetChunk: {
                const std::size_t bytes = in.u8() % 17;
                std::unique_ptr<unsigned char[]> chunk(new unsigned char[bytes ? bytes : 1]);
                for (std::size_t i = 0; i < bytes; ++i) chunk[i] = in.u8();
                // The byte count is the buffer's, or a nonsensical negative one.
                const VstIntPtr count = (shape & 16) ? -static_cast<VstIntPtr>(in.u8()) - 1
                                                     : static_cast<VstIntPtr>(bytes);
                dispatch(opcode, index, count, nullPointer ? nullptr : chunk.get(), opt);
                return;
            }
            case effSetSpeakerArrangement: {
                std::vector<unsigned char> input(kRecordBytes, 0);
                value = (shape & 16) ? 0 : reinterpret_cast<VstIntPtr>(input.data());
                dispatch(opcode, index, value, nullPointer ? nullptr : record.data(), opt);
                return;
            }
            case effGetSpeakerArrangement: {
                void* inputArrangement = nullptr;
                void* outputArrangement = nullptr;
                value = (shape & 16) ? 0 : reinterpret_cast<VstIntPtr>(&inputArrangement);
                dispatch(opcode, index, value, nullPointer ? nullptr : &outputArrangement, opt);
                return;
            }
            default: break;  // editor requests, host-owned records and plain requests
        }
        if (text) ptr = text.get();
        dispatch(opcode, index, value, nullPointer ? nullptr : ptr, opt);
    }

    void step(Bytes& in) {
        switch (in.u8() % 12) {
            case 0:
            case 1: request(in); break;
            case 2: {
                const std::uint8_t which = in.u8();
                effect->setParameter(effect, which < 200 ? 0 : static_cast<int32>(in.u32()),
                                     parameterValue(in));
                break;
            }
            case 3: {
                const float value = effect->getParameter(effect, static_cast<int32>(in.u8()) - 1);
                (void)value;
                break;
            }
            case 4:
            case 5: process(in, floatBuffers); break;
            case 6:
            case 7: process(in, doubleBuffers); break;
            case 8: dispatch(effSetSampleRate, 0, 0, nullptr, sampleRateValue(in)); break;
            case 9: {
                const std::uint8_t how = in.u8();
                const VstIntPtr size = (how & 1) ? static_cast<VstIntPtr>(in.u64()) : in.u16() % 4097;
                if (how & 2)
                    dispatch(effSetBlockSizeAndSampleRate, 0, size, nullptr, sampleRateValue(in));
                else
                    dispatch(effSetBlockSize, 0, size, nullptr, 0.0f);
                break;
            }
            case 10: dispatch(effMainsChanged, 0, in.u8() & 1, nullptr, 0.0f); break;
            default: {  // a whole chunk restore as hosts do it: four arbitrary bytes
                float value = parameterValue(in);
                dispatch(effSetChunk, in.u8() & 1, sizeof value, &value, 0.0f);
                break;
            }
        }
    }
};

// ----- the check after the session -----

// Ordinary programme through every mode, half in each precision (both share every
// state): each mode's output in its range, and no state left non-finite.
template <typename Sample>
void runProgramme(AEffect* effect, int mode, long frames, long first) {
    constexpr int kBlock = 512;
    Sample inL[kBlock], inR[kBlock], outL[kBlock], outR[kBlock];
    Sample* inputs[2] = {inL, inR};
    Sample* outputs[2] = {outL, outR};
    for (long done = 0; done < frames; done += kBlock) {
        const int n = static_cast<int>(frames - done < kBlock ? frames - done : kBlock);
        testkit::programme(inL, inR, n, first + done);
        if constexpr (sizeof(Sample) == sizeof(float))
            effect->processReplacing(effect, inputs, outputs, n);
        else
            effect->processDoubleReplacing(effect, inputs, outputs, n);
        const std::string bad = testkit::checkRange(mode, inL, inR, outL, outR, n);
        if (!bad.empty()) fail("output outside its range after the session, " + bad);
    }
}

void checkNotPoisoned(AEffect* effect) {
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    const long frames = checkFrames();
    for (int mode = 0; mode < kNumModes; ++mode) {
        effect->setParameter(effect, 0, testkit::valueFor(mode));
        runProgramme<float>(effect, mode, frames / 2, 0);
        runProgramme<double>(effect, mode, frames - frames / 2, frames / 2);
    }
    const std::string bad = testkit::badState(vellicorOf(effect).processingState());
    if (!bad.empty()) fail("state left bad: " + bad);
}


// ----- the CLAP entry -----

const void* CLAP_ABI noHostExtension(const clap_host_t*, const char*) { return nullptr; }
void CLAP_ABI noHostRequest(const clap_host_t*) {}
const clap_host_t kClapHost = {CLAP_VERSION_INIT, nullptr, "fuzz", "", "", "1",
                               noHostExtension, noHostRequest, noHostRequest, noHostRequest};

// Parameter events as the byte stream shapes them: mostly well-formed Monitor changes in
// time order, some with other ids, types, sizes, times or values.
std::vector<clap_event_param_value_t> clapEvents(Bytes& in, int frames) {
    std::vector<clap_event_param_value_t> events(in.u8() % 6);
    for (clap_event_param_value_t& e : events) {
        const std::uint8_t shape = in.u8();
        e.header = {sizeof e, in.u16() % static_cast<std::uint32_t>(frames + 8), 0, CLAP_EVENT_PARAM_VALUE, 0};
        if (shape & 1) e.header.type = shape % 13;
        if (shape & 2) e.header.size = in.u8();
        if (shape & 4) e.header.space_id = in.u8();
        e.param_id = (shape & 8) ? in.u32() : 0;
        e.value = (shape & 16) ? specialValue(in.u8()) : (shape & 32) ? in.raw<double>() : in.u8() % 20;
    }
    return events;
}

struct ClapSession {
    const clap_plugin_t* plugin;
    const clap_plugin_params_t* params;
    long framesLeft = kMaxFramesPerSession;

    double value() const {
        double v = -1;
        if (!params->get_value(plugin, 0, &v) || !(v >= 0 && v <= 16) || v != std::floor(v))
            fail("Monitor value " + std::to_string(v));
        return v;
    }

    template <typename Sample>
    void process(Bytes& in) {
        const std::uint8_t shape = in.u8();
        int frames = static_cast<int>(std::min<long>(shape == 0xff ? in.u16() % (kMaxBlock + 1) : shape % 32, framesLeft));
        const bool inPlace = in.u8() & 1;
        std::vector<Sample> buffers[4];
        for (auto& b : buffers) b.assign(static_cast<std::size_t>(frames) + 1, Sample(-7));
        fillBlock(in, buffers[0].data(), buffers[1].data(), frames);
        Sample* ins[2] = {buffers[0].data(), buffers[1].data()};
        Sample* outs[2] = {buffers[inPlace ? 0 : 2].data(), buffers[inPlace ? 1 : 3].data()};
        clap_audio_buffer_t input{}, output{};
        input.channel_count = output.channel_count = 2;
        if constexpr (sizeof(Sample) == sizeof(double)) input.data64 = ins, output.data64 = outs;
        else input.data32 = ins, output.data32 = outs;
        // Now and then a malformed record, which must be refused.
        const std::uint8_t broken = in.u8();
        if (broken == 1) input.channel_count = 1;
        if (broken == 2) outs[1] = nullptr;
        const auto events = chost::EventList::raw(clapEvents(in, frames));
        const clap_process_t record{-1, static_cast<uint32_t>(frames), nullptr, &input, &output,
                                    broken == 3 ? 0u : 1u, 1, events.events(), nullptr};
        const clap_process_status status = plugin->process(plugin, &record);
        if (broken >= 1 && broken <= 3 && status != CLAP_PROCESS_ERROR) fail("malformed process record accepted");
        if (buffers[2][frames] != Sample(-7) || buffers[0][frames] != Sample(-7)) fail("write past the block");
        framesLeft -= frames;
        value();
    }

    void step(Bytes& in) {
        switch (in.u8() % 12) {
            case 0: plugin->activate(plugin, (in.u8() & 1) ? in.raw<double>() : sampleRateValue(in), 1, 4096); break;
            case 1: plugin->deactivate(plugin); break;
            case 2: plugin->start_processing(plugin); break;
            case 3: plugin->stop_processing(plugin); break;
            case 4: process<float>(in); break;
            case 5: process<double>(in); break;
            case 6: {
                const auto events = chost::EventList::raw(clapEvents(in, 0));
                params->flush(plugin, events.events(), nullptr);
                value();
                break;
            }
            case 7: {  // a state of arbitrary bytes: taken whole or refused with nothing changed
                std::vector<unsigned char> bytes(in.u8() % 20);
                for (auto& b : bytes) b = in.u8();
                const double before = value();
                if (!chost::loadState(plugin, bytes) && value() != before)
                    fail("refused state changed the mode");
                break;
            }
            case 8: {  // value to text into a buffer of exactly the capacity given
                const uint32_t capacity = in.u8() % 12;
                std::unique_ptr<char[]> text(new char[capacity ? capacity : 1]);
                if (params->value_to_text(plugin, in.u8() % 2, specialValue(in.u8()), text.get(), capacity) &&
                    std::strlen(text.get()) >= capacity)
                    fail("value text longer than its buffer");
                break;
            }
            case 9: {
                std::string text(in.u8() % 12, ' ');
                for (char& c : text) c = static_cast<char>(in.u8() | 1);
                double v = 0;
                if (params->text_to_value(plugin, 0, text.c_str(), &v) && !(v >= 0 && v <= 16)) fail("text gave " + text);
                break;
            }
            case 10: plugin->reset(plugin); break;
            default: plugin->get_extension(plugin, (in.u8() & 1) ? "clap.gui" : CLAP_EXT_STATE); break;
        }
    }

    // Ordinary programme in every mode: each in its range.
    void checkNotPoisoned() {
        plugin->stop_processing(plugin);
        plugin->deactivate(plugin);
        if (!plugin->activate(plugin, 48000.0, 1, 512) || !plugin->start_processing(plugin)) fail("no restart");
        constexpr int kBlock = 512;
        float l[kBlock], r[kBlock], outL[kBlock], outR[kBlock];
        float* ins[2] = {l, r};
        float* outs[2] = {outL, outR};
        clap_audio_buffer_t input{ins, nullptr, 2, 0, 0}, output{outs, nullptr, 2, 0, 0};
        for (int mode = 0; mode < kNumModes; ++mode) {
            const chost::EventList change(std::vector<chost::ParamChange>{{0, double(mode)}});
            for (long done = 0; done < checkFrames() / 2; done += kBlock) {
                testkit::programme(l, r, kBlock, done);
                const clap_process_t record{-1, kBlock, nullptr, &input, &output, 1, 1, change.events(), nullptr};
                if (plugin->process(plugin, &record) != CLAP_PROCESS_CONTINUE) fail("check block refused");
                const std::string bad = testkit::checkRange(mode, l, r, outL, outR, kBlock);
                if (!bad.empty()) fail("CLAP output outside its range after the session, " + bad);
            }
        }
    }
};

// The same bytes as a CLAP host session.
void runClapSession(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    if (!clap_entry.init("") || clap_entry.get_factory("clap.other") || clap_entry.get_factory(nullptr))
        fail("entry init or factory lookup");
    const auto* factory = static_cast<const clap_plugin_factory_t*>(clap_entry.get_factory(CLAP_PLUGIN_FACTORY_ID));
    const char* id = factory->get_plugin_descriptor(factory, 0)->id;
    if (factory->create_plugin(factory, nullptr, id) || factory->create_plugin(factory, &kClapHost, "x"))
        fail("factory made a plug-in for no host or another id");
    std::srand(in.u8());
    const clap_plugin_t* plugin = factory->create_plugin(factory, &kClapHost, id);
    if (!plugin || !plugin->init(plugin)) fail("factory made no plug-in");
    ClapSession session{plugin, static_cast<const clap_plugin_params_t*>(plugin->get_extension(plugin, CLAP_EXT_PARAMS))};
    for (int call = 0; call < kMaxCalls && !in.empty(); ++call) session.step(in);
    session.checkNotPoisoned();
    plugin->destroy(plugin);
    clap_entry.deinit();
}

}  // namespace

long checkFrames() {
    static const long frames = [] {
        const char* text = std::getenv("VELLICOR_FUZZ_CHECK_FRAMES");
        const long parsed = text ? std::strtol(text, nullptr, 10) : 0;
        return parsed > 0 ? parsed : 48000L;
    }();
    return frames;
}

void runSession(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    // A host without a callback, or one that answers the version query with 0, gets no
    // effect.
    if (VSTPluginMain(nullptr) != nullptr) fail("entry accepted a missing callback");
    versionAnswer = 0;
    if (VSTPluginMain(&hostCallback) != nullptr || main_macho(&hostCallback) != nullptr)
        fail("entry ignored a version answer of 0");
    versionAnswer = kVstVersion;
    std::srand(in.u8());
    AEffect* effect = VSTPluginMain(&hostCallback);
    if (!effect || effect->magic != kEffectMagic) fail("entry gave no effect");

    Session session;
    session.effect = effect;
    session.reference->state.noiseStateL = vellicorOf(effect).processingState().noiseStateL;
    session.reference->state.noiseStateR = vellicorOf(effect).processingState().noiseStateR;
    for (int call = 0; call < kMaxCalls && !in.empty(); ++call) session.step(in);
    checkNotPoisoned(effect);
    if (effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f) != 1)
        fail("close through the record did not answer 1");
    runClapSession(data, size);
}

}  // namespace fuzzhost
