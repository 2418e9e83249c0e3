// State shared by every frame of the toolkit in one process. Touched only on
// the thread that runs the editors' windows.
#pragma once

#include "gui/platform/Platform.h"

#include <cstdint>

struct ToolkitState {
    // "Plugin%08x" of the library's module handle, made at the first registration.
    char windowClassName[32] = {};
    // Frames whose window currently uses the window class.
    int32_t windowClassUseCount = 0;
    // Whether the system's mouse buttons are swapped; read at the first registration.
    bool buttonsSwapped = false;
};

// The one ToolkitState of the process (of this module, when the toolkit is inside a plug-in).
inline ToolkitState& toolkitState() {
    static ToolkitState state;
    return state;
}
