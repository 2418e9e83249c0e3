// The renderer's host for the LV2 bundle, through lilv: loads the bundle,
// finds the project's plug-in in it, and drives one instance as an LV2 host
// does (the control ports as parameters, in port order; no programs). The
// instance is made when processing starts, at the rate and block length set
// by then, with the options feature announcing the block length.
#pragma once

#include "tools/fumara-render/PluginHost.h"

#include <cstdint>
#include <lilv/lilv.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>
#include <map>
#include <string>
#include <vector>

namespace render {

class Lv2Host : public PluginHost {
public:
    Lv2Host();
    ~Lv2Host() override;

    // Loads the bundle folder; refuses a path that is no folder or a bundle
    // without the project's plug-in.
    bool load(const std::string& path, std::string& error) override;

    int32_t numParams() const override { return static_cast<int32_t>(controls.size()); }
    int32_t numPrograms() const override { return 0; }

    std::string effectName() override;
    std::string vendorName() override;
    std::string paramName(int32_t index) override;
    std::string paramDisplay(int32_t index) override;
    std::string paramLabel(int32_t index) override { return ""; }
    std::string programName(int32_t index) override { return ""; }

    void setSampleRate(float rate) override { sampleRate = rate; }
    void setBlockSize(int32_t frames) override;
    void selectProgram(int32_t program) override {}
    void setParameter(int32_t index, float value) override;
    float getParameter(int32_t index) override;

    bool start(std::string& error) override;
    void stop() override;
    void process(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                 int32_t frames) override;

private:
    static LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri);

    struct ControlPort {
        uint32_t index;
        std::string name;
        float value;
    };

    LilvWorld* world = nullptr;
    const LilvPlugin* plugin = nullptr;
    LilvInstance* instance = nullptr;
    bool running = false;
    std::vector<ControlPort> controls;
    uint32_t audioIn[2] = {0, 0};
    uint32_t audioOut[2] = {0, 0};
    float sampleRate = 44100.0f;
    int32_t blockSize = 0;
    std::vector<float> buffers[4];

    std::map<std::string, LV2_URID> uris;
    LV2_URID_Map map{};
    LV2_Feature mapFeature{};
    std::vector<LV2_Options_Option> options;
    LV2_Feature optionsFeature{};
};

} // namespace render
