// The LV2 test host: URI mapping, the bundle loaded through lilv with its UI library found,
// and an instance made with the host's features, connected, activated and run.
#include "tests/lv2/Lv2TestHost.h"

#include <cstdlib>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/ui/ui.h>

namespace lv2test {

UridMap::UridMap() {
    mapData.handle = this;
    mapData.map = &UridMap::mapCallback;
    mapFeature.URI = LV2_URID__map;
    mapFeature.data = &mapData;
}

LV2_URID UridMap::map(const char* uri) {
    auto found = ids.find(uri);
    if (found != ids.end()) {
        return found->second;
    }
    const LV2_URID id = static_cast<LV2_URID>(ids.size() + 1);
    ids.emplace(uri, id);
    return id;
}

LV2_URID UridMap::mapCallback(LV2_URID_Map_Handle handle, const char* uri) {
    return static_cast<UridMap*>(handle)->map(uri);
}

Bundle::Bundle(const std::string& path) {
    lilvWorld = lilv_world_new();
    const std::string folder = path.empty() || path.back() == '/' ? path : path + "/";
    LilvNode* bundleUri = lilv_new_file_uri(lilvWorld, nullptr, folder.c_str());
    lilv_world_load_bundle(lilvWorld, bundleUri);
    lilv_node_free(bundleUri);
    LilvNode* uri = lilv_new_uri(lilvWorld, kLv2PluginUri);
    found = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(lilvWorld), uri);
    lilv_node_free(uri);
    if (!found) {
        failure = "no plug-in " + std::string(kLv2PluginUri) + " in " + folder;
    }
}

Bundle::~Bundle() {
    lilv_world_free(lilvWorld);
}

std::string Bundle::uiLibrary() const {
    if (!found) {
        return "";
    }
    std::string path;
    LilvUIs* uis = lilv_plugin_get_uis(found);
    LilvNode* x11 = lilv_new_uri(lilvWorld, LV2_UI__X11UI);
    LILV_FOREACH(uis, i, uis) {
        const LilvUI* ui = lilv_uis_get(uis, i);
        if (lilv_ui_is_a(ui, x11)) {
            char* file = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
            path = file ? file : "";
            lilv_free(file);
        }
    }
    lilv_node_free(x11);
    lilv_uis_free(uis);
    return path;
}

Instance::Instance(const Bundle& bundle, double rate, int32_t maxBlockLength)
    : blockLength(maxBlockLength), controls(kNamedParameterCount) {
    if (!bundle.plugin()) {
        return;
    }
    std::vector<const LV2_Feature*> features = {urids.feature()};
    if (maxBlockLength > 0) {
        options.push_back({LV2_OPTIONS_INSTANCE, 0, urids.map(LV2_BUF_SIZE__maxBlockLength),
                           sizeof(int32_t), urids.map(LV2_ATOM__Int), &blockLength});
        options.push_back({LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr});
        optionsFeature.URI = LV2_OPTIONS__options;
        optionsFeature.data = options.data();
        features.push_back(&optionsFeature);
    }
    features.push_back(nullptr);
    instance = lilv_plugin_instantiate(bundle.plugin(), rate, features.data());
    if (!instance) {
        return;
    }
    for (int32_t i = 0; i < kNamedParameterCount; ++i) {
        controls[static_cast<size_t>(i)] = kNamedParameters[i].defaultValue;
        lilv_instance_connect_port(instance, portOfParameter(i), &controls[static_cast<size_t>(i)]);
    }
}

Instance::~Instance() {
    if (instance) {
        deactivate();
        lilv_instance_free(instance);
    }
}

void Instance::connect(uint32_t port, void* data) {
    lilv_instance_connect_port(instance, port, data);
}

void Instance::connectAudio(const float* inLeft, const float* inRight, float* outLeft,
                            float* outRight) {
    connect(kPortInLeft, const_cast<float*>(inLeft));
    connect(kPortInRight, const_cast<float*>(inRight));
    connect(kPortOutLeft, outLeft);
    connect(kPortOutRight, outRight);
}

void Instance::activate() {
    if (!active) {
        lilv_instance_activate(instance);
        active = true;
    }
}

void Instance::deactivate() {
    if (active) {
        lilv_instance_deactivate(instance);
        active = false;
    }
}

void Instance::run(uint32_t frames) {
    lilv_instance_run(instance, frames);
}

} // namespace lv2test
