// Driving the VST 2.x module: the offline host callback, loading through the entry point, the
// texts read from the instance, parameters, programs, and processing.
#include "tools/fumara-render/VstHost.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

namespace render {

namespace {

constexpr intptr_t kHostVstVersion = 2400;
constexpr intptr_t kProcessLevelOffline = 4;
constexpr size_t kTextBuffer = 256; // far more than any text the interface allows

void copyAnswer(void* ptr, const char* text, size_t size) {
    if (ptr) {
        std::strncpy(static_cast<char*>(ptr), text, size - 1);
        static_cast<char*>(ptr)[size - 1] = 0;
    }
}

// The host callback. The renderer runs one instance on one thread; it answers
// what an offline host knows and nothing else.
intptr_t VSTCALLBACK hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                  void* ptr, float opt) {
    switch (opcode) {
    case audioMasterVersion:
        return kHostVstVersion;
    case audioMasterGetSampleRate:
        return static_cast<intptr_t>(VstHost::hostSampleRate);
    case audioMasterGetBlockSize:
        return VstHost::hostBlockSize;
    case audioMasterGetCurrentProcessLevel:
        return kProcessLevelOffline;
    case audioMasterGetVendorString:
        copyAnswer(ptr, "Tarnwick", 64);
        return 1;
    case audioMasterGetProductString:
        copyAnswer(ptr, "fumara-render", 64);
        return 1;
    case audioMasterGetVendorVersion:
        return 1000;
    default:
        // Automation, idle, edits and every question it cannot answer.
        return 0;
    }
}

} // namespace

float VstHost::hostSampleRate = 44100.0f;
int32_t VstHost::hostBlockSize = 512;

VstHost::~VstHost() {
    if (instance) {
        stop();
        dispatch(effClose);
        instance = nullptr;
    }
    module.reset();
}

intptr_t VstHost::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    return instance ? instance->dispatcher(instance, opcode, index, value, ptr, opt) : 0;
}

bool VstHost::load(const std::string& path, std::string& error) {
    module.reset(new PluginLoader(path));
    if (!module->loaded()) {
        error = "cannot load: " + module->error();
        module.reset();
        return false;
    }
    PluginEntryPoint entry = module->entryPoint();
    if (!entry) {
        error = "not a plug-in: it exports neither VSTPluginMain nor main";
        module.reset();
        return false;
    }
    AEffect* created = entry(hostCallback);
    if (!created || created->magic != kEffectMagic) {
        error = "the plug-in did not create an instance";
        module.reset();
        return false;
    }
    instance = created;
    dispatch(effOpen);
    return true;
}

std::string VstHost::text(int32_t opcode, int32_t index) {
    char buffer[kTextBuffer] = {};
    dispatch(opcode, index, 0, buffer);
    buffer[kTextBuffer - 1] = 0;
    return buffer;
}

void* VstHost::symbol(const char* name) const {
    return module && name ? module->symbol(name) : nullptr;
}

std::string VstHost::effectName() {
    return text(effGetEffectName, 0);
}

std::string VstHost::vendorName() {
    return text(effGetVendorString, 0);
}

std::string VstHost::paramName(int32_t index) {
    return text(effGetParamName, index);
}

std::string VstHost::paramDisplay(int32_t index) {
    return text(effGetParamDisplay, index);
}

std::string VstHost::paramLabel(int32_t index) {
    return text(effGetParamLabel, index);
}

std::string VstHost::programName(int32_t index) {
    return text(effGetProgramNameIndexed, index);
}

void VstHost::setSampleRate(float rate) {
    hostSampleRate = rate;
    dispatch(effSetSampleRate, 0, 0, nullptr, rate);
}

void VstHost::setBlockSize(int32_t frames) {
    hostBlockSize = frames;
    dispatch(effSetBlockSize, 0, frames);
    if (!instance) {
        return;
    }
    const size_t inputs = static_cast<size_t>(std::max(instance->numInputs, 2));
    const size_t outputs = static_cast<size_t>(std::max(instance->numOutputs, 2));
    capacity = frames;
    inputChannels.assign(inputs, std::vector<float>(static_cast<size_t>(frames), 0.0f));
    outputChannels.assign(outputs, std::vector<float>(static_cast<size_t>(frames), 0.0f));
    inputPointers.clear();
    outputPointers.clear();
    for (auto& channel : inputChannels) {
        inputPointers.push_back(channel.data());
    }
    for (auto& channel : outputChannels) {
        outputPointers.push_back(channel.data());
    }
}

void VstHost::selectProgram(int32_t program) {
    dispatch(effSetProgram, 0, program);
}

void VstHost::setParameter(int32_t index, float value) {
    if (instance) {
        instance->setParameter(instance, index, value);
    }
}

float VstHost::getParameter(int32_t index) {
    return instance ? instance->getParameter(instance, index) : 0.0f;
}

bool VstHost::start(std::string& error) {
    if (!instance) {
        error = "no instance";
        return false;
    }
    if (!running) {
        dispatch(effMainsChanged, 0, 1);
        dispatch(effStartProcess);
        running = true;
    }
    return true;
}

void VstHost::stop() {
    if (instance && running) {
        dispatch(effStopProcess);
        dispatch(effMainsChanged, 0, 0);
        running = false;
    }
}

void VstHost::process(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                      int32_t frames) {
    if (!instance || frames <= 0 || frames > capacity) {
        return;
    }
    const size_t bytes = sizeof(float) * static_cast<size_t>(frames);
    std::memcpy(inputPointers[0], inLeft, bytes);
    std::memcpy(inputPointers[1], inRight, bytes);
    for (float* channel : outputPointers) {
        std::memset(channel, 0, bytes);
    }
    if (instance->flags & effFlagsCanReplacing) {
        instance->processReplacing(instance, inputPointers.data(), outputPointers.data(), frames);
    } else {
        instance->process(instance, inputPointers.data(), outputPointers.data(), frames);
    }
    std::memcpy(outLeft, outputPointers[0], bytes);
    std::memcpy(outRight, outputPointers[1], bytes);
}

} // namespace render
