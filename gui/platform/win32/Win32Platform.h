// The backend for Windows hosts: GDI device contexts, pens, brushes, fonts and
// bitmaps, user32 windows, messages and input, the system tick counter, and
// OLE drag and drop. Every operation maps onto the platform call of the same
// meaning; handles are the platform's own handles.
//
// The module handle is that of the module that contains this code: the
// plug-in library inside a host (so bitmap resources and the window class
// belong to it), the program itself in a test.
//
// Window procedures are called by the platform directly; the toolkit's
// procedure catches everything, and the drop target below never lets an
// exception reach the platform either.
#pragma once

#include "gui/platform/Platform.h"

namespace platform::win32 {

// The process-wide win32 backend.
Platform& nativePlatform();

// A GDI font made from the description (face name cut to 31 characters); null on failure.
// Shared by the backend and the GDI text rasteriser so both pick exactly the same font.
ObjectHandle createGdiFont(const FontDescription& font);

} // namespace platform::win32
