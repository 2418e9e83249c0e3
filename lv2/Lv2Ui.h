// The LV2 UI: the plug-in's own editor (the same panel, editor and toolkit as
// the VST 2.x edition, the same zooms chosen the same way) in an X11 window
// inside the one the host passes, its size announced through ui:resize. It
// reaches the plug-in only through the host: slider moves are written to the
// control ports with the host's write function, enclosed in touch gestures
// where the host offers them, and the host's port events move the controls.
// The bundle's UI library exports its descriptor as lv2ui_descriptor
// (Lv2UiEntry.cpp).
#pragma once

#include <lv2/ui/ui.h>

// The descriptor of the plug-in's one UI.
const LV2UI_Descriptor* fumaraLv2UiDescriptor();
