// Driving the LV2 bundle through lilv: loading and finding the plug-in, its names, the control
// ports as parameters, the instance made at the start, and processing.
#include "tools/fumara-render/Lv2Host.h"

#include "lv2/Lv2Ports.h"

#include <cstdio>
#include <cstring>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <sys/stat.h>

namespace render {

namespace {

bool isFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == S_IFDIR;
}

bool exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

std::string text(LilvNode* node) {
    std::string result = node ? lilv_node_as_string(node) : "";
    lilv_node_free(node);
    return result;
}

} // namespace

Lv2Host::Lv2Host() {
    map.handle = this;
    map.map = &Lv2Host::mapUri;
    mapFeature.URI = LV2_URID__map;
    mapFeature.data = &map;
}

Lv2Host::~Lv2Host() {
    if (instance) {
        stop();
        lilv_instance_free(instance);
    }
    if (world) {
        lilv_world_free(world);
    }
}

LV2_URID Lv2Host::mapUri(LV2_URID_Map_Handle handle, const char* uri) {
    auto* self = static_cast<Lv2Host*>(handle);
    auto found = self->uris.find(uri);
    if (found != self->uris.end()) {
        return found->second;
    }
    const LV2_URID id = static_cast<LV2_URID>(self->uris.size() + 1);
    self->uris.emplace(uri, id);
    return id;
}

bool Lv2Host::load(const std::string& path, std::string& error) {
    if (!exists(path)) {
        error = "no such LV2 bundle";
        return false;
    }
    if (!isFolder(path)) {
        error = "not an LV2 bundle: a bundle is a folder";
        return false;
    }
    std::string folder = path;
    if (folder.back() != '/') {
        folder += '/';
    }
    if (!exists(folder + "manifest.ttl")) {
        error = "not an LV2 bundle: it has no manifest.ttl";
        return false;
    }
    world = lilv_world_new();
    LilvNode* bundle = lilv_new_file_uri(world, nullptr, folder.c_str());
    lilv_world_load_bundle(world, bundle);
    lilv_node_free(bundle);
    LilvNode* uri = lilv_new_uri(world, kLv2PluginUri);
    plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    lilv_node_free(uri);
    if (!plugin) {
        error = std::string("not a Fumara bundle: it holds no plug-in ") + kLv2PluginUri;
        return false;
    }

    LilvNode* audio = lilv_new_uri(world, LV2_CORE__AudioPort);
    LilvNode* control = lilv_new_uri(world, LV2_CORE__ControlPort);
    LilvNode* input = lilv_new_uri(world, LV2_CORE__InputPort);
    int inputs = 0, outputs = 0;
    for (uint32_t i = 0; i < lilv_plugin_get_num_ports(plugin); ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
        const bool isInput = lilv_port_is_a(plugin, port, input);
        if (lilv_port_is_a(plugin, port, audio)) {
            if (isInput && inputs < 2) {
                audioIn[inputs] = i;
            } else if (!isInput && outputs < 2) {
                audioOut[outputs] = i;
            }
            (isInput ? inputs : outputs) += 1;
        } else if (lilv_port_is_a(plugin, port, control) && isInput) {
            LilvNode* fallback = nullptr;
            lilv_port_get_range(plugin, port, &fallback, nullptr, nullptr);
            const float value = fallback ? lilv_node_as_float(fallback) : 0.0f;
            lilv_node_free(fallback);
            controls.push_back({i, text(lilv_port_get_name(plugin, port)), value});
        }
    }
    lilv_node_free(audio);
    lilv_node_free(control);
    lilv_node_free(input);
    if (inputs != 2 || outputs != 2) {
        error = "the plug-in in this bundle is not a stereo effect";
        plugin = nullptr;
        return false;
    }
    return true;
}

std::string Lv2Host::effectName() {
    return plugin ? text(lilv_plugin_get_name(plugin)) : "";
}

std::string Lv2Host::vendorName() {
    return plugin ? text(lilv_plugin_get_author_name(plugin)) : "";
}

std::string Lv2Host::paramName(int32_t index) {
    return index >= 0 && index < numParams() ? controls[static_cast<size_t>(index)].name : "";
}

std::string Lv2Host::paramDisplay(int32_t index) {
    char value[32];
    std::snprintf(value, sizeof value, "%f", static_cast<double>(getParameter(index)));
    return value;
}

void Lv2Host::setBlockSize(int32_t frames) {
    blockSize = frames;
    for (std::vector<float>& buffer : buffers) {
        buffer.assign(static_cast<size_t>(frames), 0.0f);
    }
    if (instance) {
        for (int c = 0; c < 2; ++c) {
            lilv_instance_connect_port(instance, audioIn[c], buffers[c].data());
            lilv_instance_connect_port(instance, audioOut[c], buffers[2 + c].data());
        }
    }
}

void Lv2Host::setParameter(int32_t index, float value) {
    if (index >= 0 && index < numParams()) {
        controls[static_cast<size_t>(index)].value = value;
    }
}

float Lv2Host::getParameter(int32_t index) {
    return index >= 0 && index < numParams() ? controls[static_cast<size_t>(index)].value : 0.0f;
}

bool Lv2Host::start(std::string& error) {
    if (!plugin) {
        error = "no plug-in";
        return false;
    }
    if (!instance) {
        // The block length the renderer uses, as a host announces it.
        options = {{LV2_OPTIONS_INSTANCE, 0, mapUri(this, LV2_BUF_SIZE__maxBlockLength),
                    sizeof(int32_t), mapUri(this, LV2_ATOM__Int), &blockSize},
                   {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
        optionsFeature.URI = LV2_OPTIONS__options;
        optionsFeature.data = options.data();
        const LV2_Feature* features[] = {&mapFeature, &optionsFeature, nullptr};
        instance = lilv_plugin_instantiate(plugin, sampleRate, features);
        if (!instance) {
            error = "the LV2 plug-in refused to run at " + std::to_string(sampleRate) + " Hz";
            return false;
        }
        for (ControlPort& port : controls) {
            lilv_instance_connect_port(instance, port.index, &port.value);
        }
        for (int c = 0; c < 2; ++c) {
            lilv_instance_connect_port(instance, audioIn[c], buffers[c].data());
            lilv_instance_connect_port(instance, audioOut[c], buffers[2 + c].data());
        }
    }
    if (!running) {
        lilv_instance_activate(instance);
        running = true;
    }
    return true;
}

void Lv2Host::stop() {
    if (instance && running) {
        lilv_instance_deactivate(instance);
        running = false;
    }
}

void Lv2Host::process(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                      int32_t frames) {
    if (!instance || !running || frames <= 0 || frames > blockSize) {
        return;
    }
    const size_t bytes = sizeof(float) * static_cast<size_t>(frames);
    std::memcpy(buffers[0].data(), inLeft, bytes);
    std::memcpy(buffers[1].data(), inRight, bytes);
    lilv_instance_run(instance, static_cast<uint32_t>(frames));
    std::memcpy(outLeft, buffers[2].data(), bytes);
    std::memcpy(outRight, buffers[3].data(), bytes);
}

} // namespace render
