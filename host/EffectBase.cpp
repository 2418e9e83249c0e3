// The record's callbacks that stop every exception at the host's edge, the core opcodes'
// dispatch, the calls back to the host and the parameter text conversions.
#include "host/EffectBase.h"

#include "host/HostEditor.h"
#include "host/ValueText.h"

#include <cmath>
#include <cstring>

namespace {

constexpr int32_t kNoEffectId = fourCharCode('N', 'o', 'E', 'f');
constexpr int32_t kIdentifyAnswer = fourCharCode('N', 'v', 'E', 'f');

EffectBase* owner(AEffect* effect) {
    return effect ? static_cast<EffectBase*>(effect->object) : nullptr;
}

// The record's callbacks. Nothing may unwind into the host, so each one stops
// any exception at the boundary.

intptr_t VSTCALLBACK dispatchCallback(AEffect* effect, int32_t opcode, int32_t index,
                                      intptr_t value, void* ptr, float opt) {
    EffectBase* object = owner(effect);
    if (!object) {
        return 0;
    }
    intptr_t answer = 0;
    try {
        answer = object->dispatcher(opcode, index, value, ptr, opt);
    } catch (...) {
        answer = 0;
    }
    if (opcode == effClose) {
        // The host gives up the record: the object it lives in goes with it.
        effect->object = nullptr;
        try {
            delete object;
        } catch (...) {
        }
        return 1;
    }
    return answer;
}

void VSTCALLBACK processCallback(AEffect* effect, float** inputs, float** outputs,
                                 int32_t sampleFrames) {
    if (EffectBase* object = owner(effect)) {
        try {
            object->process(inputs, outputs, sampleFrames);
        } catch (...) {
        }
    }
}

void VSTCALLBACK processReplacingCallback(AEffect* effect, float** inputs, float** outputs,
                                          int32_t sampleFrames) {
    if (EffectBase* object = owner(effect)) {
        try {
            object->processReplacing(inputs, outputs, sampleFrames);
        } catch (...) {
        }
    }
}

void VSTCALLBACK setParameterCallback(AEffect* effect, int32_t index, float value) {
    if (EffectBase* object = owner(effect)) {
        try {
            object->setParameter(index, value);
        } catch (...) {
        }
    }
}

float VSTCALLBACK getParameterCallback(AEffect* effect, int32_t index) {
    if (EffectBase* object = owner(effect)) {
        try {
            return object->getParameter(index);
        } catch (...) {
        }
    }
    return 0.0f;
}

} // namespace

int32_t clampToInt32(intptr_t value) {
    if (value > static_cast<intptr_t>(INT32_MAX)) {
        return INT32_MAX;
    }
    if (value < static_cast<intptr_t>(INT32_MIN)) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(value);
}

int32_t truncateToInt32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 2147483647.0) {
        return INT32_MAX;
    }
    if (value <= -2147483648.0) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(value);
}

EffectBase::EffectBase(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams)
    : audioMaster(audioMaster), numPrograms(numPrograms), numParams(numParams) {
    std::memset(&record, 0, sizeof record);
    record.magic = kEffectMagic;
    record.dispatcher = dispatchCallback;
    record.process = processCallback;
    record.setParameter = setParameterCallback;
    record.getParameter = getParameterCallback;
    record.numPrograms = numPrograms;
    record.numParams = numParams;
    record.numInputs = 1;
    record.numOutputs = 2;
    record.ioRatio = 1.0f;
    record.object = this;
    record.uniqueID = kNoEffectId;
    record.version = 1;
    record.processReplacing = processReplacingCallback;
}

EffectBase::~EffectBase() {
    HostEditor* doomed = editor;
    editor = nullptr;
    delete doomed;
}

void EffectBase::setEditor(HostEditor* newEditor) {
    editor = newEditor;
    setFlag(effFlagsHasEditor, newEditor != nullptr);
}

void EffectBase::setFlag(int32_t flag, bool state) {
    if (state) {
        record.flags |= flag;
    } else {
        record.flags &= ~flag;
    }
}

void EffectBase::setParameterAutomated(int32_t index, float value) {
    setParameter(index, value);
    if (audioMaster) {
        audioMaster(&record, audioMasterAutomate, index, 0, nullptr, value);
    }
}

void EffectBase::getProgramName(char* name) {
    copyText(name, "", kProgramNameSize);
}

void EffectBase::getParamLabel(int32_t index, char* label) {
    copyText(label, "", kParamTextSize);
}

void EffectBase::getParamDisplay(int32_t index, char* text) {
    copyText(text, "", kParamTextSize);
}

void EffectBase::getParamName(int32_t index, char* text) {
    copyText(text, "", kParamTextSize);
}

intptr_t EffectBase::callHost(intptr_t fallback, int32_t opcode, int32_t index, intptr_t value,
                              void* ptr, float opt) {
    if (!audioMaster) {
        return fallback;
    }
    return audioMaster(&record, opcode, index, value, ptr, opt);
}

int32_t EffectBase::getMasterVersion() {
    const intptr_t version = callHost(1, audioMasterVersion);
    return version == 0 ? 1 : clampToInt32(version);
}

int32_t EffectBase::getCurrentUniqueId() {
    return clampToInt32(callHost(0, audioMasterCurrentId));
}

void EffectBase::masterIdle() {
    callHost(0, audioMasterIdle);
}

bool EffectBase::isInputConnected(int32_t input) {
    return callHost(0, audioMasterPinConnected, input, 0) == 0;
}

bool EffectBase::isOutputConnected(int32_t output) {
    return callHost(0, audioMasterPinConnected, output, 1) == 0;
}

void EffectBase::decibelsToText(float value, char* text) {
    if (!text) {
        return;
    }
    if (value > 0.0f || std::isnan(value)) {
        floatToText(static_cast<float>(20.0 * std::log10(static_cast<double>(value))), text);
    } else {
        copyText(text, "-oo", kParamTextSize);
    }
}

void EffectBase::hertzToText(float samples, char* text) {
    if (samples == 0.0f) {
        floatToText(0.0f, text);
    } else {
        floatToText(getSampleRate() / samples, text);
    }
}

void EffectBase::millisecondsToText(float samples, char* text) {
    const double milliseconds = 1000.0 * samples / getSampleRate();
    floatToText(static_cast<float>(milliseconds), text);
}

void EffectBase::floatToText(float value, char* text) {
    writeFloatText(value, text);
}

void EffectBase::integerToText(int32_t value, char* text) {
    writeIntegerText(value, text);
}

intptr_t EffectBase::dispatchEditor(int32_t opcode, void* ptr) {
    if (!editor) {
        return 0;
    }
    switch (opcode) {
    case effEditGetRect: {
        ERect* rect = nullptr;
        const intptr_t answer = editor->getRect(&rect);
        if (ptr) {
            *static_cast<ERect**>(ptr) = rect;
        }
        return answer;
    }
    case effEditOpen:
        return editor->open(ptr);
    case effEditClose:
        editor->close();
        return 0;
    case effEditIdle:
        editor->idle();
        return 0;
    default:
        return 0;
    }
}

intptr_t EffectBase::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                float opt) {
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        // Only programs the bank holds; a 64-bit value is checked before narrowing.
        if (value >= 0 && value < numPrograms) {
            setProgram(static_cast<int32_t>(value));
        }
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        if (text) {
            setProgramName(text);
        }
        return 0;
    case effGetProgramName:
        if (text) {
            getProgramName(text);
        }
        return 0;
    case effGetParamLabel:
        if (text) {
            getParamLabel(index, text);
        }
        return 0;
    case effGetParamDisplay:
        if (text) {
            getParamDisplay(index, text);
        }
        return 0;
    case effGetParamName:
        if (text) {
            getParamName(index, text);
        }
        return 0;
    case effGetVu:
        return truncateToInt32(static_cast<double>(getVu()) * 32767.0);
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(clampToInt32(value));
        return 0;
    case effMainsChanged:
        if (value == 0) {
            suspend();
        } else {
            resume();
        }
        return 0;
    case effEditGetRect:
    case effEditOpen:
    case effEditClose:
    case effEditIdle:
        return dispatchEditor(opcode, ptr);
    case effIdentify:
        return kIdentifyAnswer;
    case effGetChunk:
        if (!ptr) {
            return 0;
        }
        return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
        if (!ptr) {
            return 0;
        }
        return setChunk(ptr, clampToInt32(value), index != 0);
    default:
        // effEditDraw, effEditMouse, effEditKey, effEditTop, effEditSleep and
        // every opcode this table does not know.
        return 0;
    }
}
