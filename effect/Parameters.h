// The plug-in's parameters in one table: for each one its index, its name as
// hosts show it, its LV2 port symbol, its value in a new program, what a change
// does, and where the panel shows it; with the rule for the values they take.
// Whatever lists parameters reads this table: the core (what a change does),
// the VST 2.x effect (names, the programs' values), the editor (which slider
// shows which parameter), the LV2 ports and the Turtle generator, the LV2 host
// of the renderer and the tests. Header-only, so that a binding that must not
// link the reverb (the LV2 UI, the Turtle generator) can use it.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

// Parameter indices, as hosts and the editor use them.
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

// What a change of a parameter does at once (ReverbCore::setParameter).
enum ParameterChange : uint8_t {
    kStoredOnly,    // the value is kept; only a rebuild of the network reads it, if any
    kEngineSetting, // the value goes to one of the engine's setters
    kOutputGain,    // the value sets the gain of the dry or the reverberated signal
};

// A parameter without a slider on the panel.
constexpr int32_t kNoPanelRow = -1;

struct ParameterInfo {
    const char* name;       // as hosts show it ("Room Size")
    const char* symbol;     // its LV2 port symbol; hosts store sessions by it
    float defaultValue;     // its value in a new program
    ParameterChange change; // what a change does at once
    bool rebuilds;          // a change also rebuilds the network at the next block
    int32_t panelRow;       // its slider and value box on the panel (0: the top row)
};

// The nine parameters that do something, by index. A rebuild hands "Length",
// "Mode" and "Room Size" to the engine, in that order; "PreDelay" and "Stereo
// Separation" change engine settings at once and need one as well.
constexpr int32_t kNamedParameterCount = 9;
constexpr ParameterInfo kNamedParameters[kNamedParameterCount] = {
    // name, symbol, default, change, rebuilds, panel row
    {"Mode", "mode", 0.0f, kStoredOnly, true, kNoPanelRow},
    {"Length", "length", 0.5f, kStoredOnly, true, kNoPanelRow},
    {"Room Size", "room_size", 0.5f, kStoredOnly, true, 0},
    {"PreDelay", "predelay", 0.0f, kEngineSetting, true, 1},
    {"Lowpass Cutoff", "lowpass_cutoff", 0.7f, kEngineSetting, false, 2},
    {"Highpass Cutoff", "highpass_cutoff", 0.0f, kEngineSetting, false, 3},
    {"Stereo Separation", "stereo_separation", 0.5f, kEngineSetting, true, 4},
    {"Reverb Level", "reverb_level", 0.6f, kOutputGain, false, 5},
    {"Dry Level", "dry_level", 0.9f, kOutputGain, false, 6},
};

// The VST 2.x edition reports 32 parameters; indices 9 to 31 are "Unused",
// stored in the programs only.
constexpr int32_t kParameterCount = 32;
constexpr ParameterInfo kUnusedParameter = {"Unused", "", 0.5f, kStoredOnly, false, kNoPanelRow};

// The table's row of any index; kUnusedParameter for the others.
constexpr const ParameterInfo& parameterInfo(int32_t index) {
    return index >= 0 && index < kNamedParameterCount ? kNamedParameters[index] : kUnusedParameter;
}

// The panel's rows, one per trough of its artwork, top to bottom.
constexpr int32_t kPanelRowCount = 7;

// The parameter the panel shows at `row`, or -1.
constexpr int32_t parameterAtPanelRow(int32_t row) {
    for (int32_t i = 0; i < kNamedParameterCount; ++i) {
        if (row != kNoPanelRow && kNamedParameters[i].panelRow == row) {
            return i;
        }
    }
    return -1;
}

// Every row shows exactly one parameter.
constexpr bool eachPanelRowShowsOneParameter() {
    int32_t shown = 0;
    for (int32_t i = 0; i < kNamedParameterCount; ++i) {
        const int32_t row = kNamedParameters[i].panelRow;
        if (row == kNoPanelRow) {
            continue;
        }
        if (row < 0 || row >= kPanelRowCount || parameterAtPanelRow(row) != i) {
            return false;
        }
        ++shown;
    }
    return shown == kPanelRowCount;
}
static_assert(eachPanelRowShowsOneParameter(), "the table's panel rows");

// The rule the table's symbols follow: the name in lower case, each run of
// other characters one '_' ("Room Size" -> room_size, "PreDelay" -> predelay).
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
