// The desktop's scale as an X11 session states it: the Xft.dpi resource in
// the X server's resource database (what desktops set for their scale) and
// the GDK_SCALE and QT_SCALE_FACTOR environment variables.
#pragma once

#include <cstdint>
#include <string>

// Xlib last: its macros must not reach other headers.
#include <X11/Xlib.h>

namespace platform::x11 {

// The value of the Xft.dpi resource in a resource database given as text (the
// RESOURCE_MANAGER property's form: "name:\tvalue" lines), looked up as Xlib
// looks it up for the Xft library; empty when the text has none.
std::string xftDpiResource(const char* resources);

// The session's scale in percent (see gui/platform/DesktopScale.h): the
// server's current resource database, read from the root window of the
// display's default screen (not the copy Xlib took when the connection
// opened), and the process's environment. 0 when nothing usable is said.
int32_t sessionScale(Display* display);

} // namespace platform::x11
