// A libFuzzer target that plays a hostile host: it loads the built plug-in
// module through its exported entry points and turns each input into a
// sequence of host calls on up to three instances: every dispatcher opcode
// with drawn index, value, pointer and option; parameter sets and reads with
// out-of-range indices and values; blocks through both processing callbacks
// with lengths up to 20000, in place or not, with missing channels and with
// NaN, infinite, denormal and huge samples; sample-rate and block-size
// changes; suspend and resume; the editor opened, idled and closed in a real
// X window when a display is there; instances closed and created again.
//
// Besides crashes and sanitizer reports, these are findings (the input is
// kept as a crash): a call that takes longer than 5 s, a change of a record
// field the host reads, a text written past the size the host's buffer has
// for it, a parameter read outside 0..1, and a non-finite output sample for
// a frame whose inputs were finite (|x| <= 1e6) on an instance that never
// had larger input.
#include "fuzz/CallWatch.h"
#include "fuzz/HostWindow.h"
#include "fuzz/HostileValues.h"
#include "host/AEffect.h"
#include "tools/PluginLoader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using fuzz::Call;
using fuzz::finding;
using namespace fuzz::calls;
using fuzz::drainHostEvents;
using fuzz::editorParent;
typedef int32_t (*SnapshotFunction)(AEffect*, const char*);

constexpr int32_t kMaxFrames = 20000;
constexpr int kMaxInstances = 3;
constexpr int kMaxCallsPerInput = 4000;
constexpr size_t kBufferSize = 64 * 1024;
constexpr size_t kMaxText = 600; // drawn texts and chunks: far longer than any field
constexpr float kFiniteInputLimit = 1e6f;
constexpr uint8_t kCanary = 0xA5;

// ---- The module and the counters ----------------------------------------

PluginLoader* module = nullptr;
PluginEntryPoint entryMain = nullptr;
PluginEntryPoint entryVst = nullptr;
SnapshotFunction snapshot = nullptr;
uint64_t inputs = 0;

// ---- Instances -------------------------------------------------------------

intptr_t VSTCALLBACK hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                  void* ptr, float opt);

struct Instance {
    AEffect* record = nullptr;
    AEffect expected{}; // the record as created; the host's `user` field aside
    bool largeInput = false;
};

Instance instances[kMaxInstances];
intptr_t hostVersionAnswer = 2400;
bool rateChanged = false;

// Every field a host reads must stay as the instance was created; `user` is the host's.
void checkRecord(const Instance& fx, const char* after) {
    AEffect seen = *fx.record;
    seen.user = fx.expected.user;
    if (std::memcmp(&seen, &fx.expected, sizeof seen) != 0) {
        const auto* a = reinterpret_cast<const unsigned char*>(&seen);
        const auto* b = reinterpret_cast<const unsigned char*>(&fx.expected);
        size_t at = 0;
        while (a[at] == b[at]) {
            ++at;
        }
        finding("record changed at byte %zu after %s", at, after);
    }
}

AEffect* create(FuzzedDataProvider& in) {
    const bool viaMain = in.ConsumeBool();
    hostVersionAnswer = in.ConsumeIntegralInRange<int>(0, 15) == 0 ? fuzz::hostileValue(in) : 2400;
    AEffect* record = nullptr;
    {
        Call call(kCallEntry);
        record = (viaMain ? entryMain : entryVst)(hostCallback);
    }
    if (hostVersionAnswer == 0) {
        if (record) {
            finding("entry point made an instance for a host that answers version 0");
        }
        return nullptr;
    }
    if (!record || record->magic != kEffectMagic || !record->dispatcher) {
        finding("entry point answered no usable record");
    }
    return record;
}

void addInstance(FuzzedDataProvider& in) {
    for (Instance& fx : instances) {
        if (!fx.record) {
            fx.record = create(in);
            if (fx.record) {
                fx.expected = *fx.record;
                fx.largeInput = false;
            }
            return;
        }
    }
}

intptr_t dispatch(Instance& fx, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                  float opt) {
    intptr_t answer;
    {
        Call call(opcode);
        answer = fx.record->dispatcher(fx.record, opcode, index, value, ptr, opt);
    }
    if (opcode == effClose) {
        fx.record = nullptr;
    } else {
        checkRecord(fx, "a dispatcher call");
    }
    if (opcode == effSetSampleRate || opcode == effSetBlockSizeAndSampleRate) {
        rateChanged = true;
    }
    return answer;
}

void closeAll() {
    for (Instance& fx : instances) {
        if (fx.record) {
            dispatch(fx, effClose, 0, 0, nullptr, 0.0f);
        }
    }
}

intptr_t VSTCALLBACK hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                  void* ptr, float opt) {
    switch (opcode) {
    case audioMasterVersion:
        return hostVersionAnswer;
    case audioMasterGetSampleRate:
        return 44100;
    case audioMasterGetBlockSize:
        return 512;
    default:
        return 0;
    }
}

// ---- Buffers ---------------------------------------------------------------

alignas(64) unsigned char scratch[kBufferSize];
alignas(64) unsigned char secondScratch[kBufferSize];
std::vector<float> audio[4]; // two inputs, two outputs
const float kSpecials[] = {std::numeric_limits<float>::quiet_NaN(),
                           std::numeric_limits<float>::infinity(),
                           -std::numeric_limits<float>::infinity(),
                           1.4e-45f,
                           -1e-40f,
                           1e30f,
                           -FLT_MAX,
                           FLT_MAX,
                           1e6f,
                           -1e6f};

// Text written into a host buffer must end within the size the host has for it.
size_t textLimit(int32_t opcode) {
    switch (opcode) {
    case effGetParamLabel:
    case effGetParamDisplay:
        return 9;
    case effGetParamName:
        return 32; // names are written whole; hosts hand more than 8 characters for them
    case effGetProgramName:
    case effGetProgramNameIndexed:
        return 24;
    case effGetEffectName:
        return 32;
    case effGetErrorText:
        return 256;
    case effGetVendorString:
    case effGetProductString:
    case effShellGetNextPlugin:
        return 64;
    default:
        return 0;
    }
}

void checkText(int32_t opcode, const char* text) {
    const size_t limit = textLimit(opcode);
    for (size_t i = limit; i < limit + 256; ++i) {
        if (static_cast<unsigned char>(text[i]) != kCanary) {
            finding("opcode %d wrote byte %zu of a text that has %zu", opcode, i, limit);
        }
    }
    bool untouched = true;
    for (size_t i = 0; i < limit && untouched; ++i) {
        untouched = static_cast<unsigned char>(text[i]) == kCanary;
    }
    if (!untouched && std::memchr(text, '\0', limit) == nullptr) {
        finding("opcode %d left a text without its terminator", opcode);
    }
}

void copyBytes(unsigned char* to, const std::vector<uint8_t>& bytes) {
    if (!bytes.empty()) {
        std::memcpy(to, bytes.data(), bytes.size());
    }
}

// Text the host hands in: a drawn string, terminated within the buffer.
void fillText(FuzzedDataProvider& in) {
    const std::string text = in.ConsumeRandomLengthString(kMaxText);
    std::memset(scratch, 0, sizeof scratch);
    std::memcpy(scratch, text.data(), text.size());
}

// ---- One dispatcher call ---------------------------------------------------

void dispatchDrawn(FuzzedDataProvider& in, Instance& fx) {
    int32_t opcode = in.ConsumeIntegralInRange<int32_t>(0, 80);
    if (in.ConsumeIntegralInRange<int>(0, 31) == 0) {
        opcode = fuzz::hostileInt(in);
    }
    if ((opcode == effEditOpen || opcode == effEditIdle) && in.ConsumeIntegralInRange<int>(0, 31)) {
        // An open editor's idle redraws it, the costliest call there is: one
        // drawn editor call in 32 goes through, the others ask for its size.
        opcode = effEditGetRect;
    }
    const int32_t index = fuzz::hostileInt(in);
    intptr_t value = fuzz::hostileValue(in);
    const float opt = fuzz::hostileFloat(in);
    const bool nullPointer = in.ConsumeIntegralInRange<int>(0, 7) == 0;
    void* ptr = nullPointer ? nullptr : scratch;
    std::memset(scratch, 0, sizeof scratch);

    switch (opcode) {
    case effClose:
        // Closing costs a new instance later: one drawn close in four goes through.
        if (in.ConsumeIntegralInRange<int>(0, 3) == 0) {
            dispatch(fx, effClose, index, value, ptr, opt);
        }
        return;
    case effEditOpen:
        ptr = editorParent(in);
        break;
    case effSetProgramName:
    case effString2Parameter:
    case effCanDo:
        if (ptr) {
            fillText(in);
        }
        break;
    case effSetChunk:
        // The size the host gives matches the data it hands (or is negative).
        if (ptr) {
            const std::vector<uint8_t> bytes = in.ConsumeBytes<uint8_t>(kMaxText);
            copyBytes(scratch, bytes);
            value = in.ConsumeIntegralInRange<intptr_t>(-1, static_cast<intptr_t>(bytes.size()));
        }
        break;
    case effVendorSpecific:
    case effBeginLoadBank:
    case effBeginLoadProgram:
        if (ptr) {
            const std::vector<uint8_t> bytes = in.ConsumeBytes<uint8_t>(256);
            copyBytes(scratch, bytes);
        }
        break;
    case effSetSpeakerArrangement:
    case effGetSpeakerArrangement: {
        // value and ptr both carry records (or the slots for them).
        std::memset(secondScratch, 0, sizeof secondScratch);
        value = in.ConsumeBool() ? reinterpret_cast<intptr_t>(secondScratch) : 0;
        if (opcode == effSetSpeakerArrangement) {
            constexpr int32_t kRoom = static_cast<int32_t>((kBufferSize - 8) / 112);
            for (unsigned char* block : {scratch, secondScratch}) {
                const std::vector<uint8_t> bytes = in.ConsumeBytes<uint8_t>(8 + 112 * 4);
                copyBytes(block, bytes);
                const int32_t channels = in.ConsumeIntegralInRange<int32_t>(-3, kRoom);
                std::memcpy(block + 4, &channels, sizeof channels);
            }
        }
        break;
    }
    default:
        if (textLimit(opcode) != 0 && ptr) {
            std::memset(scratch, kCanary, textLimit(opcode) + 256);
        }
        break;
    }

    const intptr_t answer = dispatch(fx, opcode, index, value, ptr, opt);
    if (!fx.record) {
        return;
    }
    if (ptr == scratch && textLimit(opcode) != 0) {
        checkText(opcode, static_cast<const char*>(ptr));
    }
    // Records the plug-in hands back must be readable.
    volatile unsigned char sink = 0;
    if (opcode == effEditGetRect && ptr) {
        const auto* rect = *static_cast<const unsigned char* const*>(ptr);
        for (int i = 0; rect && i < 8; ++i) {
            sink ^= rect[i];
        }
    }
    if (opcode == effGetChunk && ptr && answer > 0) {
        const auto* chunk = *static_cast<const unsigned char* const*>(ptr);
        for (intptr_t i = 0; chunk && i < answer; ++i) {
            sink ^= chunk[i];
        }
    }
    (void)sink;
}

// ---- Parameters ------------------------------------------------------------

void setParameterDrawn(FuzzedDataProvider& in, Instance& fx) {
    const int32_t index = fuzz::hostileInt(in);
    const float value = fuzz::hostileFloat(in);
    {
        Call call(kCallSetParameter);
        fx.record->setParameter(fx.record, index, value);
    }
    checkRecord(fx, "setParameter");
}

void getParameterDrawn(FuzzedDataProvider& in, Instance& fx) {
    const int32_t index = fuzz::hostileInt(in);
    float value;
    {
        Call call(kCallGetParameter);
        value = fx.record->getParameter(fx.record, index);
    }
    checkRecord(fx, "getParameter");
    if (!(value >= 0.0f && value <= 1.0f)) {
        finding("getParameter(%d) answered %g", index, static_cast<double>(value));
    }
}

// ---- Processing ------------------------------------------------------------

// Fills a block: noise at a drawn level (rarely huge), with special values
// sprinkled at drawn places.
void fillAudio(FuzzedDataProvider& in, float* samples, int32_t frames) {
    const float level = in.PickValueInArray({0.0f, 1e-30f, 0.5f, 1.0f, 1000.0f, 1e6f});
    uint32_t state = in.ConsumeIntegral<uint32_t>();
    for (int32_t i = 0; i < frames; ++i) {
        state = state * 1664525u + 1013904223u;
        samples[i] = level * (static_cast<float>(state >> 8) / 8388608.0f - 1.0f);
    }
    const int specials = frames > 0 ? in.ConsumeIntegralInRange<int>(0, 4) : 0;
    for (int s = 0; s < specials; ++s) {
        samples[in.ConsumeIntegralInRange<int32_t>(0, frames - 1)] = in.PickValueInArray(kSpecials);
    }
}

void processDrawn(FuzzedDataProvider& in, Instance& fx) {
    const bool replacing = in.ConsumeBool();
    const int32_t frames = fuzz::blockLength(in);
    const int32_t filled = frames > 0 ? frames : 0;
    const bool inPlace = in.ConsumeIntegralInRange<int>(0, 3) == 0;
    // Missing channels: one bit per channel pointer, two for the arrays.
    const uint8_t missing =
        in.ConsumeIntegralInRange<int>(0, 15) == 0 ? in.ConsumeIntegral<uint8_t>() : 0;

    float* in0 = audio[0].data();
    float* in1 = audio[1].data();
    float* out0 = inPlace ? in0 : audio[2].data();
    float* out1 = inPlace ? in1 : audio[3].data();
    fillAudio(in, in0, filled);
    fillAudio(in, in1, filled);
    if (!inPlace) {
        // Replacing or not, the outputs are written: what was there must not matter.
        const float before = in.PickValueInArray({0.0f, 0.25f, kSpecials[0]});
        std::fill(out0, out0 + filled, before);
        std::fill(out1, out1 + filled, before);
    }
    float* inputs[2] = {(missing & 1) ? nullptr : in0, (missing & 2) ? nullptr : in1};
    float* outputs[2] = {(missing & 4) ? nullptr : out0, (missing & 8) ? nullptr : out1};
    float** inputArray = (missing & 16) ? nullptr : inputs;
    float** outputArray = (missing & 32) ? nullptr : outputs;

    // Which frames came in finite and in range (a missing channel is silence).
    std::vector<bool> clean(filled, true);
    for (int ch = 0; ch < 2 && inputArray; ++ch) {
        const float* x = inputArray[ch];
        for (int32_t i = 0; x && i < filled; ++i) {
            if (!std::isfinite(x[i])) {
                clean[i] = false;
            } else if (std::fabs(x[i]) > kFiniteInputLimit) {
                clean[i] = false;
                fx.largeInput = true;
            }
        }
    }

    {
        Call call(replacing ? kCallProcessReplacing : kCallProcess);
        AEffectProcessProc proc = replacing ? fx.record->processReplacing : fx.record->process;
        proc(fx.record, inputArray, outputArray, frames);
    }
    checkRecord(fx, replacing ? "processReplacing" : "process");
    if (fx.largeInput || !outputArray) {
        return;
    }
    for (int ch = 0; ch < 2; ++ch) {
        const float* y = outputArray[ch];
        for (int32_t i = 0; y && i < filled; ++i) {
            if (clean[i] && !std::isfinite(y[i])) {
                finding("%s: output %d frame %d is %g for finite input (%d frames)",
                        replacing ? "processReplacing" : "process", ch, i,
                        static_cast<double>(y[i]), frames);
            }
        }
    }
}

// ---- The exported snapshot -------------------------------------------------

void snapshotDrawn(FuzzedDataProvider& in, Instance& fx) {
    if (!snapshot) {
        return;
    }
    const char* path = in.PickValueInArray<const char*>({"/dev/null", "", nullptr});
    {
        Call call(kCallSnapshot);
        snapshot(in.ConsumeIntegralInRange<int>(0, 7) == 0 ? nullptr : fx.record, path);
    }
    checkRecord(fx, "FumaraEditorSnapshot");
}

// Instances take the library-wide sample rate when they are made: every input
// starts from the rate the library loads with, so that it replays alike. One
// instance kept for the purpose sets it back when an input changed it.
Instance rateKeeper;

void restoreLibraryRate() {
    if (!rateKeeper.record) {
        hostVersionAnswer = 2400;
        Call call(kCallEntry);
        rateKeeper.record = entryVst(hostCallback);
        rateKeeper.expected = *rateKeeper.record;
    }
    if (rateChanged) {
        dispatch(rateKeeper, effSetSampleRate, 0, 0, nullptr, 44100.0f);
        rateChanged = false;
    }
}

void printTotals() {
    std::fprintf(stderr, "fumara-fuzz: %llu inputs, %llu calls into the plug-in\n",
                 static_cast<unsigned long long>(inputs),
                 static_cast<unsigned long long>(fuzz::pluginCalls()));
    if (std::getenv("FUMARA_FUZZ_PROFILE")) {
        fuzz::printCallProfile();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    const char* path = std::getenv("FUMARA_FUZZ_MODULE");
    module = new PluginLoader(path ? path : FUMARA_MODULE_PATH);
    if (!module->loaded()) {
        std::fprintf(stderr, "fumara-fuzz: cannot load %s: %s\n", path ? path : FUMARA_MODULE_PATH,
                     module->error().c_str());
        std::exit(2);
    }
    entryMain = reinterpret_cast<PluginEntryPoint>(module->symbol("main"));
    entryVst = reinterpret_cast<PluginEntryPoint>(module->symbol("VSTPluginMain"));
    snapshot = reinterpret_cast<SnapshotFunction>(module->symbol("FumaraEditorSnapshot"));
    if (!entryMain || !entryVst) {
        std::fprintf(stderr, "fumara-fuzz: the module exports no entry point\n");
        std::exit(2);
    }
    for (std::vector<float>& channel : audio) {
        channel.assign(kMaxFrames, 0.0f);
    }
    fuzz::openDisplay();
    fuzz::startWatchdog();
    std::atexit(printTotals);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ++inputs;
    restoreLibraryRate();
    FuzzedDataProvider in(data, size);
    addInstance(in);
    for (int calls = 0; calls < kMaxCallsPerInput && in.remaining_bytes() > 0; ++calls) {
        // The mix of a busy host: mostly dispatcher calls and parameter
        // traffic, blocks in between, now and then new sizes, an editor, a
        // snapshot or a new instance (the costly calls, kept rare enough that
        // an input runs in a fraction of a second).
        const int action = in.ConsumeIntegralInRange<int>(0, 4095);
        if (action >= 4088 && action < 4093 && in.ConsumeIntegralInRange<int>(0, 3)) {
            continue; // the editor's life below: one draw in four
        }
        if (action >= 4086 && action < 4088) {
            addInstance(in);
            continue;
        }
        Instance& fx = instances[in.ConsumeIntegralInRange<int>(0, kMaxInstances - 1)];
        if (!fx.record) {
            continue;
        }
        if (action < 1740) {
            dispatchDrawn(in, fx);
        } else if (action < 2790) {
            setParameterDrawn(in, fx);
        } else if (action < 3540) {
            getParameterDrawn(in, fx);
        } else if (action < 4040) {
            processDrawn(in, fx);
        } else if (action < 4056) {
            // The host's rhythm: suspend, new sizes, resume.
            dispatch(fx, effMainsChanged, 0, 0, nullptr, 0.0f);
            dispatch(fx, effSetSampleRate, 0, 0, nullptr, fuzz::hostileFloat(in));
            dispatch(fx, effSetBlockSize, 0, fuzz::hostileValue(in), nullptr, 0.0f);
            dispatch(fx, effMainsChanged, 0, 1, nullptr, 0.0f);
        } else if (action < 4086) {
            dispatchDrawn(in, fx);
        } else if (action < 4093) {
            // The editor's life: open, a few idles, maybe close.
            dispatch(fx, effEditOpen, 0, 0, editorParent(in), 0.0f);
            for (int i = in.ConsumeIntegralInRange<int>(0, 2); i > 0; --i) {
                dispatch(fx, effEditIdle, 0, 0, nullptr, 0.0f);
            }
            if (in.ConsumeBool()) {
                dispatch(fx, effEditClose, 0, 0, nullptr, 0.0f);
            }
            drainHostEvents();
        } else if (action < 4094) {
            snapshotDrawn(in, fx);
        } else {
            dispatch(fx, effClose, 0, 0, nullptr, 0.0f);
        }
    }
    closeAll();
    drainHostEvents();
    return 0;
}
