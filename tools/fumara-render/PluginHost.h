// The renderer's side of the plug-in interface: loads a module, creates one
// instance through its entry point and drives it the way a host does.
#pragma once

#include "host/AEffect.h"
#include "tools/PluginLoader.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace render {

class PluginHost {
public:
    PluginHost() = default;
    // Suspends and closes the instance, then unloads the module.
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    // Loads the module and creates an instance (entry point, effOpen). On
    // failure answers false with the reason.
    bool load(const std::string& path, std::string& error);

    AEffect* effect() const { return instance; }
    // Address of another function the module exports, or null.
    void* symbol(const char* name) const;
    int32_t numParams() const { return instance ? instance->numParams : 0; }
    int32_t numPrograms() const { return instance ? instance->numPrograms : 0; }

    std::string effectName();
    std::string vendorName();
    std::string paramName(int32_t index);
    std::string paramDisplay(int32_t index);
    std::string paramLabel(int32_t index);
    // The name a host lists for a program (effGetProgramNameIndexed).
    std::string programName(int32_t index);

    // The parameter index for what the user wrote: an index, or a name as
    // the plug-in reports it (exactly, or ignoring case, blanks, '-' and '_').
    // On failure answers -1 with a message that lists the valid names.
    int32_t findParameter(const std::string& written, std::string& error);

    void setSampleRate(float rate);
    void setBlockSize(int32_t frames);
    void selectProgram(int32_t program);
    void setParameter(int32_t index, float value);
    float getParameter(int32_t index);

    // effMainsChanged(1) and effStartProcess; stop() undoes both.
    void start();
    void stop();

    // One block of `frames` (at most the block size): two input channels in,
    // two output channels out. Extra plug-in channels get silence.
    void process(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                 int32_t frames);

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
