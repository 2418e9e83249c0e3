// The exported entry point of the bundle's DSP library, where LV2 hosts look
// for the plug-in's descriptor.
#include "lv2/Lv2Plugin.h"

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? fumaraLv2Descriptor() : nullptr;
}
