// What the plug-in says about itself in every format: its name and maker, and
// the table of its parameters (names, symbols, defaults) with the rule for the
// values they take. Header-only, so that a binding that must not link the
// reverb (the LV2 UI, the Turtle generator) can use it.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

constexpr const char* kPluginName = "KDLV Fumara";
constexpr const char* kVendorName = "Tarnwick";
constexpr int32_t kPluginVersion = 1000;

// One parameter that does something.
struct ParameterInfo {
    const char* name;   // as hosts show it ("Room Size")
    float defaultValue; // its value in a new program
};

// The nine parameters that do something, by index. The VST 2.x edition reports
// 32 parameters; indices 9 to 31 are "Unused", stored only.
constexpr int32_t kNamedParameterCount = 9;
constexpr ParameterInfo kNamedParameters[kNamedParameterCount] = {
    {"Mode", 0.0f},
    {"Length", 0.5f},
    {"Room Size", 0.5f},
    {"PreDelay", 0.0f},
    {"Lowpass Cutoff", 0.7f},
    {"Highpass Cutoff", 0.0f},
    {"Stereo Separation", 0.5f},
    {"Reverb Level", 0.6f},
    {"Dry Level", 0.9f},
};
constexpr int32_t kParameterCount = 32;
constexpr const char* kUnusedParameterName = "Unused";
constexpr float kUnusedParameterDefault = 0.5f;

// Parameter indices.
enum Parameter : int32_t {
    kMode = 0,
    kLength,
    kRoomSize,
    kPreDelay,
    kLowpassCutoff,
    kHighpassCutoff,
    kStereoSeparation,
    kReverbLevel,
    kDryLevel,
};

// The identifier a format uses where a name may not hold blanks: the name in
// lower case, each run of other characters one '_' ("Room Size" -> room_size,
// "PreDelay" -> predelay).
inline std::string parameterSymbol(const char* name) {
    std::string symbol;
    bool gap = false;
    for (const char* c = name; *c; ++c) {
        const char lower = (*c >= 'A' && *c <= 'Z') ? static_cast<char>(*c - 'A' + 'a') : *c;
        const bool keep = (lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9');
        if (!keep) {
            gap = !symbol.empty();
            continue;
        }
        if (gap) {
            symbol += '_';
            gap = false;
        }
        symbol += lower;
    }
    return symbol;
}

// A parameter value as the plug-in takes it, whatever the format delivers:
// not a number and infinities are refused (false: the parameter keeps its
// value), anything beyond 0 to 1 (a damaged session, a runaway automation
// lane) is used as the nearest end, so that the host reads back what the
// plug-in uses and no gain or engine setting leaves its range.
inline bool normaliseParameterValue(float& value) {
    if (!std::isfinite(value)) {
        return false;
    }
    value = std::clamp(value, 0.0f, 1.0f);
    return true;
}
