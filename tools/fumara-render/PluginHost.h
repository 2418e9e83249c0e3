// The renderer's side of a plug-in: loads it from a path and drives one
// instance the way a host does. Two formats: the VST 2.x module, loaded
// through its entry point (VstHost), and the LV2 bundle, loaded through lilv
// (Lv2Host).
#pragma once

#include "host/AEffect.h"

#include <cstdint>
#include <memory>
#include <string>

namespace render {

class PluginHost {
public:
    PluginHost() = default;
    virtual ~PluginHost() = default;
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    // The host for what the path names: a folder, or a name ending in .lv2,
    // is an LV2 bundle; anything else a VST 2.x module.
    static std::unique_ptr<PluginHost> forPath(const std::string& path);

    // Loads the plug-in and makes it ready to be set up. On failure answers
    // false with the reason.
    virtual bool load(const std::string& path, std::string& error) = 0;

    // The VST 2.x record and the module's other exports (none elsewhere).
    virtual AEffect* effect() const { return nullptr; }
    virtual void* symbol(const char* name) const { return nullptr; }
    virtual int32_t numParams() const = 0;
    virtual int32_t numPrograms() const = 0;

    virtual std::string effectName() = 0;
    virtual std::string vendorName() = 0;
    virtual std::string paramName(int32_t index) = 0;
    virtual std::string paramDisplay(int32_t index) = 0;
    virtual std::string paramLabel(int32_t index) = 0;
    virtual std::string programName(int32_t index) = 0;

    // The parameter index for what the user wrote: an index, or a name as
    // the plug-in reports it (exactly, or ignoring case, blanks, '-' and '_').
    // On failure answers -1 with a message that lists the valid names.
    int32_t findParameter(const std::string& written, std::string& error);

    virtual void setSampleRate(float rate) = 0;
    virtual void setBlockSize(int32_t frames) = 0;
    virtual void selectProgram(int32_t program) = 0;
    virtual void setParameter(int32_t index, float value) = 0;
    virtual float getParameter(int32_t index) = 0;

    // Starts processing with the rate, block size and values set so far;
    // false with the reason when the plug-in refuses them.
    virtual bool start(std::string& error) = 0;
    virtual void stop() = 0;

    // One block of `frames` (at most the block size): two input channels in,
    // two output channels out. Extra plug-in channels get silence.
    virtual void process(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                         int32_t frames) = 0;
};

} // namespace render
