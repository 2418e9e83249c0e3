// The reverb effect as the host drives it: what it reports about itself and how
// it answers the host through the extended base class.
#pragma once

#include "host/ExtendedEffectBase.h"

#include <cstdint>

class ReverbEffect : public ExtendedEffectBase {
public:
    static constexpr int32_t kNumPrograms = 128;
    static constexpr int32_t kNumParams = 32;
    static constexpr int32_t kNumInputs = 2;
    static constexpr int32_t kNumOutputs = 2;
    static constexpr int32_t kUniqueId = fourCharCode('K', 'D', 'F', 'u');
    static constexpr int32_t kVendorVersion = 1000;

    explicit ReverbEffect(audioMasterCallback audioMaster);
    ~ReverbEffect() override;

    // True when construction could not get what the effect needs to run; the
    // entry point then destroys the instance instead of handing it to the host.
    bool allocationFailed() const { return allocationFailure; }

    void process(float** inputs, float** outputs, int32_t sampleFrames) override;
    void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) override;
    void setSampleRate(float rate) override;
    void resume() override;

    bool getEffectName(char* name) override;
    bool getProductString(char* text) override;
    bool getVendorString(char* text) override;
    int32_t getVendorVersion() override { return kVendorVersion; }
    int32_t getPlugCategory() override { return kPlugCategEffect; }

protected:
    bool allocationFailure = false;
};
