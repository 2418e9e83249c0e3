// A window's back buffer and its way to the screen: the toolkit draws into a
// window surface of the software drawing, and areas of it are copied to the X
// window in one step each (XPutImage), so the window never shows a half-drawn
// state.
//
// The copy is plain Xlib on the backend's own connection: an image in the
// window visual's pixel format and a graphics context, both the window's own
// and both gone with it. No library keeps state per display for it, so
// nothing is left behind when the connection closes (a drawing library's
// shared-memory uploads kept records of copies in flight that outlived it).
//
// Nothing here locks: the backend calls it with its lock held.
#pragma once

#include "gui/platform/Platform.h"
#include "gui/platform/software/CanvasPlatform.h"

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

    // Connects the buffer to an X window of width x height shown with `visual`
    // at `depth` bits.
    void attach(Display* display, ::Window window, Visual* visual, int32_t depth, int32_t width,
                int32_t height);
    // Lets go of the X window (before it is destroyed or once it is gone); the
    // connection must still be open.
    void detach();

    // Copies `area` of the pixels (the window surface, as large as the
    // window) to the window. Nothing when the buffer is not attached.
    void present(Display* display, const software::Surface& pixels, const PixelRect& area);
    // Whether a picture has reached the screen since the window was made.
    bool shown() const { return wasShown; }

    // The window surface of the software drawing that the toolkit draws on.
    software::SurfaceId surface = 0;

private:
    // Where one 8-bit channel goes in a pixel of the visual: its mask's
    // lowest bit and width.
    struct Channel {
        int shift = 0;
        int bits = 0;
        unsigned long place(uint32_t value) const;
    };

    Display* display = nullptr;
    ::Window window = 0;
    GC gc = nullptr;
    XImage* image = nullptr; // the window's size, in the visual's pixel format
    Channel red, green, blue;
    bool wasShown = false;
};

} // namespace platform::x11
