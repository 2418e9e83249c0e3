// A small LV2 host on lilv, shared by the renderer (fumara-render --plugin
// BUNDLE), the LV2 tests and the LV2 benchmark: the features a real host hands
// an instance (urid:map, the options feature announcing the longest block),
// the bundle loaded into a lilv world of its own with the project's plug-in
// found in it, and instances of that plug-in whose control ports are connected
// to buffers the host owns, one per parameter of the parameter table.
#pragma once

#include "lv2/Lv2Ports.h"

#include <cstdint>
#include <lilv/lilv.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>
#include <map>
#include <string>
#include <vector>

namespace lilvhost {

// What a host hands instantiate: urid:map and, unless the longest block is 0,
// the options feature announcing it (buf-size's maxBlockLength).
class HostFeatures {
public:
    explicit HostFeatures(int32_t maxBlockLength);
    HostFeatures(const HostFeatures&) = delete;
    HostFeatures& operator=(const HostFeatures&) = delete;

    // The null-terminated list of features.
    const LV2_Feature* const* list() const { return features.data(); }
    // The id of a URI, as the host's urid:map answers it.
    LV2_URID map(const char* uri);
    // The urid:map feature's data, for lilv calls that map URIs themselves.
    LV2_URID_Map* uridMap() { return &mapData; }

private:
    static LV2_URID mapCallback(LV2_URID_Map_Handle handle, const char* uri);

    std::map<std::string, LV2_URID> ids;
    LV2_URID_Map mapData{};
    LV2_Feature mapFeature{};
    int32_t blockLength = 0;
    LV2_Options_Option options[2] = {};
    LV2_Feature optionsFeature{};
    std::vector<const LV2_Feature*> features;
};

// A bundle folder loaded into a lilv world of its own.
class Bundle {
public:
    // Loads the bundle at `path`; error() says why no plug-in was found.
    explicit Bundle(const std::string& path);
    ~Bundle();
    Bundle(const Bundle&) = delete;
    Bundle& operator=(const Bundle&) = delete;

    // The plug-in with the project's URI and the ports of this build, or null.
    const LilvPlugin* plugin() const { return found; }
    LilvWorld* world() const { return lilvWorld; }
    const std::string& error() const { return failure; }
    // The plug-in's name and its maker's, as the bundle states them.
    std::string name() const;
    std::string maker() const;
    // The path of the UI library the bundle names for the plug-in's X11 UI.
    std::string uiLibrary() const;

private:
    // Whether the plug-in's ports are those of lv2/Lv2Ports.h, by symbol.
    bool hasThePorts() const;

    LilvWorld* lilvWorld = nullptr;
    const LilvPlugin* found = nullptr;
    std::string failure;
};

// One instance of the bundle's plug-in with host-owned control buffers, each
// connected to its port and holding the parameter's default.
class Instance {
public:
    // maxBlockLength 0: the options feature is not offered at all.
    Instance(const Bundle& bundle, double rate, int32_t maxBlockLength);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    bool ok() const { return instance != nullptr; }
    bool active() const { return activated; }
    void connect(uint32_t port, void* data);
    // Connects the four audio ports.
    void connectAudio(const float* inLeft, const float* inRight, float* outLeft, float* outRight);
    void activate();
    void deactivate();
    void run(uint32_t frames);
    // The buffer of parameter i's control port.
    float& control(int32_t parameter) { return controls[static_cast<size_t>(parameter)]; }

private:
    HostFeatures features;
    LilvInstance* instance = nullptr;
    bool activated = false;
    std::vector<float> controls;
};

} // namespace lilvhost
