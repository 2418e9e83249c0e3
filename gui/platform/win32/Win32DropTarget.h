// The OLE drop target of the win32 backend: an IDropTarget that hands drags
// to a toolkit DropSink, and a DropData view of the dragged IDataObject
// (8-bit text and file lists, each as a global memory block).
#pragma once

#include "gui/platform/Platform.h"

#include <ole2.h>
#include <windows.h>

namespace platform::win32 {

// Creates a drop target that owns `sink`, with a reference count of 1 held by
// the caller. The sink is deleted with the target, or earlier by detachSink.
IDropTarget* createDropTarget(DropSink* sink);

// Deletes the target's sink (after any call into it has returned) and makes
// the target refuse every further drag. The target itself lives on while the
// platform holds references to it.
void detachSink(IDropTarget* target);

// The effect answered to the platform: the sink's choice when the source
// allows it, otherwise the other of copy and move when the source allows
// that, otherwise none.
DWORD allowedEffect(uint32_t wanted, DWORD allowed);

// Resolves a shortcut file (.lnk) in place; see Platform::resolveShortcut.
bool resolveShortcutFile(char* path, size_t bufferSize);

} // namespace platform::win32
