// The backend for Windows hosts: GDI device contexts, pens, brushes, fonts and
// bitmaps, user32 windows, messages and input, the system tick counter, and
// OLE drag and drop. Every operation maps onto the platform call of the same
// meaning; handles are the platform's own handles.
//
// The module handle is that of the module that contains this code: the
// plug-in library inside a host (so bitmap resources and the window class
// belong to it), the program itself in a test.
//
// Transparent copies use msimg32's TransparentBlt, loaded at run time at the
// first copy where the system offers it, and a one-bit mask elsewhere.
//
// Window procedures are called by the platform directly; the toolkit's
// procedure catches everything, and the drop target below never lets an
// exception reach the platform either.
#pragma once

#include "gui/platform/Platform.h"

namespace platform::win32 {

// The process-wide win32 backend.
Platform& nativePlatform();

// Whether transparent copies use msimg32's TransparentBlt on a system of this
// platform family (the version query's platform id, -1 when the query failed):
// on the NT family only. Elsewhere, and where the library is missing, they go
// through a one-bit mask (maskedTransparentCopy).
bool libraryTransparentCopyUsable(int32_t family);

// A GDI font made from the description (face name cut to 31 characters); null on failure.
// Shared by the backend and the GDI text rasteriser so both pick exactly the same font.
ObjectHandle createGdiFont(const FontDescription& font);

} // namespace platform::win32
