// The renderer's host for the VST 2.x module: loads it, creates one instance
// through its entry point and drives it the way a host does.
#pragma once

#include "host/AEffect.h"
#include "tools/PluginLoader.h"
#include "tools/fumara-render/PluginHost.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace render {

class VstHost : public PluginHost {
public:
    VstHost() = default;
    // Suspends and closes the instance, then unloads the module.
    ~VstHost() override;

    // Loads the module and creates an instance (entry point, effOpen). On
    // failure answers false with the reason.
    bool load(const std::string& path, std::string& error) override;

    AEffect* effect() const override { return instance; }
    // Address of another function the module exports, or null.
    void* symbol(const char* name) const override;
    int32_t numParams() const override { return instance ? instance->numParams : 0; }
    int32_t numPrograms() const override { return instance ? instance->numPrograms : 0; }

    std::string effectName() override;
    std::string vendorName() override;
    std::string paramName(int32_t index) override;
    std::string paramDisplay(int32_t index) override;
    std::string paramLabel(int32_t index) override;
    // The name a host lists for a program (effGetProgramNameIndexed).
    std::string programName(int32_t index) override;

    void setSampleRate(float rate) override;
    void setBlockSize(int32_t frames) override;
    void selectProgram(int32_t program) override;
    void setParameter(int32_t index, float value) override;
    float getParameter(int32_t index) override;

    // effMainsChanged(1) and effStartProcess; stop() undoes both.
    bool start(std::string& error) override;
    void stop() override;

    void process(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                 int32_t frames) override;

    // What the instance asked of the host callback, for the answers it gets.
    static float hostSampleRate;
    static int32_t hostBlockSize;

private:
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);
    std::string text(int32_t opcode, int32_t index);

    std::unique_ptr<PluginLoader> module;
    AEffect* instance = nullptr;
    bool running = false;
    int32_t capacity = 0;
    std::vector<std::vector<float>> inputChannels;
    std::vector<std::vector<float>> outputChannels;
    std::vector<float*> inputPointers;
    std::vector<float*> outputPointers;
};

} // namespace render
