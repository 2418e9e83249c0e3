// The LV2 plug-in: a thin binding of the LV2 instance calls to the plug-in's
// core (effect/ReverbCore.h). The bundle's DSP library exports its descriptor
// as lv2_descriptor (Lv2DspEntry.cpp); tests and benchmarks may use it in
// process through fumaraLv2Descriptor().
#pragma once

#include <lv2/core/lv2.h>

// The descriptor of the one plug-in the bundle holds.
const LV2_Descriptor* fumaraLv2Descriptor();
