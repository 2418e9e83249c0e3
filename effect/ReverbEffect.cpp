#include "effect/ReverbEffect.h"

#include "engine/SampleRate.h"
#include "host/ValueText.h"

#include <cmath>
#include <cstring>

namespace {

constexpr const char* kEffectName = "KDLV Fumara";
constexpr const char* kVendorName = "Tarnwick";

// Writes silence into every output channel the host provided.
void clearOutputs(float** outputs, int32_t channels, int32_t sampleFrames) {
    if (!outputs || sampleFrames <= 0) {
        return;
    }
    for (int32_t channel = 0; channel < channels; ++channel) {
        if (outputs[channel]) {
            std::memset(outputs[channel], 0, sizeof(float) * static_cast<size_t>(sampleFrames));
        }
    }
}

} // namespace

ReverbEffect::ReverbEffect(audioMasterCallback audioMaster)
    : ExtendedEffectBase(audioMaster, kNumPrograms, kNumParams) {
    setNumInputs(kNumInputs);
    setNumOutputs(kNumOutputs);
    setHasVu(true);
    setCanReplacing(true);
    setUniqueId(kUniqueId);
    resume();
}

ReverbEffect::~ReverbEffect() = default;

void ReverbEffect::process(float** inputs, float** outputs, int32_t sampleFrames) {
    clearOutputs(outputs, kNumOutputs, sampleFrames);
}

void ReverbEffect::processReplacing(float** inputs, float** outputs, int32_t sampleFrames) {
    clearOutputs(outputs, kNumOutputs, sampleFrames);
}

void ReverbEffect::setSampleRate(float rate) {
    // The rate is shared by every instance of the library; one that no engine can
    // run at (NaN, below 1, beyond the largest supported rate) is ignored.
    const int32_t wholeRate = truncateToInt32(rate);
    if (isUsableSampleRate(wholeRate)) {
        currentSampleRate = wholeRate;
    }
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
