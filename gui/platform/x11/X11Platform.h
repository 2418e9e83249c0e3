// The backend for Linux hosts: X11 windows, input and clock, with the drawing
// done in memory by the software drawing (gui/platform/software, as in the
// headless backend) and shown with XPutImage. Its parts are listed in
// X11Backend.h.
//
// A host passes the numeric id of its own X window as the parent of the
// frame's window. The backend makes a plain child window of that size inside
// it on a display connection of its own (opened when the first window is
// created, closed with the last one), never reparenting or embedding.
//
// Drawing: every window has a back buffer, a surface of the software drawing
// (so the X11 and headless backends give the same pixels). A paint
// reaches the screen in one copy at endPaint; drawing through a window's
// context is shown when the context is released, when the events are pumped
// and when the thread sleeps (the idle pump of a control that tracks the
// mouse sleeps on every pass). So the panel never shows a half-drawn state.
//
// Drag and drop: the X drag-and-drop protocol, version 5 (gui/platform/x11/
// Xdnd.h), on the windows registered as drop targets; the sink is called from
// the window's pumps like its window procedure.
//
// Events: the backend has no thread of its own. pumpWindowEvents (the editor's
// idle) and dispatchOnePaintMessage drain the connection without blocking.
// Each window also carries the `_XEventProc` property: hosts that dispatch
// a plug-in window's events themselves call that function with each event.
// Both paths feed the same per-window state. Window procedures run on the
// thread that created the window (or on a thread that pumps it after its
// creator has stopped doing so for a second), never nested inside a delivery
// except for paints. X errors caused by the backend's own requests (a host
// window destroyed under the editor) are absorbed; those of the host's
// connections go on to the host's handler.
#pragma once

#include "gui/platform/Platform.h"

#include <cstdint>

namespace platform::x11 {

// The process-wide X11 backend.
Platform& nativePlatform();

// Facts about the backend for tests and diagnostics.
struct Diagnostics {
    bool connected = false; // a display connection is open now
    int32_t windows = 0;    // windows known to the backend (including destroyed, unnotified)
    uint64_t connectionsOpened = 0; // display connections opened so far
    uint64_t ignoredErrors = 0;     // X errors of the backend's own requests absorbed so far
};
Diagnostics diagnostics();

// How long a drop waits for its data from the drag's source before it is
// given up and the source told that the drop failed (3000 ms unless set).
void setDropDataTimeout(uint32_t milliseconds);

// The function published in each window's `_XEventProc` property.
using EventProcedure = void (*)(void* event);
EventProcedure eventProcedure();

} // namespace platform::x11
