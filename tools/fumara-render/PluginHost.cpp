#include "tools/fumara-render/PluginHost.h"

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
        return static_cast<intptr_t>(PluginHost::hostSampleRate);
    case audioMasterGetBlockSize:
        return PluginHost::hostBlockSize;
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

// Lower case without blanks, '-' and '_': "Room Size", "room-size" and
// "roomsize" are one name.
std::string folded(const std::string& name) {
    std::string result;
    for (char c : name) {
        if (c != ' ' && c != '-' && c != '_' && c != '\t') {
            result += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return result;
}

} // namespace

float PluginHost::hostSampleRate = 44100.0f;
int32_t PluginHost::hostBlockSize = 512;

PluginHost::~PluginHost() {
    if (instance) {
        stop();
        dispatch(effClose);
        instance = nullptr;
    }
    module.reset();
}

intptr_t PluginHost::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    return instance ? instance->dispatcher(instance, opcode, index, value, ptr, opt) : 0;
}

bool PluginHost::load(const std::string& path, std::string& error) {
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

std::string PluginHost::text(int32_t opcode, int32_t index) {
    char buffer[kTextBuffer] = {};
    dispatch(opcode, index, 0, buffer);
    buffer[kTextBuffer - 1] = 0;
    return buffer;
}

void* PluginHost::symbol(const char* name) const {
    return module && name ? module->symbol(name) : nullptr;
}

std::string PluginHost::effectName() {
    return text(effGetEffectName, 0);
}

std::string PluginHost::vendorName() {
    return text(effGetVendorString, 0);
}

std::string PluginHost::paramName(int32_t index) {
    return text(effGetParamName, index);
}

std::string PluginHost::paramDisplay(int32_t index) {
    return text(effGetParamDisplay, index);
}

std::string PluginHost::paramLabel(int32_t index) {
    return text(effGetParamLabel, index);
}

std::string PluginHost::programName(int32_t index) {
    return text(effGetProgramNameIndexed, index);
}

int32_t PluginHost::findParameter(const std::string& written, std::string& error) {
    const int32_t count = numParams();
    const bool digits = !written.empty() && std::all_of(written.begin(), written.end(), [](char c) {
        return c >= '0' && c <= '9';
    });
    if (digits) {
        if (written.size() <= 9 && std::stol(written) < count) {
            return static_cast<int32_t>(std::stol(written));
        }
        error =
            "parameter index " + written + " out of range (0 to " + std::to_string(count - 1) + ")";
        return -1;
    }
    // Each name with the indices that carry it, in index order.
    std::vector<std::string> names;
    std::map<std::string, std::vector<int32_t>> byName;
    for (int32_t i = 0; i < count; ++i) {
        const std::string name = paramName(i);
        if (byName.find(name) == byName.end()) {
            names.push_back(name);
        }
        byName[name].push_back(i);
    }
    std::vector<int32_t> matches;
    auto exact = byName.find(written);
    if (exact != byName.end()) {
        matches = exact->second;
    } else {
        for (const std::string& name : names) {
            if (!folded(name).empty() && folded(name) == folded(written)) {
                matches.insert(matches.end(), byName[name].begin(), byName[name].end());
            }
        }
    }
    if (matches.size() == 1) {
        return matches[0];
    }
    if (matches.size() > 1) {
        error = "\"" + written + "\" names " + std::to_string(matches.size()) +
                " parameters; give its index instead (" + std::to_string(matches.front()) + " to " +
                std::to_string(matches.back()) + ")";
        return -1;
    }
    std::string valid;
    for (const std::string& name : names) {
        if (byName[name].size() == 1) {
            valid += (valid.empty() ? "" : ", ") + name;
        }
    }
    error = "unknown parameter \"" + written + "\"; valid names: " + valid + ", or an index 0 to " +
            std::to_string(count - 1);
    return -1;
}

void PluginHost::setSampleRate(float rate) {
    hostSampleRate = rate;
    dispatch(effSetSampleRate, 0, 0, nullptr, rate);
}

void PluginHost::setBlockSize(int32_t frames) {
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

void PluginHost::selectProgram(int32_t program) {
    dispatch(effSetProgram, 0, program);
}

void PluginHost::setParameter(int32_t index, float value) {
    if (instance) {
        instance->setParameter(instance, index, value);
    }
}

float PluginHost::getParameter(int32_t index) {
    return instance ? instance->getParameter(instance, index) : 0.0f;
}

void PluginHost::start() {
    if (instance && !running) {
        dispatch(effMainsChanged, 0, 1);
        dispatch(effStartProcess);
        running = true;
    }
}

void PluginHost::stop() {
    if (instance && running) {
        dispatch(effStopProcess);
        dispatch(effMainsChanged, 0, 0);
        running = false;
    }
}

void PluginHost::process(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
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
