#include "effect/ReverbEffect.h"

#include "editor/ReverbEditor.h"
#include "engine/SampleRate.h"
#include "host/ValueText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <thread>

namespace {

constexpr const char* kEffectName = "KDLV Fumara";
constexpr const char* kVendorName = "Tarnwick";
constexpr const char* kDefaultProgramName = "Init";
constexpr const char* kParamLabel = "units";
constexpr const char* kUnusedName = "Unused";

// Names of the parameters that do something; every other index is "Unused".
constexpr const char* kParamNames[] = {
    "Mode",           "Length",          "Room Size",         "PreDelay",
    "Lowpass Cutoff", "Highpass Cutoff", "Stereo Separation", "Reverb Level",
    "Dry Level",
};
constexpr int32_t kNamedParams = sizeof kParamNames / sizeof kParamNames[0];

// The values of a new program, by parameter index; 9 to 31 are 0.5.
constexpr float kDefaultValues[kNamedParams] = {0.0f, 0.5f, 0.5f, 0.0f, 0.7f,
                                                0.0f, 0.5f, 0.6f, 0.9f};
constexpr float kUnusedDefault = 0.5f;

// Writes the direct signal, dry x input, into each output the host provided
// (silence where its input is missing). Used for a block that arrives while the
// engine's storage is being re-sized.
void passDrySignal(const float* in, float* out, int32_t frames, float dry) {
    if (!out) {
        return;
    }
    if (!in) {
        std::memset(out, 0, sizeof(float) * static_cast<size_t>(frames));
        return;
    }
    const double gain = dry;
    for (int32_t i = 0; i < frames; ++i) {
        out[i] = static_cast<float>(gain * in[i]);
    }
}

} // namespace

static_assert(sizeof(std::atomic<float>) == sizeof(float) &&
                  sizeof(ReverbProgram) == 32 * sizeof(float) + 24,
              "a program is 32 values and a 24-byte name");

ReverbProgram::ReverbProgram() {
    for (int32_t i = 0; i < kNumValues; ++i) {
        values[i].store(i < kNamedParams ? kDefaultValues[i] : kUnusedDefault,
                        std::memory_order_relaxed);
    }
    copyText(name, kDefaultProgramName, kNameSize);
}

ReverbEffect::ReverbEffect(audioMasterCallback audioMaster)
    : ExtendedEffectBase(audioMaster, kNumPrograms, kNumParams) {
    // The engine is built (at the library-wide rate) as a member, right after
    // the base; rebuildPending and the gains start as declared.
    programs = new (std::nothrow) ReverbProgram[kNumPrograms];
    if (programs) {
        setProgram(0);
    } else {
        // Every parameter and program operation reads the bank: the entry
        // point must not hand this instance to the host.
        allocationFailure = true;
    }
    setNumInputs(kNumInputs);
    setNumOutputs(kNumOutputs);
    setHasVu(true);
    setCanReplacing(true);
    setUniqueId(kUniqueId);

    // The editor is registered with the base, which sets the has-editor flag.
    // Without one the effect still works; the host offers no editor.
    try {
        setEditor(new (std::nothrow) ReverbEditor(this));
    } catch (...) {
        setEditor(nullptr);
    }
    resume();
}

ReverbEffect::~ReverbEffect() {
    // Hosts close the editor before the effect; if this one did not, the
    // editor's window and controls go before anything they could reach.
    if (editor) {
        editor->close();
    }
    delete[] programs;
    programs = nullptr;
    // The engine member is destroyed next; the base then deletes the editor.
}

float ReverbEffect::levelGain(float value) {
    const float exponent = static_cast<float>((static_cast<double>(value) - 0.9) * 10.0);
    return static_cast<float>(std::pow(2.0, static_cast<double>(exponent)));
}

ReverbProgram* ReverbEffect::currentProgram() {
    return programs ? &programs[selectedProgram.load(std::memory_order_relaxed)] : nullptr;
}

EditorBase* ReverbEffect::parameterEditor() const {
    return dynamic_cast<EditorBase*>(editor);
}

void ReverbEffect::setParameter(int32_t index, float value) {
    // Not a number, or infinite: no parameter can hold it without turning the
    // engine's settings or the output into NaN, so it is ignored.
    if (!std::isfinite(value)) {
        return;
    }
    // Parameter values are normalised: anything beyond 0 to 1 (a damaged
    // session, a runaway automation lane) is stored and used as the nearest
    // end, so the host reads back what the effect uses and no gain or engine
    // setting leaves its range.
    value = std::clamp(value, 0.0f, 1.0f);
    if (EditorBase* view = parameterEditor()) {
        view->setParameter(index, value);
    }
    ReverbProgram* program = currentProgram();
    if (program && index >= 0 && index < kNumParams) {
        program->values[index].store(value, std::memory_order_relaxed);
    }
    // rebuildPending is raised after the engine setting it depends on has been
    // stored (release), so the block that consumes it sees that setting.
    const double v = value;
    switch (index) {
    case kMode:
    case kLength:
    case kRoomSize:
        rebuildPending.store(true, std::memory_order_release);
        break;
    case kPreDelay:
        engine.setPreDelay(static_cast<float>(v * 0.98));
        rebuildPending.store(true, std::memory_order_release);
        break;
    case kLowpassCutoff:
        engine.setLowpassCutoff(static_cast<float>(v + 0.1));
        break;
    case kHighpassCutoff:
        engine.setHighpassCutoff(value);
        break;
    case kStereoSeparation:
        engine.setSeparation(static_cast<float>(v * 0.98 + 0.001));
        rebuildPending.store(true, std::memory_order_release);
        break;
    case kReverbLevel:
        reverbGain.store(levelGain(value), std::memory_order_relaxed);
        break;
    case kDryLevel:
        dryGain.store(levelGain(value), std::memory_order_relaxed);
        break;
    default:
        break;
    }
    if (editor) {
        editor->postUpdate();
    }
}

void ReverbEffect::setParameterAutomated(int32_t index, float value) {
    ExtendedEffectBase::setParameterAutomated(index, value);
}

bool ReverbEffect::beginEdit(int32_t index) {
    return ExtendedEffectBase::beginEdit(index);
}

bool ReverbEffect::endEdit(int32_t index) {
    return ExtendedEffectBase::endEdit(index);
}

void ReverbEffect::hostIdle() {
    masterIdle();
}

bool ReverbEffect::resizeEditor(int32_t width, int32_t height) {
    return sizeWindow(width, height);
}

float ReverbEffect::getParameter(int32_t index) {
    ReverbProgram* program = currentProgram();
    if (!program || index < 0 || index >= kNumParams) {
        return 0.0f;
    }
    return program->values[index].load(std::memory_order_relaxed);
}

void ReverbEffect::process(float** inputs, float** outputs, int32_t sampleFrames) {
    processBlock(inputs, outputs, sampleFrames);
}

void ReverbEffect::processReplacing(float** inputs, float** outputs, int32_t sampleFrames) {
    processBlock(inputs, outputs, sampleFrames);
}

void ReverbEffect::processBlock(float** inputs, float** outputs, int32_t sampleFrames) {
    if (sampleFrames < 0) {
        return; // no block at all: nothing to write
    }
    const float* inLeft = inputs ? inputs[0] : nullptr;
    const float* inRight = inputs ? inputs[1] : nullptr;
    float* outLeft = outputs ? outputs[0] : nullptr;
    float* outRight = outputs ? outputs[1] : nullptr;
    const float dry = dryGain.load(std::memory_order_relaxed);

    int32_t expected = kEngineIdle;
    if (!engineState.compare_exchange_strong(expected, kEngineProcessing, std::memory_order_acquire,
                                             std::memory_order_relaxed)) {
        // The control thread is re-sizing the engine: leave it alone and let
        // the direct signal through for this block.
        passDrySignal(inLeft, outLeft, sampleFrames, dry);
        passDrySignal(inRight, outRight, sampleFrames, dry);
        return;
    }
    // Cleared before the rebuild, so that a change arriving meanwhile raises
    // it again for the next block.
    if (rebuildPending.exchange(false, std::memory_order_acquire)) {
        rebuildEngine();
    }
    // The engine processes a block longer than its capacity in pieces of at
    // most the capacity, and answers missing channels with silence.
    engine.process(sampleFrames, inLeft, inRight, outLeft, outRight, dry,
                   reverbGain.load(std::memory_order_relaxed));
    engineState.store(kEngineIdle, std::memory_order_release);
}

void ReverbEffect::rebuildEngine() {
    ReverbProgram* program = currentProgram();
    if (!program) {
        return;
    }
    const float length = program->values[kLength].load(std::memory_order_relaxed);
    const float mode = program->values[kMode].load(std::memory_order_relaxed);
    const float roomSize = program->values[kRoomSize].load(std::memory_order_relaxed);
    engine.setLength(length);
    engine.setMode(truncateToInt32(static_cast<double>(mode) * 16.0));
    engine.setRoomSize(roomSize);
}

void ReverbEffect::acquireEngineForResize() {
    for (;;) {
        int32_t expected = kEngineIdle;
        if (engineState.compare_exchange_weak(expected, kEngineResizing, std::memory_order_acquire,
                                              std::memory_order_relaxed)) {
            return;
        }
        std::this_thread::yield();
    }
}

void ReverbEffect::releaseEngine() {
    engineState.store(kEngineIdle, std::memory_order_release);
}

int32_t ReverbEffect::getProgram() {
    return selectedProgram.load(std::memory_order_relaxed);
}

void ReverbEffect::setProgram(int32_t program) {
    if (!programs || program < 0 || program >= kNumPrograms) {
        return;
    }
    selectedProgram.store(program, std::memory_order_relaxed);
    curProgram = program;
    // Every value again, in index order, through the virtual setter: the
    // engine, the gains, rebuildPending and the editor follow the program.
    ReverbProgram& selected = programs[program];
    for (int32_t i = 0; i < kNumParams; ++i) {
        setParameter(i, selected.values[i].load(std::memory_order_relaxed));
    }
}

void ReverbEffect::setProgramName(const char* name) {
    if (ReverbProgram* program = currentProgram()) {
        // Longer names are cut to the 23 characters the record holds.
        copyText(program->name, name, ReverbProgram::kNameSize);
    }
}

void ReverbEffect::getProgramName(char* name) {
    ReverbProgram* program = currentProgram();
    if (!program) {
        copyText(name, "", kProgramNameSize);
        return;
    }
    if (std::strcmp(program->name, kDefaultProgramName) == 0) {
        std::snprintf(name, kProgramNameSize, "%s %d", kDefaultProgramName,
                      static_cast<int>(getProgram()) + 1);
    } else {
        copyText(name, program->name, kProgramNameSize);
    }
}

bool ReverbEffect::getProgramNameIndexed(int32_t category, int32_t index, char* text) {
    if (!programs || index < 0 || index >= kNumPrograms) {
        return false;
    }
    copyText(text, programs[index].name, kProgramNameSize);
    return true;
}

void ReverbEffect::getParamLabel(int32_t index, char* label) {
    copyText(label, kParamLabel, kParamTextSize);
}

void ReverbEffect::getParamDisplay(int32_t index, char* text) {
    ReverbProgram* program = currentProgram();
    if (program && index >= 0 && index < kNumParams) {
        floatToText(program->values[index].load(std::memory_order_relaxed), text);
    }
}

void ReverbEffect::getParamName(int32_t index, char* text) {
    // The names are written whole (up to 17 characters): hosts hand buffers
    // larger than the nominal 8 characters for names.
    const char* name = index >= 0 && index < kNamedParams ? kParamNames[index] : kUnusedName;
    copyText(text, name, std::strlen(name) + 1);
}

void ReverbEffect::setSampleRate(float rate) {
    // The rate is shared by every instance of the library; one that no engine
    // can run at (NaN, below 1, beyond the largest supported rate) changes nothing.
    const int32_t wholeRate = truncateToInt32(rate);
    if (!isUsableSampleRate(wholeRate)) {
        return;
    }
    currentSampleRate = wholeRate;
    acquireEngineForResize();
    engine.sampleRateChanged();
    releaseEngine();
}

void ReverbEffect::setBlockSize(int32_t size) {
    // No usable size, or more than the engine's work buffers may hold: the
    // capacity stays as it was (a longer block is then processed in pieces).
    if (size < 1 || size > kMaxBlockSize) {
        return;
    }
    acquireEngineForResize();
    if (engine.getBlockCapacity() != size) {
        engine.setBlockSize(size);
    }
    releaseEngine();
}

void ReverbEffect::resume() {}

bool ReverbEffect::getEffectName(char* name) {
    copyText(name, kEffectName, kEffectNameSize);
    return true;
}

bool ReverbEffect::getProductString(char* text) {
    copyText(text, kEffectName, kProductTextSize);
    return true;
}

bool ReverbEffect::getVendorString(char* text) {
    copyText(text, kVendorName, kVendorTextSize);
    return true;
}
