// The renderer's host for the LV2 bundle: the shared lilv host (tools/LilvHost.h)
// behind the renderer's interface. It drives one instance as an LV2 host does
// (a parameter of the table per control port; no programs). The instance is
// made when processing starts, at the rate and block length set by then, with
// the options feature announcing the block length.
#pragma once

#include "tools/LilvHost.h"
#include "tools/fumara-render/PluginHost.h"

#include <cstdint>
#include <memory>
#include <string>

namespace render {

class Lv2Host : public PluginHost {
public:
    Lv2Host();
    ~Lv2Host() override;

    // Loads the bundle folder; refuses a path that is no folder or a bundle
    // without the project's plug-in.
    bool load(const std::string& path, std::string& error) override;

    int32_t numParams() const override { return kNamedParameterCount; }
    int32_t numPrograms() const override { return 0; }

    std::string effectName() override;
    std::string vendorName() override;
    std::string paramName(int32_t index) override;
    std::string paramDisplay(int32_t index) override;
    std::string paramLabel(int32_t index) override { return ""; }
    std::string programName(int32_t index) override { return ""; }

    void setSampleRate(float rate) override { sampleRate = rate; }
    void setBlockSize(int32_t frames) override { blockSize = frames; }
    void selectProgram(int32_t program) override {}
    void setParameter(int32_t index, float value) override;
    float getParameter(int32_t index) override;

    bool start(std::string& error) override;
    void stop() override;
    void process(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                 int32_t frames) override;

private:
    std::unique_ptr<lilvhost::Bundle> bundle;
    std::unique_ptr<lilvhost::Instance> instance;
    float sampleRate = 44100.0f;
    int32_t blockSize = 0;
    // The control ports' values, kept until the instance is made.
    float values[kNamedParameterCount];
};

} // namespace render
