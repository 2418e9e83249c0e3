// A window's back buffer and its way to the screen: the toolkit draws into a
// window surface of the software drawing, and areas of it are copied to the X
// window through cairo in one step each, so the window never shows a
// half-drawn state.
//
// Nothing here locks: the backend calls it with its lock held.
#pragma once

#include "gui/platform/Platform.h"
#include "gui/platform/software/CanvasPlatform.h"

#include <cairo.h>
#include <cstdint>

// Xlib last: its macros (None, Bool, Status, ...) must not reach other headers.
#include <X11/Xlib.h>

namespace platform::x11 {

class BackBuffer {
public:
    BackBuffer() = default;
    BackBuffer(BackBuffer&& other) noexcept;
    BackBuffer& operator=(BackBuffer&& other) noexcept;
    BackBuffer(const BackBuffer&) = delete;
    BackBuffer& operator=(const BackBuffer&) = delete;
    ~BackBuffer() { detach(); }

    // Connects the buffer to an X window of width x height shown with `visual`.
    void attach(Display* display, ::Window window, Visual* visual, int32_t width, int32_t height);
    // Lets go of the X window (before it is destroyed or once it is gone).
    void detach();

    // Copies `area` of the pixels (the window surface, as large as the
    // window) to the window. Nothing when the buffer is not attached.
    void present(Display* display, const software::Surface& pixels, const PixelRect& area);
    // Whether a picture has reached the screen since the window was made.
    bool shown() const { return wasShown; }

    // The window surface of the software drawing that the toolkit draws on.
    software::SurfaceId surface = 0;

private:
    cairo_surface_t* target = nullptr;  // the X window, for cairo
    cairo_surface_t* staging = nullptr; // the pixels in cairo's format
    bool wasShown = false;
};

} // namespace platform::x11
