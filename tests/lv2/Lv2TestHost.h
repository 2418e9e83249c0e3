// A small LV2 host built on lilv, as the LV2 tests drive the bundle from the
// build tree: it loads the bundle, maps URIs, instantiates the plug-in with the
// features a real host offers (the options feature with maxBlockLength,
// urid:map), owns the control port buffers and finds the UI's library.
#pragma once

#include "lv2/Lv2Ports.h"

#include <cstdint>
#include <lilv/lilv.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace lv2test {

// urid:map as a host provides it.
class UridMap {
public:
    UridMap();
    UridMap(const UridMap&) = delete;
    UridMap& operator=(const UridMap&) = delete;
    LV2_URID map(const char* uri);
    LV2_Feature* feature() { return &mapFeature; }

private:
    static LV2_URID mapCallback(LV2_URID_Map_Handle handle, const char* uri);
    std::map<std::string, LV2_URID> ids;
    LV2_URID_Map mapData;
    LV2_Feature mapFeature;
};

// The bundle of the build tree, loaded into a lilv world of its own.
class Bundle {
public:
    // Loads the bundle folder at `path`; error() says why nothing was found.
    explicit Bundle(const std::string& path);
    ~Bundle();
    Bundle(const Bundle&) = delete;
    Bundle& operator=(const Bundle&) = delete;

    // The plug-in with the project's URI, or null.
    const LilvPlugin* plugin() const { return found; }
    LilvWorld* world() const { return lilvWorld; }
    const std::string& error() const { return failure; }
    // The path of the UI library the bundle names for the plug-in's X11 UI.
    std::string uiLibrary() const;

private:
    LilvWorld* lilvWorld = nullptr;
    const LilvPlugin* found = nullptr;
    std::string failure;
};

// One plug-in instance with host-owned control buffers, each connected to its
// port and holding the port's default.
class Instance {
public:
    // maxBlockLength 0: the options feature is not offered at all.
    Instance(const Bundle& bundle, double rate, int32_t maxBlockLength);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    bool ok() const { return instance != nullptr; }
    void connect(uint32_t port, void* data);
    void activate();
    void deactivate();
    void run(uint32_t frames);
    // The buffer of named parameter i's control port.
    float& control(int32_t parameter) { return controls[static_cast<size_t>(parameter)]; }
    // Connects the four audio ports.
    void connectAudio(const float* inLeft, const float* inRight, float* outLeft, float* outRight);

private:
    UridMap urids;
    int32_t blockLength = 0;
    std::vector<LV2_Options_Option> options;
    LV2_Feature optionsFeature{};
    LilvInstance* instance = nullptr;
    bool active = false;
    std::vector<float> controls;
};

} // namespace lv2test
