// The renderer's LV2 host over the shared lilv host: the bundle loaded, its names and the
// table's parameters, the instance made at the start, and processing.
#include "tools/fumara-render/Lv2Host.h"

#include <cstdio>

namespace render {

Lv2Host::Lv2Host() {
    for (int32_t i = 0; i < kNamedParameterCount; ++i) {
        values[i] = kNamedParameters[i].defaultValue;
    }
}

Lv2Host::~Lv2Host() = default;

bool Lv2Host::load(const std::string& path, std::string& error) {
    bundle = std::make_unique<lilvhost::Bundle>(path);
    if (!bundle->plugin()) {
        error = bundle->error();
        return false;
    }
    return true;
}

std::string Lv2Host::effectName() {
    return bundle ? bundle->name() : "";
}

std::string Lv2Host::vendorName() {
    return bundle ? bundle->maker() : "";
}

std::string Lv2Host::paramName(int32_t index) {
    return index >= 0 && index < numParams() ? kNamedParameters[index].name : "";
}

std::string Lv2Host::paramDisplay(int32_t index) {
    char value[32];
    std::snprintf(value, sizeof value, "%f", static_cast<double>(getParameter(index)));
    return value;
}

void Lv2Host::setParameter(int32_t index, float value) {
    if (index >= 0 && index < numParams()) {
        values[index] = value;
        if (instance) {
            instance->control(index) = value;
        }
    }
}

float Lv2Host::getParameter(int32_t index) {
    return index >= 0 && index < numParams() ? values[index] : 0.0f;
}

bool Lv2Host::start(std::string& error) {
    if (!bundle || !bundle->plugin()) {
        error = "no plug-in";
        return false;
    }
    if (!instance) {
        // The block length the renderer uses, as a host announces it.
        instance = std::make_unique<lilvhost::Instance>(*bundle, sampleRate, blockSize);
        if (!instance->ok()) {
            instance.reset();
            error = "the LV2 plug-in refused to run at " + std::to_string(sampleRate) + " Hz";
            return false;
        }
        for (int32_t i = 0; i < kNamedParameterCount; ++i) {
            instance->control(i) = values[i];
        }
    }
    instance->activate();
    return true;
}

void Lv2Host::stop() {
    if (instance) {
        instance->deactivate();
    }
}

void Lv2Host::process(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                      int32_t frames) {
    if (!instance || !instance->active() || frames <= 0 || frames > blockSize) {
        return;
    }
    instance->connectAudio(inLeft, inRight, outLeft, outRight);
    instance->run(static_cast<uint32_t>(frames));
}

} // namespace render
