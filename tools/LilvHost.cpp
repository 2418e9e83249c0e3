// The shared LV2 host: the host's features, a bundle loaded through lilv with its plug-in and
// UI library found, and an instance made with the features, connected, activated and run.
#include "tools/LilvHost.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/ui/ui.h>
#include <sys/stat.h>

namespace lilvhost {

namespace {

// What is at `path`: nothing (-1), a folder (1) or something else (0).
int kindOf(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return -1;
    }
    return (info.st_mode & S_IFMT) == S_IFDIR ? 1 : 0;
}

std::string text(LilvNode* node) {
    std::string result = node ? lilv_node_as_string(node) : "";
    lilv_node_free(node);
    return result;
}

} // namespace

HostFeatures::HostFeatures(int32_t maxBlockLength) : blockLength(maxBlockLength) {
    mapData.handle = this;
    mapData.map = &HostFeatures::mapCallback;
    mapFeature.URI = LV2_URID__map;
    mapFeature.data = &mapData;
    features.push_back(&mapFeature);
    if (maxBlockLength > 0) {
        options[0] = {
            LV2_OPTIONS_INSTANCE, 0,           map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
            map(LV2_ATOM__Int),   &blockLength};
        optionsFeature.URI = LV2_OPTIONS__options;
        optionsFeature.data = options;
        features.push_back(&optionsFeature);
    }
    features.push_back(nullptr);
}

LV2_URID HostFeatures::map(const char* uri) {
    auto found = ids.find(uri);
    if (found != ids.end()) {
        return found->second;
    }
    const LV2_URID id = static_cast<LV2_URID>(ids.size() + 1);
    ids.emplace(uri, id);
    return id;
}

LV2_URID HostFeatures::mapCallback(LV2_URID_Map_Handle handle, const char* uri) {
    return static_cast<HostFeatures*>(handle)->map(uri);
}

Bundle::Bundle(const std::string& path) {
    const int kind = kindOf(path);
    const std::string folder = path.empty() || path.back() == '/' ? path : path + "/";
    if (kind < 0) {
        failure = "no such LV2 bundle";
        return;
    }
    if (kind == 0) {
        failure = "not an LV2 bundle: a bundle is a folder";
        return;
    }
    if (kindOf(folder + "manifest.ttl") < 0) {
        failure = "not an LV2 bundle: it has no manifest.ttl";
        return;
    }
    lilvWorld = lilv_world_new();
    LilvNode* bundleUri = lilv_new_file_uri(lilvWorld, nullptr, folder.c_str());
    lilv_world_load_bundle(lilvWorld, bundleUri);
    lilv_node_free(bundleUri);
    LilvNode* uri = lilv_new_uri(lilvWorld, kLv2PluginUri);
    found = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(lilvWorld), uri);
    lilv_node_free(uri);
    if (!found) {
        failure = std::string("not a Fumara bundle: it holds no plug-in ") + kLv2PluginUri;
    } else if (!hasThePorts()) {
        failure = "the plug-in in this bundle does not have the ports of this build";
        found = nullptr;
    }
}

Bundle::~Bundle() {
    if (lilvWorld) {
        lilv_world_free(lilvWorld);
    }
}

bool Bundle::hasThePorts() const {
    if (lilv_plugin_get_num_ports(found) != kPortCount) {
        return false;
    }
    for (uint32_t port = 0; port < kPortCount; ++port) {
        const int32_t parameter = parameterOfPort(port);
        const std::string expected =
            parameter < 0 ? kLv2AudioPorts[port].symbol : kNamedParameters[parameter].symbol;
        const LilvNode* symbol =
            lilv_port_get_symbol(found, lilv_plugin_get_port_by_index(found, port));
        if (!symbol || expected != lilv_node_as_string(symbol)) {
            return false;
        }
    }
    return true;
}

std::string Bundle::name() const {
    return found ? text(lilv_plugin_get_name(found)) : "";
}

std::string Bundle::maker() const {
    return found ? text(lilv_plugin_get_author_name(found)) : "";
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
    : features(maxBlockLength), controls(kNamedParameterCount) {
    if (!bundle.plugin()) {
        return;
    }
    instance = lilv_plugin_instantiate(bundle.plugin(), rate, features.list());
    if (!instance) {
        return;
    }
    for (int32_t i = 0; i < kNamedParameterCount; ++i) {
        control(i) = kNamedParameters[i].defaultValue;
        connect(portOfParameter(i), &control(i));
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
    if (!activated) {
        lilv_instance_activate(instance);
        activated = true;
    }
}

void Instance::deactivate() {
    if (activated) {
        lilv_instance_deactivate(instance);
        activated = false;
    }
}

void Instance::run(uint32_t frames) {
    lilv_instance_run(instance, frames);
}

} // namespace lilvhost
