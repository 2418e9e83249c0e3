// The LV2 edition's identity and ports, shared by the plug-in, its UI and the
// generator of the bundle's Turtle files, so that they cannot disagree.
//
// The plug-in URI belongs to the project and never changes: hosts store it in
// their sessions and find the plug-in by it.
#pragma once

#include "effect/PluginDescription.h"

#include <cstdint>

constexpr const char* kLv2PluginUri = "urn:tarnwick:fumara";
constexpr const char* kLv2UiUri = "urn:tarnwick:fumara#ui";

// Ports: two audio inputs, two audio outputs, then one control input per
// named parameter in parameter order (port kFirstControlPort + i holds
// parameter i), each 0 to 1 with the default program's value.
enum Lv2Port : uint32_t {
    kPortInLeft = 0,
    kPortInRight,
    kPortOutLeft,
    kPortOutRight,
    kFirstControlPort,
};
constexpr uint32_t kPortCount = kFirstControlPort + kNamedParameterCount;

struct Lv2AudioPort {
    const char* symbol;
    const char* name;
    bool input;
};
constexpr Lv2AudioPort kLv2AudioPorts[kFirstControlPort] = {
    {"in_left", "Left In", true},
    {"in_right", "Right In", true},
    {"out_left", "Left Out", false},
    {"out_right", "Right Out", false},
};

// The parameter a port carries, or -1 for an audio or unknown port.
constexpr int32_t parameterOfPort(uint32_t port) {
    return port >= kFirstControlPort && port < kPortCount
               ? static_cast<int32_t>(port - kFirstControlPort)
               : -1;
}
constexpr uint32_t portOfParameter(int32_t parameter) {
    return kFirstControlPort + static_cast<uint32_t>(parameter);
}
