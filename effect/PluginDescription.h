// What the plug-in says about itself in every format: its name, its maker and
// its version, and its parameters (effect/Parameters.h). Header-only, so that
// a binding that must not link the reverb (the LV2 UI, the Turtle generator)
// can use it.
#pragma once

#include "effect/Parameters.h"

#include <cstdint>

constexpr const char* kPluginName = "KDLV Fumara";
constexpr const char* kVendorName = "Tarnwick";
constexpr int32_t kPluginVersion = 1000;
