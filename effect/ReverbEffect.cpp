// The VST 2.x effect's operations: parameters and what its editor asks, blocks, the program
// bank and its names, the texts the host reads, and the sample rate and block size.
#include "effect/ReverbEffect.h"

#include "editor/ReverbEditor.h"
#include "engine/SampleRate.h"
#include "host/ValueText.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr const char* kDefaultProgramName = "Init";
constexpr const char* kParamLabel = "units";

} // namespace

static_assert(sizeof(std::atomic<float>) == sizeof(float) &&
                  sizeof(ReverbProgram) == 32 * sizeof(float) + 24,
              "a program is 32 values and a 24-byte name");

ReverbProgram::ReverbProgram() {
    for (int32_t i = 0; i < kNumValues; ++i) {
        values[i].store(parameterInfo(i).defaultValue, std::memory_order_relaxed);
    }
    copyText(name, kDefaultProgramName, kNameSize);
}

ReverbEffect::ReverbEffect(audioMasterCallback audioMaster)
    : ExtendedEffectBase(audioMaster, kNumPrograms, kNumParams),
      core(usableSampleRate(kDefaultSampleRate)) {
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
    // The core (with the engine) is destroyed next; the base then deletes the editor.
}

ReverbProgram* ReverbEffect::currentProgram() {
    return programs ? &programs[selectedProgram.load(std::memory_order_relaxed)] : nullptr;
}

EditorBase* ReverbEffect::parameterEditor() const {
    return dynamic_cast<EditorBase*>(editor);
}

void ReverbEffect::setParameter(int32_t index, float value) {
    // NaN and infinities are ignored; other values are used clamped to 0 to
    // 1, so the editor, the program and the core all hold what is used.
    if (!normaliseParameterValue(value)) {
        return;
    }
    if (EditorBase* view = parameterEditor()) {
        view->setParameter(index, value);
    }
    ReverbProgram* program = currentProgram();
    if (program && index >= 0 && index < kNumParams) {
        program->values[index].store(value, std::memory_order_relaxed);
    }
    core.setParameter(index, value);
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
    core.process(sampleFrames, inputs ? inputs[0] : nullptr, inputs ? inputs[1] : nullptr,
                 outputs ? outputs[0] : nullptr, outputs ? outputs[1] : nullptr);
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
    const char* name = parameterInfo(index).name;
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
    core.setSampleRate(wholeRate);
}

void ReverbEffect::setBlockSize(int32_t size) {
    // No usable size, or more than the engine's work buffers may hold: the
    // capacity stays as it was (a longer block is then processed in pieces).
    core.setBlockSize(size);
}

void ReverbEffect::resume() {}

bool ReverbEffect::getEffectName(char* name) {
    copyText(name, kPluginName, kEffectNameSize);
    return true;
}

bool ReverbEffect::getProductString(char* text) {
    copyText(text, kPluginName, kProductTextSize);
    return true;
}

bool ReverbEffect::getVendorString(char* text) {
    copyText(text, kVendorName, kVendorTextSize);
    return true;
}
