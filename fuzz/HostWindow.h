// The window a fuzzed host hands the editor (see HostWindow.cpp).
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

namespace fuzz {

// Connects to the display named by DISPLAY, if any, and makes the host's window.
void openDisplay();
// What a host hands effEditOpen: its window, mostly; sometimes none, a window
// it destroyed a moment ago or a number that names no window.
void* editorParent(FuzzedDataProvider& in);
// Reads and drops the host's events, so that the connection's queue stays short.
void drainHostEvents();

} // namespace fuzz
