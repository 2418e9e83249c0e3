// The exported entry point of the bundle's UI library, where LV2 hosts look
// for the UI's descriptor.
#include "lv2/Lv2Ui.h"

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? fumaraLv2UiDescriptor() : nullptr;
}
